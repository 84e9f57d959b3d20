// The virtual desktop: virtual clock, scripted presses delivered at the pump, answered boxes.

#include "tests/support/VirtualDesktop.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "forms/Body.h"
#include "forms/Form.h"
#include "game/GameState.h"

namespace {

// The virtual clock starts on a Monday morning.
forms::DateTime virtualDate(std::uint64_t ms)
{
    using namespace std::chrono;
    const sys_time<milliseconds> t = sys_days{year{2026} / December / 7} + hours{10} + milliseconds{ms};
    const sys_days day = floor<days>(t);
    const year_month_day date{day};
    const hh_mm_ss<seconds> time{floor<seconds>(t - day)};
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())), static_cast<int>(time.hours().count()),
            static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count())};
}

} // namespace

VirtualDesktop::VirtualDesktop(std::uint64_t seed)
{
    forms::SeedRandom(seed);
    Game = GameState{};
    auto &h = forms::hooks();
    h.sleep = [this](std::uint32_t ms) {
        if (onSleep)
            onSleep(clock_, ms);
        clock_ += ms;
    };
    h.tickCount = [this] { return static_cast<std::uint32_t>(clock_); };
    h.now = [this] { return virtualDate(clock_); };
    h.doEvents = [this] { pump(); };
    h.after = [this](std::uint32_t ms, std::function<void()> action) { timers_.emplace(clock_ + ms, std::move(action)); };
    h.msgBox = [this](const std::string &text) { messages.push_back(text); };
    h.popupMenu = [this](forms::Menu &menu) {
        if (onPopup)
            onPopup(menu);
    };
    h.showModal = [this](forms::Form &form) {
        if (onModal)
            onModal(form);
        else
            form.Unload();
    };
}

VirtualDesktop::~VirtualDesktop()
{
    forms::DestroyDefaultInstances();
    forms::resetHooks();
    Game = GameState{};
}

void VirtualDesktop::click(std::uint64_t atMs, forms::PixelPoint screen, std::int16_t button)
{
    script_.emplace(atMs, ScriptedClick{screen, button});
}

void VirtualDesktop::pump()
{
    ++pumps;
    while (!script_.empty() && script_.begin()->first <= clock_) {
        const ScriptedClick c = script_.begin()->second;
        script_.erase(script_.begin());
        forms::body::pressAt(c.screen, c.button);
    }
    while (!timers_.empty() && timers_.begin()->first <= clock_) {
        const std::function<void()> action = std::move(timers_.begin()->second);
        timers_.erase(timers_.begin());
        action();
    }
    forms::body::pumpEvents();
}

void VirtualDesktop::idle(std::uint32_t ms)
{
    const std::uint64_t end = clock_ + ms;
    for (; !timers_.empty() && timers_.begin()->first <= end; pump())
        clock_ = std::max(clock_, timers_.begin()->first);
    clock_ = end;
    pump();
}
