#pragma once
// Choosing the window system before Qt starts: an X display that answers, or a plain refusal.

#include <optional>
#include <string>

// Picks the platform the program runs on and makes sure it can be reached, before the
// QApplication exists (Qt's X11 plugin aborts the process on a display it cannot open).
// displayName is the X display named on the command line, or empty to use DISPLAY.
// Returns the one-line message to print before exiting with status 1, or nothing when the
// program can go on; then X11 is the platform (and DISPLAY the display that was checked),
// unless the user chose another platform in QT_QPA_PLATFORM.
std::optional<std::string> chooseDisplay(const std::string &displayName);
