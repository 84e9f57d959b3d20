// The strip on the desktops players have: primary monitors beside, above or below another,
// side and bottom panels, and screens that change while the game runs, on scripted screens.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/frmBG.h"
#include "app/frmMenu.h"
#include "burst/modBarn.h"
#include "forms/Runtime.h"
#include "forms/Screen.h"
#include "game/GameState.h"
#include "game/modMove.h"
#include "tests/support/Shot.h"
#include "tests/support/StripOnDesktop.h"

namespace {

forms::ScreenView screenAt(forms::PixelRect geometry) { return {geometry, geometry}; }

// A strip started on a screen the test scripts, and changes it while it runs.
class Screens : public StripOnDesktop {
protected:
    void SetUp() override {}
    void start(forms::ScreenView view)
    {
        screen = view;
        forms::hooks().primaryScreen = [this] { return screen; };
        showStrip();
    }
    void change(forms::ScreenView view)
    {
        screen = view;
        forms::ScreenChanged();
    }

    // The strip's window in pixels, and its controls' places in twips.
    forms::PixelRect window() const { return strip().hWnd()->screenRect(); }
    void expectLaidOutAcross(int widthPx) const
    {
        const int w = widthPx * 15;
        EXPECT_EQ(strip().Width(), static_cast<float>(w));
        EXPECT_EQ(strip().Lstage.Left(), static_cast<float>(w - 1095)) << "the counter keeps to the right end";
        EXPECT_EQ(strip().Ltama.Left(), 50);
        EXPECT_EQ(strip().pTama[0].Left(), 845);
    }
    float centredTitle(int widthPx) const { return static_cast<float>((widthPx * 15 - 2100) / 2); }

