#pragma once
// A desktop in virtual time for tests: waits advance a virtual clock instead of
// blocking, scripted presses and the runtime's timers reach the program at the first
// pump after their time, and message boxes, popup menus and modal windows are answered
// by the test. It talks to the runtime only, so it works on every body.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "forms/Runtime.h"

namespace forms {
class Form;
class Menu;
} // namespace forms

class VirtualDesktop {
public:
    // Installs the virtual clock and answers; the random source gets a fixed seed.
    explicit VirtualDesktop(std::uint64_t seed = 1);
    // Restores the real platform and destroys every window the test created.
    ~VirtualDesktop();
    VirtualDesktop(const VirtualDesktop &) = delete;
    VirtualDesktop &operator=(const VirtualDesktop &) = delete;

    // Milliseconds of virtual time since the desktop was made.
    std::uint64_t elapsed() const { return clock_; }

    // Scripts a press and release at a screen point (pixels) at a virtual time.
    void click(std::uint64_t atMs, forms::PixelPoint screen, std::int16_t button = forms::vbLeftButton);
    // The same, at the current virtual time.
    void clickNow(forms::PixelPoint screen, std::int16_t button = forms::vbLeftButton)
    {
        click(clock_, screen, button);
    }
    // Runs the message pump once, as the program's own pumps do.
    void pump();
    // Lets virtual time pass with the program idle: the pump runs at each timer's time
    // and at the end.
    void idle(std::uint32_t ms);

    // Texts of the message boxes shown so far.
    std::vector<std::string> messages;
    // Called while a popup menu is open (after its own Click); may run an item's Click.
    std::function<void(forms::Menu &)> onPopup;
    // Called while a modal window is shown; it should unload the window.
    std::function<void(forms::Form &)> onModal;
    // Called for every wait, with the virtual time at its start and its length.
    std::function<void(std::uint64_t startMs, std::uint32_t ms)> onSleep;
    // Number of pumps so far.
    int pumps = 0;

private:
    struct ScriptedClick {
        forms::PixelPoint screen;
        std::int16_t button;
    };
    std::uint64_t clock_ = 0;
    // By virtual time, in the order they were made.
    std::multimap<std::uint64_t, ScriptedClick> script_;
    std::multimap<std::uint64_t, std::function<void()>> timers_;
};
