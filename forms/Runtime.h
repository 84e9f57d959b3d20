#pragma once
// The forms runtime's process-wide services: message pump, waits, clocks, chance,
// message boxes, the executable's folder and the end of the process. Everything
// that touches time or chance goes through here, so tests can run in virtual time.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "forms/Screen.h"
#include "forms/Types.h"

namespace forms {

class Form;
class Menu;

// Local date and time, to the second.
struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    friend bool operator==(const DateTime &, const DateTime &) = default;
};

// Replaceable implementations. Empty members use the real platform; tests fill them in.
struct Hooks {
    std::function<void(std::uint32_t ms)> sleep;       // blocking wait
    std::function<std::uint32_t()> tickCount;          // milliseconds, wraps at 2^32
    std::function<DateTime()> now;                     // local date and time
    std::function<void()> doEvents;                    // one pass of the message pump
    std::function<void(const std::string &text)> msgBox;
    std::function<void(Menu &menu)> popupMenu;         // replaces the popup's modal loop
    std::function<void(Form &form)> showModal;         // runs while a modal form is shown
    std::function<std::string()> appPath;              // the executable's folder
    std::function<ScreenView()> primaryScreen;         // the primary screen and its work area
    // A shown window's move that also stacks it above all others (logical pixels);
    // false leaves the move to Qt.
    std::function<bool(HWND window, int x, int y)> moveAbove;
    // Where the window system has a shown top-level window (logical pixels); nothing
    // where none answers.
    std::function<std::optional<PixelPoint>(HWND window)> windowSystemPlace;
    // A shown top-level window's move asked of the window system itself (logical pixels);
    // false where that is not available.
    std::function<bool(HWND window, int x, int y)> moveNative;
};

// The hooks in force; assign members to replace them.
Hooks &hooks();
// Back to the real platform for every hook.
void resetHooks();

// Handles every pending event, each handler to its end, then returns.
void DoEvents();
// Blocks the calling thread; no event is handled meanwhile.
void Sleep(std::uint32_t ms);
// Milliseconds since an arbitrary start, wrapping like a 32-bit counter.
std::uint32_t GetTickCount();
// The current local date and time.
DateTime Now();
// A modal box with the text, an OK button and the application's title.
void MsgBox(const std::string &text);
// Ends the process at once, from any depth of nested loops; nothing else runs.
[[noreturn]] void End();
// Folder of the executable, without a trailing separator unless it is a root.
std::string AppPath();
// The title of message boxes and the program's name.
const char *AppTitle();

// Next value of the random source: uniform on [0, 1), never 1.
float Rnd();
// Mixes the clock into the random state; two calls within one clock tick still
// lead to different sequences.
void Randomize();
// Puts the random source into a known state (tests and benchmarks).
void SeedRandom(std::uint64_t seed);

} // namespace forms
