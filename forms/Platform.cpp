// Stand-ins for the window-system functions the program calls directly, over the body.

#include "forms/Platform.h"

#include <vector>

#include "forms/Body.h"

namespace forms {

// The rectangles of the region, in the order the record lists them.
class Region {
public:
    std::vector<PixelRect> rects;
};

void RegionDeleter::operator()(Region *region) const { delete region; }

namespace {

std::int32_t readInt32(const unsigned char *bytes)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | bytes[i];
    return static_cast<std::int32_t>(v);
}

bool isIdentity(const XFORM &x)
{
    return x.eM11 == 1.0f && x.eM12 == 0.0f && x.eM21 == 0.0f && x.eM22 == 1.0f && x.eDx == 0.0f && x.eDy == 0.0f;
}

constexpr std::uint32_t kHeaderBytes = 32;
constexpr std::uint32_t kRectBytes = 16;
constexpr std::int32_t kRectangles = 1; // iType of rectangle data

// A shape wholly outside the window: an empty list would make the window rectangular.
const PixelRect kOutside{-1, -1, 1, 1};

} // namespace

HRGN ExtCreateRegion(const XFORM *xform, std::uint32_t count, const void *data)
{
    if (!data || count < kHeaderBytes || (xform && !isIdentity(*xform)))
        return nullptr;
    const auto *bytes = static_cast<const unsigned char *>(data);
    const std::int32_t dwSize = readInt32(bytes);
    const std::int32_t iType = readInt32(bytes + 4);
    const std::uint32_t nCount = static_cast<std::uint32_t>(readInt32(bytes + 8));
    // nRgnSize and the bounding rectangle are not trusted: the rectangles decide.
    if (dwSize != static_cast<std::int32_t>(kHeaderBytes) || iType != kRectangles
        || nCount > (count - kHeaderBytes) / kRectBytes)
        return nullptr;
    HRGN region(new Region);
    for (std::uint32_t i = 0; i < nCount; ++i) {
        const unsigned char *rect = bytes + kHeaderBytes + i * kRectBytes;
        const std::int32_t left = readInt32(rect), top = readInt32(rect + 4);
        const std::int32_t right = readInt32(rect + 8), bottom = readInt32(rect + 12);
        // Right and bottom are exclusive; empty or inverted rectangles add nothing.
        if (left < right && top < bottom)
            region->rects.push_back({left, top, right - left, bottom - top});
    }
    return region;
}

int SetWindowRgn(HWND window, HRGN &region, bool redraw)
{
    if (!window)
        return 0;
    if (!region)
        window->setShape({});
    else if (region->rects.empty())
        window->setShape({kOutside});
    else
        window->setShape(region->rects);
    region.reset();
    if (redraw)
        window->update();
    return 1;
}

int SetWindowPos(HWND window, InsertAfter after, int, int, int, int, std::uint32_t flags)
{
    // Windows move through their forms, which keep their places in twips.
    const std::uint32_t keepsPlace = SWP_NOMOVE | SWP_NOSIZE;
    if (!window || (flags & keepsPlace) != keepsPlace)
        return 0;
    if (flags & SWP_SHOWWINDOW)
        window->setVisible(true);
    if (after == HWND_TOPMOST || after == HWND_TOP)
        window->raiseAboveAll();
    return 1;
}

} // namespace forms
