#pragma once
// Stand-ins for the few window-system functions the program calls directly:
// region outlines for shaped windows, stacking, quick changes to native windows, and the
// hints that tell a window manager how to treat the program's windows.

#include <cstdint>
#include <memory>
#include <optional>

#include "forms/Types.h"

namespace forms {

// A 2-D transform as the region call takes it; only the identity is supported.
struct XFORM {
    float eM11, eM12, eM21, eM22, eDx, eDy;
};

class Region;
struct RegionDeleter {
    void operator()(Region *region) const;
};
// A region handle; the window takes it over when SetWindowRgn succeeds.
using HRGN = std::unique_ptr<Region, RegionDeleter>;

// Builds a region from region-data bytes (a 32-byte header, then nCount rectangles).
// Returns no region for a null or non-identity transform's data, a header that is not
// 32 bytes of type 1, or fewer bytes than the header and its rectangles need.
HRGN ExtCreateRegion(const XFORM *xform, std::uint32_t count, const void *data);

// Clips the window to the region, or makes it rectangular again for no region.
// Returns non-zero on success; then the window owns the region and `region` is empty.
int SetWindowRgn(HWND window, HRGN &region, bool redraw);

// Number of rectangles in a region and its bounding box (pixels), for checks.
int RegionRectCount(const Region &region);

enum InsertAfter : std::intptr_t { HWND_TOP = 0, HWND_TOPMOST = -1 };
constexpr std::uint32_t SWP_NOSIZE = 0x0001;
constexpr std::uint32_t SWP_NOMOVE = 0x0002;
constexpr std::uint32_t SWP_SHOWWINDOW = 0x0040;

// Changes the window's place in the stacking order (and shows it with SWP_SHOWWINDOW).
// Returns non-zero on success.
int SetWindowPos(HWND window, InsertAfter after, int x, int y, int cx, int cy, std::uint32_t flags);

// Has the window system fill the window with one colour, with no painting by the
// program: the cheapest way to recolour a window. False where that is not available.
bool SetNativeBackground(HWND window, Color color);

// A logical pixel coordinate in the window system's device pixels, at the window's
// device-pixel ratio, on a screen whose edge `origin` is the same in both; rounded as Qt
// rounds its own conversions, so direct requests agree with Qt's placement.
int toDevicePixels(int logical, double ratio, int origin);
// The reverse: a device pixel coordinate in logical pixels.
int fromDevicePixels(int device, double ratio, int origin);

// Moves a shown top-level window (logical pixels) and stacks it above every other window,
// in one request straight to the window system, without the window-manager hints Qt
// rewrites on every move. False where that is not available.
bool MoveNativeWindowAbove(HWND window, int x, int y);

// Asks the window system itself to move a shown top-level window (logical pixels), for
// when Qt believes it is already there. False where that is not available.
bool MoveNativeWindow(HWND window, int x, int y);

// Where a top-level window's client area starts on the screen, in twips, as the window
// system has it (a window manager may have moved the window); nothing where no window
// system answers.
struct TwipsPoint {
    float x = 0, y = 0;
};
std::optional<TwipsPoint> NativeScreenOrigin(HWND window);

// Keeps a top-level window off the taskbar and pager and puts it on every virtual
// desktop; call before it is first shown.
void SetDesktopStates(HWND window);

// Tells the window manager which functions and decorations a window of the style offers
// (the strip: only closing; the dialog: moving and closing), over the ones Qt derives
// from the window flags, which cannot forbid moving or resizing. Call it after the native
// window exists (Qt writes its own when it creates it) and before the window is mapped.
void SetMotifHints(HWND window, FormStyle style);

} // namespace forms
