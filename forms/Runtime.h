#pragma once
// The forms runtime's process-wide services: the program's start, message pump, waits,
// timers, clocks, chance, message boxes, the executable's folder and the end of the
// process. Everything that touches time or chance goes through here, so tests can run in
// virtual time.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "forms/Screen.h"
#include "forms/Types.h"

namespace forms {

class Form;
class Menu;

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
    // Runs the action once, from the message pump, after ms milliseconds (a one-shot timer).
    std::function<void(std::uint32_t ms, std::function<void()> action)> after;
};

// The hooks in force; assign members to replace them.
Hooks &hooks();
// Back to the real platform for every hook.
void resetHooks();

// Starts the window system with the command line (its own options, such as the display,
// are read there), runs `start`, which shows the first window, then handles events until
// the program ends; returns the exit status. Prints a one-line message and returns 1 when
// there is no display to show the program on.
int Run(int argc, char **argv, const std::function<void()> &start);

// The window system's own options, which it reads from the command line itself.
std::vector<CommandLineOption> WindowSystemOptions();
// Writes UTF-8 text where the command line's output goes; returns why it could not.
std::optional<std::string> Print(OutputStream stream, const std::string &text);

// Handles every pending event, each handler to its end, then returns.
void DoEvents();
// Blocks the calling thread; no event is handled meanwhile.
void Sleep(std::uint32_t ms);
// One-shot timers tied to their owner: each After runs its action once, from the message
// pump, after ms milliseconds of the runtime's time; waits still pending when the owner
// is destroyed never run.
class Timer {
public:
    Timer() = default;
    Timer(const Timer &) = delete;
    Timer &operator=(const Timer &) = delete;
    void After(std::uint32_t ms, std::function<void()> action);

private:
    std::shared_ptr<int> alive_ = std::make_shared<int>();
};

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
