// The Win32 body itself: the strip's and the particles' window styles, the plate's region,
// and the strip staying where the program put it.

#include <gtest/gtest.h>

#include "app/frmBG.h"
#include "burst/modBarn.h"
#include "forms/win32/Native.h"
#include "tests/support/StripOnDesktop.h"

namespace {

::HWND native(const forms::Control &control)
{
    return static_cast<forms::win32::NativeWindow *>(control.hWnd())->handle();
}

RECT placeOf(::HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

bool operator==(const RECT &a, const RECT &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

using Win32Strip = StripOnDesktop;

// A taskbar or Alt+Tab entry for the strip or a particle would show at every game, and a
// particle that took the focus or a press would steal the shot from the plate under it.
TEST_F(Win32Strip, TheStripAndTheParticlesStayOffTheTaskbarAndParticlesTakeNoInput)
{
    const LONG_PTR strip = GetWindowLongPtrW(native(this->strip()), GWL_EXSTYLE);
    EXPECT_TRUE(strip & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(strip & (WS_EX_APPWINDOW | WS_EX_TOPMOST)) << "the strip stacks as an ordinary window";
    EXPECT_FALSE(GetWindowLongPtrW(native(this->strip()), GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME));
    constexpr LONG_PTR kParticle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT;
    const ::HWND active = GetActiveWindow();
    for (frmDot *dot : modBarn::Dots) {
        EXPECT_EQ(native(*dot), nullptr) << "made when the program is idle or the particle first shows";
        dot->Show();
        const ::HWND particle = native(*dot);
        EXPECT_EQ(GetWindowLongPtrW(particle, GWL_EXSTYLE) & kParticle, kParticle);
        EXPECT_TRUE(IsWindowVisible(particle));
        EXPECT_EQ(SendMessageW(particle, WM_NCHITTEST, 0, 0), HTTRANSPARENT);
        dot->setVisible(false);
    }
    EXPECT_EQ(GetActiveWindow(), active);
}

// The plate's window is cut to its outline: rows 1-4 of its 14x8 box, 6, 10, 12 and 12
// pixels wide. A rectangular plate would catch presses meant for the sky beside it.
TEST_F(Win32Strip, ThePlatesWindowIsCutToItsOutline)
{
    strip().ShowPlateAt(6000, 300);
    desktop.pump();
    const HRGN outline = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(native(strip().SARA), outline), ERROR);
    const double scale = forms::win32::scale();
    const auto inside = [&](int x, int y) {
        return PtInRegion(outline, int((x + 0.5) * scale), int((y + 0.5) * scale)) != FALSE;
    };
    EXPECT_TRUE(inside(6, 1) && inside(2, 2) && inside(1, 4) && inside(12, 4));
    EXPECT_FALSE(inside(0, 0) || inside(3, 1) || inside(1, 2) || inside(6, 5) || inside(13, 3));
    DeleteObject(outline);
}

// Windows lets any program move another's window; the strip goes back to its place, and
// comes straight back from minimised, having no taskbar button to be restored from.
TEST_F(Win32Strip, TheStripGoesBackWhenMovedOrMinimised)
{
    const ::HWND window = native(strip());
    const RECT place = placeOf(window);
    SetWindowPos(window, nullptr, place.left + 40, place.top - 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    desktop.pump();
    EXPECT_TRUE(placeOf(window) == place);
    ShowWindow(window, SW_MINIMIZE);
    desktop.pump();
    desktop.pump();
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(placeOf(window) == place);
}

} // namespace
