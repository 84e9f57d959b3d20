// The runtime's process-wide services: start, message pump, waits, timers, clocks, chance,
// message boxes.

#include "forms/Runtime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "forms/Body.h"
#include "forms/Modal.h"

namespace forms {

namespace {

Hooks g_hooks;

// The random source: splitmix64. Its output function is a bijection of the state,
// so mixing the clock into the current state never repeats an earlier state by accident.
// It starts from a fresh state in every run, so the first throw is not the same each time.
std::uint64_t initialRandomState()
{
    std::random_device device;
    const auto clock = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    return (static_cast<std::uint64_t>(device()) << 32 | device()) ^ clock;
}
std::uint64_t g_randomState = initialRandomState();

std::uint64_t mix64(std::uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t nextRandom()
{
    g_randomState += 0x9E3779B97F4A7C15ULL;
    return mix64(g_randomState);
}

} // namespace

Hooks &hooks() { return g_hooks; }

void resetHooks() { g_hooks = Hooks{}; }

int Run(int argc, char **argv, const std::function<void()> &start) { return body::run(argc, argv, start); }

std::vector<CommandLineOption> WindowSystemOptions() { return body::windowSystemOptions(); }

std::optional<std::string> Print(OutputStream stream, const std::string &text) { return body::print(stream, text); }

void DoEvents()
{
    if (g_hooks.doEvents)
        return g_hooks.doEvents();
    body::pumpEvents();
}

void Sleep(std::uint32_t ms)
{
    if (g_hooks.sleep)
        return g_hooks.sleep(ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Timer::After(std::uint32_t ms, std::function<void()> action)
{
    auto guarded = [alive = std::weak_ptr<int>(alive_), action = std::move(action)] {
        if (!alive.expired())
            action();
    };
    if (g_hooks.after)
        return g_hooks.after(ms, std::move(guarded));
    body::singleShot(ms, std::move(guarded));
}

std::uint32_t GetTickCount()
{
    if (g_hooks.tickCount)
        return g_hooks.tickCount();
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

DateTime Now()
{
    if (g_hooks.now)
        return g_hooks.now();
    return body::now();
}

void MsgBox(const std::string &text)
{
    const ModalScope modal;
    if (g_hooks.msgBox)
        return g_hooks.msgBox(text);
    body::messageBox(AppTitle(), text);
}

void End()
{
    std::fflush(nullptr);
    std::_Exit(0);
}

std::string AppPath()
{
    if (g_hooks.appPath)
        return g_hooks.appPath();
    return body::appPath();
}

const char *AppTitle() { return "Kestrin"; }

float Rnd()
{
    // 24 random bits scaled by 2^-24: every value is exact in a float and below 1.
    return static_cast<float>(nextRandom() >> 40) * (1.0f / 16777216.0f);
}

void Randomize()
{
    const std::uint64_t clock = GetTickCount();
    const auto fine = static_cast<std::uint64_t>(
        g_hooks.tickCount ? 0 : std::chrono::steady_clock::now().time_since_epoch().count());
    g_randomState = mix64(g_randomState ^ mix64(clock + 0x632BE59BD9B4E019ULL) ^ fine) + clock;
}

void SeedRandom(std::uint64_t seed) { g_randomState = seed; }

} // namespace forms
