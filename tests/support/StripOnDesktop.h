#pragma once
// A test fixture: the strip loaded and shown on the virtual desktop, with a score folder
// of its own as the program's folder, and presses where a player makes them.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/frmBG.h"
#include "forms/Screen.h"
#include "game/GameState.h"
#include "tests/support/TempDir.h"
#include "tests/support/VirtualDesktop.h"

class StripOnDesktop : public ::testing::Test {
protected:
    StripOnDesktop()
    {
        EXPECT_FALSE(folder_.path().empty());
        forms::hooks().appPath = [this] { return folder(); };
    }
    // A suite that shows the strip itself overrides this.
    void SetUp() override { showStrip(); }
    // Loads and shows the strip (a new one after its windows were destroyed).
    void showStrip()
    {
        strip().Load();
        strip().Show();
    }
    frmBG &strip() const { return forms::Default<frmBG>(); }
    std::string folder() const { return folder_.path(); }
    std::string scoreFile() const { return folder() + "/Qorvel.ini"; }

    // Screen point x, y pixels right of and below the corner of the strip or a control on it.
    forms::PixelPoint at(const forms::Control &c, int x, int y) const
    {
        const bool onStrip = &c != &strip();
        return {px(c.Left() + (onStrip ? strip().Left() : 0)) + x, px(c.Top() + (onStrip ? strip().Top() : 0)) + y};
    }
    forms::PixelPoint centre(const forms::Control &c) const { return at(c, px(c.Width()) / 2, px(c.Height()) / 2); }
    forms::PixelPoint dome() const { return at(strip().SARA, 6, 3); }
    // Bare strip, away from where plates fly.
    forms::PixelPoint stripBackground() const { return at(strip(), 200, 20); }
    // The strip between games: the title in the middle, no read-outs, no panel, no plate.
    void expectIdleStrip() const
    {
        EXPECT_EQ(phase(Game), Phase::Idle);
        EXPECT_EQ(Game.PlateNo, 0);
        EXPECT_EQ(strip().Img.Left(), static_cast<float>((strip().Width() - 2100) / 2));
        EXPECT_EQ(strip().Img.Top(), 225);
        EXPECT_EQ(strip().Lstage.Caption(), "");
        EXPECT_EQ(strip().Ltama.Caption(), "");
        EXPECT_FALSE(strip().pTama[0].Visible());
        EXPECT_FALSE(strip().pTama[1].Visible());
        EXPECT_FALSE(strip().SARA.Visible());
        EXPECT_FALSE(strip().PicReady.Visible());
        EXPECT_EQ(strip().Lstage.Left(), strip().Width() - 1095);
        EXPECT_EQ(strip().pTama[0].Left(), 845);
    }
    // A press and release at the screen point, handled by one pump.
    void press(forms::PixelPoint where, std::int16_t button = forms::vbLeftButton)
    {
        desktop.clickNow(where, button);
        desktop.pump();
    }

    VirtualDesktop desktop;

private:
    // Twips are square here.
    static int px(float twips) { return static_cast<int>(std::lrint(twips / forms::Screen::TwipsPerPixelX())); }
    TempDir folder_;
};
