// Choosing the window system before Qt starts: an X display that answers, or a plain refusal.

#include "app/Display.h"

#include <QByteArray>
#include <QtGlobal>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#ifdef KESTRIN_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

#ifdef KESTRIN_HAVE_XCB
// The connection that showed the display answers. It stays open until Qt has its own: an X
// server with no other client resets when its last one leaves, and refuses connections
// meanwhile, so closing it first could make Qt's connection fail (and Qt then aborts).
xcb_connection_t *g_probe = nullptr;

void closeProbe()
{
    if (g_probe)
        xcb_disconnect(g_probe);
    g_probe = nullptr;
}

// Connecting is the only sure way to know the server takes us (it may be gone, refuse us,
// or want credentials we do not have).
bool canOpenXDisplay(const std::string &name)
{
    closeProbe();
    g_probe = xcb_connect(name.c_str(), nullptr);
    if (xcb_connection_has_error(g_probe) == 0)
        return true;
    closeProbe();
    return false;
}
#endif

// Set while a DisplayLossGuard lives: an exit() then comes from inside Qt, not from main().
std::atomic<bool> g_guarded = false;

void endAtOnceWhileGuarded()
{
    if (!g_guarded)
        return;
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}

} // namespace

DisplayLossGuard::DisplayLossGuard()
{
    // Handlers registered now run before the destructors of statics built earlier.
    static const bool registered = std::atexit(endAtOnceWhileGuarded) == 0;
    g_guarded = registered;
#ifdef KESTRIN_HAVE_XCB
    closeProbe();
#endif
}

DisplayLossGuard::~DisplayLossGuard() { g_guarded = false; }

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
