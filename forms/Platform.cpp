// Stand-ins for the window-system functions the program calls directly, over Qt and xcb.

#include "forms/Platform.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QRegion>
#include <QScreen>
#include <QWidget>

#include <array>
#include <cstring>

#include "forms/Runtime.h"
#include "forms/Screen.h"

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

int toDevicePixels(int logical, double ratio, int origin)
{
    return origin + qRound((logical - origin) * ratio);
}

int fromDevicePixels(int device, double ratio, int origin)
{
    return origin + qRound((device - origin) / ratio);
}

#ifdef KESTRIN_HAVE_XCB
namespace {

// The _MOTIF_WM_HINTS property: which functions and decorations a window manager offers.
struct MotifHints {
    std::uint32_t flags = 0, functions = 0, decorations = 0, inputMode = 0, status = 0;
};

// _MOTIF_WM_HINTS bits, as window managers read them.
constexpr std::uint32_t kMwmHintsFunctions = 1;
constexpr std::uint32_t kMwmHintsDecorations = 2;
constexpr std::uint32_t kMwmFuncMove = 4;
constexpr std::uint32_t kMwmFuncClose = 32;
constexpr std::uint32_t kMwmDecorBorder = 2;
constexpr std::uint32_t kMwmDecorTitle = 8;

MotifHints motifHintsFor(FormStyle style)
{
    MotifHints hints;
    hints.flags = kMwmHintsFunctions | kMwmHintsDecorations;
    switch (style) {
    case FormStyle::Strip:
        // Nothing but closing: no move, resize, minimise or maximise, and no frame.
        hints.functions = kMwmFuncClose;
        break;
    case FormStyle::Dialog:
        // A title bar with a close box; moving it is fine, nothing else is offered.
        hints.functions = kMwmFuncMove | kMwmFuncClose;
        hints.decorations = kMwmDecorBorder | kMwmDecorTitle;
        break;
    case FormStyle::Particle:
    case FormStyle::Hidden:
        // Never managed or never shown: Qt's own hints are left alone.
        hints.flags = 0;
        break;
    }
    return hints;
}

xcb_connection_t *xcbConnection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Every name is asked for before any answer is read: one round trip for all of them.
template <std::size_t N> std::array<xcb_atom_t, N> internAtoms(xcb_connection_t *c, const char *const (&names)[N])
{
    std::array<xcb_intern_atom_cookie_t, N> cookies;
    for (std::size_t i = 0; i < N; ++i)
        cookies[i] = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
    std::array<xcb_atom_t, N> atoms;
    for (std::size_t i = 0; i < N; ++i) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookies[i], nullptr);
        atoms[i] = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(reply);
    }
    return atoms;
}

xcb_window_t nativeId(const QWidget *window) { return static_cast<xcb_window_t>(window->winId()); }

// The server's coordinates are device pixels: under a scale factor Qt's logical pixels
// would land at a fraction of the place.
QPoint devicePlace(const QWidget *window, int x, int y)
{
    const double ratio = window->devicePixelRatio();
    const QPoint origin = window->screen()->geometry().topLeft();
    return {toDevicePixels(x, ratio, origin.x()), toDevicePixels(y, ratio, origin.y())};
}

} // namespace
#endif

namespace {

// Where the X server has a shown window's client area, logical pixels; nothing where no
// X server answers.
std::optional<PixelPoint> serverPlace(HWND window)
{
#ifdef KESTRIN_HAVE_XCB
    xcb_connection_t *c = xcbConnection();
    if (!c || !window->isVisible())
        return std::nullopt;
    const xcb_window_t id = nativeId(window);
    xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr);
    if (!geometry)
        return std::nullopt;
    const xcb_window_t root = geometry->root;
    std::free(geometry);
    xcb_translate_coordinates_reply_t *place =
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, id, root, 0, 0), nullptr);
    if (!place)
        return std::nullopt;
    const double ratio = window->devicePixelRatio();
    const QPoint origin = window->screen()->geometry().topLeft();
    const PixelPoint logical{fromDevicePixels(place->dst_x, ratio, origin.x()),
                             fromDevicePixels(place->dst_y, ratio, origin.y())};
    std::free(place);
    return logical;
