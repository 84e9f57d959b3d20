// Start-up: the idle strip's geometry and look, the particle pool, and how presses reach
// the strip's controls.

#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QWidget>

#include <optional>
#include <set>

#include "burst/modBarn.h"
#include "forms/Platform.h"
#include "app/frmBG.h"
#include "app/frmMenu.h"
#include "app/frm_Version.h"
#include "tests/support/StripOnDesktop.h"

namespace {

class Startup : public StripOnDesktop {
protected:
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int screenTwips = screen.width() * 15;
};

TEST_F(Startup, StripStandsOnTheWorkAreaAcrossTheWholeScreen)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(strip().Width(), screenTwips);
    EXPECT_EQ(strip().Height(), 960);
    EXPECT_EQ(strip().Left(), 0);
    EXPECT_EQ(strip().Top(), (area.y() + area.height()) * 15 - 960);
    EXPECT_EQ(strip().hWnd()->geometry(), QRect(0, area.y() + area.height() - 64, screen.width(), 64));
}

// Equal least and greatest sizes are what stop window managers resizing or maximising the
// strip; they must follow when the program itself gives the strip a new size.
TEST_F(Startup, TheStripsSizeIsFixedAndFollowsItsNewSize)
{
    const QWidget &window = *strip().hWnd();
    EXPECT_EQ(window.minimumSize(), QSize(screen.width(), 64));
    EXPECT_EQ(window.maximumSize(), QSize(screen.width(), 64));
    for (const int widthPx : {800, 1920}) {
        strip().Move(1500, 3000, static_cast<float>(widthPx * 15), 960);
        EXPECT_EQ(window.minimumSize(), QSize(widthPx, 64)) << widthPx;
        EXPECT_EQ(window.maximumSize(), QSize(widthPx, 64)) << widthPx;
        EXPECT_EQ(window.geometry(), QRect(100, 200, widthPx, 64)) << widthPx;
    }
}

// A window manager that moves the strip gets it put back, but only a few times: a manager
// that insists is not fought for ever. Placing the strip anew allows a few more. A lift of
// less than the strip's height along the same span stands (a panel the program cannot see).
TEST_F(Startup, AStripMovedByOthersIsPutBackAFewTimesThenLeft)
{
    QWidget &window = *strip().hWnd();
    const QPoint home = window.geometry().topLeft();
    window.move(home - QPoint(0, 23));
    desktop.pump();
    EXPECT_EQ(window.geometry().topLeft(), home - QPoint(0, 23)) << "lifted above an unseen panel";
    window.move(home - QPoint(0, 64));
    desktop.pump();
    EXPECT_EQ(window.geometry().topLeft(), home) << "lifted by a whole strip: put back";
    strip().Move(strip().Left(), strip().Top());
    std::vector<bool> putBack;
    for (int attempt = 0; attempt < 5; ++attempt) {
        window.move(80 + attempt, 386);
        desktop.pump();
        putBack.push_back(window.geometry().topLeft() == home);
    }
    EXPECT_EQ(putBack, (std::vector<bool>{true, true, true, false, false}));
    EXPECT_EQ(strip().Left(), home.x() * 15) << "the strip's own fields keep its place";

    strip().Move(strip().Left(), strip().Top());
    EXPECT_EQ(window.geometry().topLeft(), home);
    window.move(10, 10);
    desktop.pump();
    EXPECT_EQ(window.geometry().topLeft(), home);
}

