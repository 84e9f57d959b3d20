// The Qt body's calls to the X server, all in this one file.

#include "forms/qt/X11.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace forms::x11 {

namespace {

// The connection that showed the display answers. It stays open until Qt has its own: an X
// server with no other client resets when its last one leaves, and refuses connections
// meanwhile, so closing it first could make Qt's connection fail (and Qt then aborts).
xcb_connection_t *g_probe = nullptr;

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

xcb_connection_t *connection()
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

xcb_window_t nativeId(const QWidget &window) { return static_cast<xcb_window_t>(window.winId()); }

// The server's coordinates are device pixels: under a scale factor Qt's logical pixels
// would land at a fraction of the place.
QPoint devicePlace(const QWidget &window, QPoint logical)
{
    const double ratio = window.devicePixelRatio();
    const QPoint origin = window.screen()->geometry().topLeft();
    return {toDevicePixels(logical.x(), ratio, origin.x()), toDevicePixels(logical.y(), ratio, origin.y())};
}

QPoint logicalPlace(const QWidget &window, int x, int y)
{
    const double ratio = window.devicePixelRatio();
    const QPoint origin = window.screen()->geometry().topLeft();
    return {fromDevicePixels(x, ratio, origin.x()), fromDevicePixels(y, ratio, origin.y())};
}

std::optional<QPoint> askServerPlace(const QWidget &window)
{
    xcb_connection_t *c = connection();
    if (!c)
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
    const QPoint logical = logicalPlace(window, place->dst_x, place->dst_y);
    std::free(place);
    return logical;
}

bool askServerMove(QWidget &window, QPoint logical, Stacking stacking)
{
    xcb_connection_t *c = connection();
    if (!c)
        return false;
    const QPoint place = devicePlace(window, logical);
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
}

} // namespace

bool openProbe(const std::string &display)
{
    closeProbe();
    g_probe = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(g_probe) == 0)
        return true;
    closeProbe();
    return false;
}

void closeProbe()
{
    if (g_probe)
        xcb_disconnect(g_probe);
    g_probe = nullptr;
}

void setDesktopStates(QWidget &window)
{
    xcb_connection_t *c = connection();
    if (!c)
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
}

void setMotifHints(QWidget &window, FormStyle style)
{
    xcb_connection_t *c = connection();
    const MotifHints hints = motifHintsFor(style);
    if (!c || hints.flags == 0)
        return;
    static_assert(sizeof(MotifHints) == 5 * sizeof(std::uint32_t), "the property is five 32-bit fields");
    const xcb_atom_t property = internAtoms(c, {"_MOTIF_WM_HINTS"})[0];
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, nativeId(window), property, property, 32, 5, &hints);
    xcb_flush(c);
}

bool moveWindow(QWidget &window, QPoint place, Stacking stacking)
{
    if (!window.isVisible())
        return false;
    if (serverHooks().move)
        return serverHooks().move(window, place, stacking);
    return askServerMove(window, place, stacking);
}

std::optional<QPoint> serverPlace(const QWidget &window)
{
    if (!window.isVisible())
        return std::nullopt;
    if (serverHooks().place)
        return serverHooks().place(window);
    return askServerPlace(window);
}

bool setBackground(QWidget &window, Color color)
{
    xcb_connection_t *c = connection();
    if (!c)
        return false;
    const auto id = nativeId(window);
    // A 24-bit true-colour pixel is 0x00RRGGBB; the colour is stored blue-green-red.
    const std::uint32_t pixel = ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
    xcb_change_window_attributes(c, id, XCB_CW_BACK_PIXEL, &pixel);
    xcb_clear_area(c, 0, id, 0, 0, 0, 0);
    return true;
}

int toDevicePixels(int logical, double ratio, int origin) { return origin + qRound((logical - origin) * ratio); }

int fromDevicePixels(int device, double ratio, int origin) { return origin + qRound((device - origin) / ratio); }

ServerHooks &serverHooks()
{
    static ServerHooks hooks;
    return hooks;
}

} // namespace forms::x11
