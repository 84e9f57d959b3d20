// Start-up: the idle strip's geometry and look, the particle pool, and how presses reach
// the strip's controls.

#include <gtest/gtest.h>

#include <set>

#include "app/frmBG.h"
#include "app/frmMenu.h"
#include "app/frm_Version.h"
#include "burst/modBarn.h"
#include "tests/support/Shot.h"
#include "tests/support/StripOnDesktop.h"

namespace {

class Startup : public StripOnDesktop {
protected:
    const forms::PixelRect screen = forms::PrimaryScreen().geometry;
    const int screenTwips = screen.width * 15;
};

TEST_F(Startup, StripStandsOnTheWorkAreaAcrossTheWholeScreen)
{
    const forms::PixelRect area = forms::PrimaryScreen().workArea;
    EXPECT_EQ(strip().Width(), screenTwips);
    EXPECT_EQ(strip().Height(), 960);
    EXPECT_EQ(strip().Left(), 0);
    EXPECT_EQ(strip().Top(), area.bottom() * 15 - 960);
    EXPECT_EQ(strip().hWnd()->screenRect(), (forms::PixelRect{0, area.bottom() - 64, screen.width, 64}));
}

TEST_F(Startup, WithoutAnXServerTheStripsScreenOriginIsItsOwnPlace)
{
    const forms::TwipsPoint origin = strip().ScreenOrigin();
    EXPECT_EQ(origin.x, strip().Left());
    EXPECT_EQ(origin.y, strip().Top());
}

TEST_F(Startup, IdleLayoutPlacesEveryControl)
{
    struct Place {
        const char *name;
        const forms::Control &control;
        float left, top;
    };
    const Place places[] = {
        {"Img", strip().Img, static_cast<float>((screenTwips - 2100) / 2), 225},
        {"Ltama", strip().Ltama, 50, 780},
        {"Lstage", strip().Lstage, static_cast<float>(screenTwips - 1095), 780},
        {"pTama(0)", strip().pTama[0], 845, 630},
        {"pTama(1)", strip().pTama[1], 1040, 630},
    };
    for (const Place &p : places) {
        EXPECT_EQ(p.control.Left(), p.left) << p.name;
        EXPECT_EQ(p.control.Top(), p.top) << p.name;
    }
    EXPECT_EQ(strip().Img.Width(), 2100);
    EXPECT_EQ(strip().Img.Height(), 510);
    EXPECT_EQ(strip().Lstage.Width(), 975) << "labels keep their own size, whatever their caption";
    EXPECT_EQ(strip().pTama[0].Width(), 195);
    EXPECT_EQ(strip().pTama[0].Height(), 330);
    EXPECT_EQ(strip().SARA.Width(), 210);
    EXPECT_EQ(strip().SARA.Height(), 120);
}

TEST_F(Startup, OnlyTheGradientAndTheTitleShow)
{
    expectIdleStrip();
    EXPECT_FALSE(strip().PicBG.Visible());

    const Shot shot(*strip().hWnd());
    ASSERT_EQ(shot.width, screen.width);
    ASSERT_EQ(shot.height(), 64);
    EXPECT_EQ(shot.at(5, 0), forms::RGB(72, 115, 255));
    EXPECT_EQ(shot.at(screen.width - 1, 0), forms::RGB(72, 115, 255)) << "stretched across the screen";
    EXPECT_EQ(shot.at(5, 62), forms::RGB(0, 128, 0));
    EXPECT_EQ(shot.at(screen.width / 3, 63), forms::RGB(0, 128, 0));
    const forms::Color sky = shot.at(5, 30);
    EXPECT_EQ(sky >> 16 & 0xFF, 255) << "blue";
    EXPECT_GT(sky & 0xFF, 72) << "red";

    const forms::PixelRect title{(screenTwips - 2100) / 2 / 15, 15, 140, 34};
    const int whiteInside = shot.count(title, forms::RGB(255, 255, 255));
    EXPECT_GT(whiteInside, 100);
    EXPECT_EQ(shot.count({0, 0, shot.width, 64}, forms::RGB(255, 255, 255)), whiteInside) << "white only in the title";
}

TEST_F(Startup, TwentyDistinctHiddenParticleWindowsWait)
{
    std::set<forms::HWND> windows;
    for (const auto &dot : modBarn::Dots) {
        ASSERT_TRUE(dot);
        windows.insert(dot->hWnd());
        EXPECT_FALSE(dot->Flag);
        EXPECT_FALSE(dot->hWnd()->shown());
        EXPECT_EQ(dot->Width(), 30);
        EXPECT_EQ(dot->Height(), 30);
    }
    EXPECT_EQ(windows.size(), 20u);
}

// Presses land on the control under them; labels and icons swallow theirs, and the plate
// takes only those inside its outline.
TEST_F(Startup, PressesReachTheControlUnderThemWithinItsOutline)
{
    std::vector<std::string> got;
    strip().MouseDown = [&](std::int16_t, std::int16_t, float, float) { got.push_back("strip"); };
    strip().SARA.MouseDown = [&](std::int16_t, std::int16_t, float, float) { got.push_back("plate"); };
    strip().SARA.Move(3000, 300);
    strip().SARA.setVisible(true);
    for (auto &icon : strip().pTama)
        icon.setVisible(true);
    desktop.clickNow(at(strip().SARA, 6, 3));   // inside the dome
    desktop.clickNow(at(strip().SARA, 0, 0));   // the plate's corner, outside the outline
    desktop.clickNow(at(strip().SARA, 6, 6));   // below the rim
    desktop.clickNow(at(strip().Ltama, 1, 1));  // a blank label
    desktop.clickNow(at(strip().pTama[0], 5, 5));
    desktop.clickNow(at(strip().pTama[0], 0, 0)); // outside the shell's outline
    desktop.pump();
    EXPECT_EQ(got, (std::vector<std::string>{"plate", "strip", "strip", "strip"}));
}

TEST(Windows, MenuAndDialogHaveTheirItemsAndCaptions)
{
    VirtualDesktop desktop;
    frmMenu &menu = forms::Default<frmMenu>();
    std::vector<std::string> captions;
    for (const forms::Menu *item : menu.mpop.items())
        captions.push_back(item->Caption());
    EXPECT_EQ(captions, (std::vector<std::string>{"ハイスコア", "-", "バージョン情報", "-", "終了"}));
    EXPECT_EQ(menu.mh.items().size(), 5u);
    EXPECT_FALSE(menu.hWnd()->shown());

    frm_Version dialog;
    EXPECT_EQ(dialog.Caption(), "バージョン情報");
    EXPECT_EQ(dialog.hWnd()->screenRect().width, 263);
    EXPECT_EQ(dialog.hWnd()->screenRect().height, 75);
    EXPECT_EQ(dialog.Label3.Caption(), "Kestrin");
    EXPECT_EQ(dialog.Label2_1.Caption(), "Version 1.0.0");
}

} // namespace