    forms::ScreenView screen;
};

TEST_F(Screens, TheStripSpansThePrimaryScreensWorkAreaWhereverItLies)
{
    struct Case {
        const char *desktop;
        forms::ScreenView primary;
        forms::PixelRect strip; // pixels
    };
    const Case cases[] = {
        {"primary right of a 1024x768 monitor", screenAt({1024, 0, 1280, 720}), {1024, 656, 1280, 64}},
        {"primary left of another", screenAt({0, 0, 1280, 720}), {0, 656, 1280, 64}},
        {"primary below another", screenAt({0, 768, 1280, 720}), {0, 1424, 1280, 64}},
        {"primary bottom-aligned, starting lower", screenAt({1024, 48, 1280, 720}), {1024, 704, 1280, 64}},
        {"a 40-px panel on the left", {{0, 0, 1280, 720}, {40, 0, 1240, 720}}, {40, 656, 1240, 64}},
        {"a 40-px panel on the right", {{0, 0, 1280, 720}, {0, 0, 1240, 720}}, {0, 656, 1240, 64}},
        {"a panel at the top", {{0, 0, 1280, 720}, {0, 30, 1280, 690}}, {0, 656, 1280, 64}},
        {"a panel at the bottom", {{0, 0, 1280, 720}, {0, 0, 1280, 680}}, {0, 616, 1280, 64}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.desktop);
        start(c.primary);
        EXPECT_EQ(window(), c.strip);
        EXPECT_EQ(strip().Left(), static_cast<float>(c.strip.left * 15));
        EXPECT_EQ(strip().Top(), static_cast<float>(c.strip.top * 15));
        expectLaidOutAcross(c.strip.width);
        EXPECT_EQ(strip().Img.Left(), centredTitle(c.strip.width)) << "the title is centred in the strip";
        forms::DestroyDefaultInstances();
    }
}

TEST_F(Screens, TheIdleStripFollowsResolutionAndPanelChanges)
{
    start(screenAt({0, 0, 1920, 1080}));
    ASSERT_EQ(window(), (forms::PixelRect{0, 1016, 1920, 64}));

    change(screenAt({0, 0, 1280, 720}));
    EXPECT_EQ(window(), (forms::PixelRect{0, 656, 1280, 64})) << "1080 to 720: the whole strip on the screen";
    expectLaidOutAcross(1280);
    EXPECT_EQ(strip().Img.Left(), centredTitle(1280));

    change({{0, 0, 1280, 720}, {0, 0, 1280, 680}});
    EXPECT_EQ(window(), (forms::PixelRect{0, 616, 1280, 64})) << "a bottom panel appeared after start";

    change(screenAt({0, 0, 1920, 1080}));
    EXPECT_EQ(window(), (forms::PixelRect{0, 1016, 1920, 64})) << "720 to 1080: on the bottom at the new width";
    EXPECT_EQ(strip().Img.Left(), centredTitle(1920));
    expectIdleStrip();

    EXPECT_EQ(Shot(*strip().hWnd()).at(1919, 0), forms::RGB(72, 115, 255)) << "the sky is painted across the new width";
}

// A flight keeps flying in the strip's coordinates; the panel and the next throw use the
// new width; the title stays out of the strip until the game ends.
TEST_F(Screens, AChangeMidGameReLaysTheStripAndTheNextThrowUsesTheNewWidth)
{
    start(screenAt({0, 0, 1920, 1080}));
    press(centre(strip().Img));
    ASSERT_TRUE(Game.Playing);

    int frame = 0;
    std::vector<std::int32_t> plateX;
    desktop.onSleep = [&](std::uint64_t, std::uint32_t ms) {
        if (ms != modMove::kFrameMs || !Game.ShotOpen)
            return;
        plateX.push_back(Game.PlateX);
        if (++frame == 10)
            change(screenAt({0, 0, 1280, 720}));
    };
    press(centre(strip().PicReady));
    ASSERT_GT(plateX.size(), 20u);
    for (std::size_t i = 1; i < plateX.size(); ++i)
        EXPECT_EQ(std::abs(plateX[i] - plateX[i - 1]), std::abs(Game.PlateSpeedX)) << "frame " << i;

    EXPECT_EQ(window(), (forms::PixelRect{0, 656, 1280, 64}));
    expectLaidOutAcross(1280);
    EXPECT_EQ(strip().Img.Left(), -30000) << "the title stays out during the game";
    EXPECT_EQ(strip().PicReady.Left(), static_cast<float>((1280 * 15 - 825) / 2)) << "the next panel in the middle";
    EXPECT_EQ(strip().Lstage.Caption(), "Stage：02/25");

    plateX.clear();
    frame = 0;
    press(centre(strip().PicReady));
    ASSERT_FALSE(plateX.empty());
    const std::int32_t centre = (1280 * 15 - 210) / 2;
    EXPECT_EQ(std::abs(plateX.front() - Game.PlateSpeedX - centre), 4800) << "launched 320 px from the new middle";
}

// While the menu or the result message is open the strip waits, and re-lays when it closes.
TEST_F(Screens, AChangeWhileTheMenuIsOpenWaitsForItToClose)
{
    start(screenAt({0, 0, 1920, 1080}));
    forms::PixelRect duringMenu;
    desktop.onPopup = [&](forms::Menu &) {
        change(screenAt({0, 0, 1280, 720}));
        duringMenu = window();
    };
    press(stripBackground(), forms::vbRightButton);
    EXPECT_EQ(duringMenu, (forms::PixelRect{0, 1016, 1920, 64}));
    EXPECT_EQ(window(), (forms::PixelRect{0, 656, 1280, 64}));

    forms::hooks().msgBox = [&](const std::string &) {
        change(screenAt({0, 0, 1024, 768}));
        duringMenu = window();
    };
    forms::MsgBox("スコアは0点でした");
    EXPECT_EQ(duringMenu, (forms::PixelRect{0, 656, 1280, 64}));
    EXPECT_EQ(window(), (forms::PixelRect{0, 704, 1024, 64}));
}

TEST_F(Screens, ParticlesFlyOverTheWholePrimaryScreenWhereverItLies)
{
    start(screenAt({1024, 48, 1280, 720}));
    const modBarn::Edges edges = modBarn::ScreenEdges();
    EXPECT_EQ(edges.left, 1024 * 15);
    EXPECT_EQ(edges.top, 48 * 15);
    EXPECT_EQ(edges.right, 2304 * 15);
    EXPECT_EQ(edges.bottom, 768 * 15);

    // A burst from a plate on the strip: every particle shows in the first frame, and none is
    // ever drawn outside the primary screen.
    int firstFrame = -1;
    int left = 1 << 30, top = 1 << 30, right = -(1 << 30), bottom = -(1 << 30); // drawn over
    desktop.onSleep = [&](std::uint64_t, std::uint32_t) {
        int shown = 0;
        for (const frmDot *dot : modBarn::Dots) {
            if (!dot->hWnd()->shown())
                continue;
            ++shown;
            const forms::PixelRect place = dot->hWnd()->screenRect();
            left = std::min(left, place.left);
            top = std::min(top, place.top);
            right = std::max(right, place.left);
            bottom = std::max(bottom, place.top);
        }
        if (firstFrame < 0)
            firstFrame = shown;
    };
    modBarn::Burst(strip().Left() + 3000, strip().Top() + 300);
    EXPECT_EQ(firstFrame, 19);
    // A particle exactly on the right or bottom edge is still drawn there.
    EXPECT_TRUE(left >= 1024 && top >= 48 && right <= 1024 + 1280 && bottom <= 48 + 720)
        << left << "," << top << " to " << right << "," << bottom;
    EXPECT_LT(left, 1024 + 200) << "particles reach the screen's left part";
}

} // namespace
