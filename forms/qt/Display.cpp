// Choosing the window system before Qt starts: an X display that answers, or a plain refusal.

#include "forms/qt/Display.h"

#include <QByteArray>
#include <QtGlobal>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "forms/qt/X11.h"

namespace forms::qt {

namespace {

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

WindowSystemOptions readWindowSystemOptions(int argc, char **argv)
{
    WindowSystemOptions options;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-platform" || arg == "--platform")
            options.platform = argv[++i];
        else if (arg == "-display" || arg == "--display")
            options.display = argv[++i];
    }
    return options;
}

DisplayLossGuard::DisplayLossGuard()
{
    // Handlers registered now run before the destructors of statics built earlier.
    static const bool registered = std::atexit(endAtOnceWhileGuarded) == 0;
    g_guarded = registered;
    x11::closeProbe();
}

DisplayLossGuard::~DisplayLossGuard() { g_guarded = false; }

std::optional<std::string> chooseDisplay(const std::string &displayName)
{
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
    // Connecting is the only sure way to know the server takes us (it may be gone, refuse
    // us, or want credentials we do not have).
    if (!x11::openProbe(name))
        return "kestrin: cannot open display " + name;
    // Qt then opens the display that was checked, even when DISPLAY names another.
    qputenv("DISPLAY", QByteArray::fromStdString(name));
    if (platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", "xcb");
    return std::nullopt;
}

} // namespace forms::qt