// Some window managers have the strip elsewhere without telling Qt (weston through XWayland
// leaves it in its frame's corner): shortly after showing, the strip asks the window system
// where it stands and asks it to put the strip back, the same few times at most.
TEST_F(Startup, AStripTheWindowSystemHasElsewhereIsPutBackThroughIt)
{
    const QPoint home = strip().hWnd()->geometry().topLeft();
    const QPoint corner(32, 32);
    struct Case {
        const char *what;
        QPoint reported;
        bool moveTakes; // whether the window system then has the strip where asked
        int putBacks;
    };
    const Case cases[] = {
        {"in place", home, false, 0},
        {"lifted above a panel the program cannot see", home - QPoint(0, 23), false, 0},
        {"in the corner, until asked", corner, true, 1},
        {"in the corner whatever is asked", corner, false, 3},
    };
    for (const Case &c : cases) {
        QPoint reported = c.reported;
        std::vector<QPoint> asked;
        forms::hooks().windowSystemPlace = [&](forms::HWND) {
            return std::optional<forms::PixelPoint>({reported.x(), reported.y()});
        };
        forms::hooks().moveNative = [&](forms::HWND, int x, int y) {
            asked.emplace_back(x, y);
            if (c.moveTakes)
                reported = QPoint(x, y);
            return true;
        };
        strip().Move(strip().Left(), strip().Top()); // a new placement allows new put-backs
        strip().Show();
        // Long enough for the checks after the last put-back to have run.
        desktop.idle(2000);
        EXPECT_EQ(asked, std::vector<QPoint>(static_cast<std::size_t>(c.putBacks), home)) << c.what;
        EXPECT_EQ(strip().hWnd()->geometry().topLeft(), home) << c.what;
        forms::hooks().windowSystemPlace = nullptr;
        forms::hooks().moveNative = nullptr;
    }
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

    const QImage shot = strip().hWnd()->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(screen.width(), 64));
    EXPECT_EQ(QColor(shot.pixel(5, 0)), QColor(72, 115, 255));
    EXPECT_EQ(QColor(shot.pixel(screen.width() - 1, 0)), QColor(72, 115, 255)) << "stretched across the screen";
    EXPECT_EQ(QColor(shot.pixel(5, 62)), QColor(0, 128, 0));
    EXPECT_EQ(QColor(shot.pixel(screen.width() / 3, 63)), QColor(0, 128, 0));
    const QColor sky = shot.pixel(5, 30);
    EXPECT_EQ(sky.blue(), 255);
    EXPECT_GT(sky.red(), 72);

    const QRect title((screenTwips - 2100) / 2 / 15, 15, 140, 34);
    int whiteInside = 0, whiteOutside = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (QColor(shot.pixel(x, y)) == QColor(255, 255, 255))
                ++(title.contains(x, y) ? whiteInside : whiteOutside);
    EXPECT_GT(whiteInside, 100);
    EXPECT_EQ(whiteOutside, 0);
}

TEST_F(Startup, TwentyDistinctHiddenParticleWindowsWait)
{
    std::set<QWidget *> windows;
    for (const auto &dot : modBarn::Dots) {
        ASSERT_TRUE(dot);
        windows.insert(dot->hWnd());
        EXPECT_FALSE(dot->Flag);
        EXPECT_FALSE(dot->hWnd()->isVisible());
        EXPECT_EQ(dot->Width(), 30);
        EXPECT_EQ(dot->Height(), 30);
        EXPECT_TRUE(dot->hWnd()->isWindow());
        EXPECT_TRUE(dot->hWnd()->windowFlags().testFlag(Qt::WindowTransparentForInput));
        EXPECT_TRUE(dot->hWnd()->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    }
    EXPECT_EQ(windows.size(), 20u);
}

// The pool's native windows are made in idle time after the strip shows, one per pass of
// the event loop: the strip is not held up behind them, yet the first burst frame finds
// them made (and only moves and shows them).
TEST_F(Startup, ParticleWindowsGetNativeWindowsOnceTheStripShows)
{
    auto made = [] {
        int count = 0;
        for (const auto &dot : modBarn::Dots)
            count += dot->hWnd()->testAttribute(Qt::WA_WState_Created);
        return count;
    };
    EXPECT_TRUE(strip().hWnd()->testAttribute(Qt::WA_WState_Created));
    EXPECT_EQ(made(), 0) << "made before the strip could show";
    for (int pass = 0; pass < 40 && made() < 20; ++pass)
        desktop.pump();
    EXPECT_EQ(made(), 20);
    for (const auto &dot : modBarn::Dots)
        EXPECT_FALSE(dot->hWnd()->isVisible());
}

TEST_F(Startup, PointersAreCrossOverTheStripAndArrowOverItsButtons)
{
    EXPECT_EQ(strip().hWnd()->cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(strip().Lstage.hWnd()->cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(strip().SARA.hWnd()->cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(strip().Img.hWnd()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(strip().PicReady.hWnd()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(strip().pTama[0].hWnd()->cursor().shape(), Qt::ArrowCursor);
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
    EXPECT_FALSE(menu.hWnd()->isVisible());

    frm_Version dialog;
    EXPECT_EQ(dialog.Caption(), "バージョン情報");
    EXPECT_EQ(dialog.hWnd()->size(), QSize(263, 75));
    EXPECT_EQ(dialog.Label3.Caption(), "Kestrin");
    EXPECT_EQ(dialog.Label2_1.Caption(), "Version 1.0.0");
}

} // namespace
