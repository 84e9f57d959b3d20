#pragma once
// Stand-ins for the few window-system functions the program calls directly: region
// outlines for shaped windows and stacking.

#include <cstdint>
#include <memory>

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

enum InsertAfter : std::intptr_t { HWND_TOP = 0, HWND_TOPMOST = -1 };
constexpr std::uint32_t SWP_NOSIZE = 0x0001;
constexpr std::uint32_t SWP_NOMOVE = 0x0002;
constexpr std::uint32_t SWP_SHOWWINDOW = 0x0040;

// Stacks a top-level window above every other window, and shows it with SWP_SHOWWINDOW.
// Only with SWP_NOMOVE and SWP_NOSIZE (windows move through their forms, which keep their
// places in twips); returns non-zero on success.
int SetWindowPos(HWND window, InsertAfter after, int x, int y, int cx, int cy, std::uint32_t flags);

} // namespace forms