#else
    (void)window;
    return std::nullopt;
#endif
}

enum class Stacking { Unchanged, Above };

// Moves a shown top-level window with a request of its own to the X server; false where
// there is none.
bool configureNative(HWND window, int x, int y, Stacking stacking)
{
#ifdef KESTRIN_HAVE_XCB
    xcb_connection_t *c = xcbConnection();
    if (!c)
        return false;
    const QPoint place = devicePlace(window, x, y);
    const std::uint32_t values[3] = {static_cast<std::uint32_t>(place.x()), static_cast<std::uint32_t>(place.y()),
                                     XCB_STACK_MODE_ABOVE};
    const bool above = stacking == Stacking::Above;
    const std::uint16_t mask = XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | (above ? XCB_CONFIG_WINDOW_STACK_MODE : 0);
    xcb_configure_window(c, nativeId(window), mask, values);
    // A burst frame's moves go out together with Qt's own flush at the next pump; a lone
    // move goes now.
    if (!above)
        xcb_flush(c);
    return true;
#else
    (void)window;
    (void)x;
    (void)y;
    (void)stacking;
    return false;
#endif
}

} // namespace

bool SetNativeBackground(HWND window, Color color)
{
#ifdef KESTRIN_HAVE_XCB
    xcb_connection_t *c = xcbConnection();
    if (!c || !window)
        return false;
    const auto id = nativeId(window);
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

bool MoveNativeWindowAbove(HWND window, int x, int y)
{
    if (!window || !window->isVisible())
        return false;
    if (hooks().moveAbove)
        return hooks().moveAbove(window, x, y);
    // Position and stacking in one request: a particle stays above windows raised
    // meanwhile at no extra cost per frame.
    return configureNative(window, x, y, Stacking::Above);
}

bool MoveNativeWindow(HWND window, int x, int y)
{
    if (!window || !window->isVisible())
        return false;
    if (hooks().moveNative)
        return hooks().moveNative(window, x, y);
    return configureNative(window, x, y, Stacking::Unchanged);
}

std::optional<TwipsPoint> NativeScreenOrigin(HWND window)
{
    if (!window)
        return std::nullopt;
    const std::optional<PixelPoint> place =
        hooks().windowSystemPlace ? hooks().windowSystemPlace(window) : serverPlace(window);
    if (!place)
        return std::nullopt;
    return TwipsPoint{static_cast<float>(place->x) * Screen::TwipsPerPixelX(),
                      static_cast<float>(place->y) * Screen::TwipsPerPixelY()};
}

void SetDesktopStates(HWND window)
{
#ifdef KESTRIN_HAVE_XCB
    xcb_connection_t *c = xcbConnection();
    if (!c || !window)
        return;
    const xcb_window_t id = nativeId(window);
    enum { State, SkipTaskbar, SkipPager, Sticky, Desktop };
    const std::array<xcb_atom_t, 5> atoms = internAtoms(
        c, {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_STICKY",
            "_NET_WM_DESKTOP"});
    // Qt keeps _NET_WM_STATE atoms it does not know of when it maps the window. Sticky
    // keeps ordinary stacking, unlike a dock or a window kept above.
    const xcb_atom_t states[3] = {atoms[SkipTaskbar], atoms[SkipPager], atoms[Sticky]};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atoms[State], XCB_ATOM_ATOM, 32, 3, states);
    // Some window managers read the desktop number rather than the sticky state.
    const std::uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atoms[Desktop], XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    xcb_flush(c);
#else
    (void)window;
#endif
}

void SetMotifHints(HWND window, FormStyle style)
{
#ifdef KESTRIN_HAVE_XCB
    xcb_connection_t *c = xcbConnection();
    const MotifHints hints = motifHintsFor(style);
    if (!c || !window || hints.flags == 0)
        return;
    static_assert(sizeof(MotifHints) == 5 * sizeof(std::uint32_t), "the property is five 32-bit fields");
    const xcb_atom_t property = internAtoms(c, {"_MOTIF_WM_HINTS"})[0];
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, nativeId(window), property, property, 32, 5, &hints);
    xcb_flush(c);
#else
    (void)window;
    (void)style;
#endif
}

} // namespace forms
