#include "app/forms/Platform.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QRegion>
#include <QScreen>
#include <QWidget>

#include <cstring>

#ifdef KESTRIN_HAVE_XCB
#include <cstdlib>
#include <xcb/xcb.h>
#endif

namespace forms {

class Region {
public:
    QRegion shape;
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
            region->shape += QRect(left, top, right - left, bottom - top);
    }
    return region;
}

int SetWindowRgn(HWND window, HRGN &region, bool redraw)
{
    if (!window)
        return 0;
    if (!region) {
        window->clearMask();
    } else if (region->shape.isEmpty()) {
        // An empty QRegion would mean "no mask" to Qt; a mask outside the widget hides it all.
        window->setMask(QRegion(-1, -1, 1, 1));
    } else {
        window->setMask(region->shape);
    }
    region.reset();
    if (redraw)
        window->update();
    return 1;
}

int RegionRectCount(const Region &region) { return region.shape.rectCount(); }

int SetWindowPos(HWND window, InsertAfter after, int x, int y, int cx, int cy, std::uint32_t flags)
{
    if (!window)
        return 0;
    if (!(flags & SWP_NOMOVE))
        window->move(x, y);
    if (!(flags & SWP_NOSIZE))
        window->resize(cx, cy);
    if (flags & SWP_SHOWWINDOW)
        window->show();
    // Offscreen windows have no stacking order to change.
    if ((after == HWND_TOPMOST || after == HWND_TOP) && QGuiApplication::platformName() != QLatin1String("offscreen"))
        window->raise();
    return 1;
}

int WorkAreaBottomPx()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    return area.y() + area.height();
}

#ifdef KESTRIN_HAVE_XCB
namespace {
xcb_connection_t *xcbConnection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}
} // namespace
#endif

bool SetNativeBackground(HWND window, Color color)
{
#ifdef KESTRIN_HAVE_XCB
    xcb_connection_t *c = xcbConnection();
    if (!c || !window)
        return false;
    const auto id = static_cast<xcb_window_t>(window->winId());
    // A 24-bit true-colour pixel is 0x00RRGGBB; the colour is stored blue-green-red.
    const std::uint32_t pixel = ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
    xcb_change_window_attributes(c, id, XCB_CW_BACK_PIXEL, &pixel);
    xcb_clear_area(c, 0, id, 0, 0, 0, 0);
    return true;
#else
    (void)window;
    (void)color;
    return false;
#endif
}

bool MoveNativeWindow(HWND window, int x, int y)
{
#ifdef KESTRIN_HAVE_XCB
    xcb_connection_t *c = xcbConnection();
    if (!c || !window || !window->isVisible())
        return false;
    const std::uint32_t position[2] = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
    xcb_configure_window(c, static_cast<xcb_window_t>(window->winId()),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
    return true;
#else
    (void)window;
    (void)x;
    (void)y;
    return false;
#endif
}

void SetSkipTaskbar(HWND window)
{
#ifdef KESTRIN_HAVE_XCB
    xcb_connection_t *c = xcbConnection();
    if (!c)
        return;
    // All three names are asked for before any answer is read: one round trip, not three.
    const char *const names[3] = {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"};
    xcb_intern_atom_cookie_t cookies[3];
    for (int i = 0; i < 3; ++i)
        cookies[i] = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
    xcb_atom_t atoms[3];
    for (int i = 0; i < 3; ++i) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookies[i], nullptr);
        atoms[i] = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(reply);
    }
    // Qt keeps _NET_WM_STATE atoms it does not know of when it maps the window.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()), atoms[0],
                        XCB_ATOM_ATOM, 32, 2, &atoms[1]);
    xcb_flush(c);
#else
    (void)window;
#endif
}

} // namespace forms
