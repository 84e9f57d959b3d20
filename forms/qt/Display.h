#pragma once
// Choosing the window system before Qt starts: an X display that answers, or a plain refusal.

#include <optional>
#include <string>

namespace forms::qt {

// The window system's own options on the command line, which Qt reads from it too.
struct WindowSystemOptions {
    std::string platform; // Qt platform plugin given with -platform (or --platform)
    std::string display;  // X display given with -display (or --display)
};
WindowSystemOptions readWindowSystemOptions(int argc, char **argv);

// Picks the platform the program runs on and makes sure it can be reached, before the
// QApplication exists (Qt's X11 plugin aborts the process on a display it cannot open).
// displayName is the X display named on the command line, or empty to use DISPLAY.
// Returns the one-line message to print before exiting with status 1, or nothing when the
// program can go on; then X11 is the platform (and DISPLAY the display that was checked),
// unless the user chose another platform in QT_QPA_PLATFORM.
std::optional<std::string> chooseDisplay(const std::string &displayName);

// Held by the body from the moment the QApplication exists; it also lets go of the connection
// chooseDisplay opened, which is held until then. When the connection to the display breaks
// (the X server ended, XWayland crashed), Qt's X11 plugin ends the process with exit(1)
// from inside the event loop; the windows the program keeps in static storage would then
// be destroyed after Qt's own globals, which crashes. While a guard lives, such an exit
// ends the process at once with status 1 instead.
class DisplayLossGuard {
public:
    DisplayLossGuard();
    ~DisplayLossGuard();
    DisplayLossGuard(const DisplayLossGuard &) = delete;
    DisplayLossGuard &operator=(const DisplayLossGuard &) = delete;
};

} // namespace forms::qt
