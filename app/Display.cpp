// Choosing the window system before Qt starts: an X display that answers, or a plain refusal.

#include "app/Display.h"

#include <QByteArray>
#include <QtGlobal>

#ifdef KESTRIN_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

#ifdef KESTRIN_HAVE_XCB
// Opens and closes a connection: the only sure way to know the server takes us
// (it may be gone, refuse us, or want credentials we do not have).
bool canOpenXDisplay(const std::string &name)
{
    xcb_connection_t *connection = xcb_connect(name.c_str(), nullptr);
    const bool open = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return open;
}
#endif

} // namespace

std::optional<std::string> chooseDisplay(const std::string &displayName)
{
#ifdef KESTRIN_HAVE_XCB
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    // A platform the user chose wins (offscreen for tests, say); only X11 is checked here.
    if (!platform.isEmpty() && !platform.startsWith("xcb"))
        return std::nullopt;
    const std::string name = displayName.empty() ? qgetenv("DISPLAY").toStdString() : displayName;
    if (name.empty()) {
        // The strip and the particles are placed by the program itself, which a Wayland
        // client cannot do: the game runs through XWayland or not at all.
        if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            return "kestrin: this Wayland session has no X display (DISPLAY is not set); the game places its "
                   "own windows, which needs XWayland";
        return "kestrin: no display found (DISPLAY is not set); start it from a desktop session";
    }
    if (!canOpenXDisplay(name))
        return "kestrin: cannot open display " + name;
    // Qt then opens the display that was checked, even when DISPLAY names another.
    qputenv("DISPLAY", QByteArray::fromStdString(name));
    if (platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", "xcb");
#else
    (void)displayName;
#endif
    return std::nullopt;
}
