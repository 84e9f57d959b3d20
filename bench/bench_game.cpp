// Game benchmark: the work of one flight frame and of one burst frame without their
// waits, a whole 25-plate game in virtual time, and the real frame period of a burst
// with its waits. Prints figures; asserts nothing.
//
// Run it on the platform to measure: `xvfb-run -a build/bench/bench_game` for X11, or
// QT_QPA_PLATFORM=offscreen; the Windows build's bench_game.exe under Wine on an X server.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/frmBG.h"
#include "burst/modBarn.h"
#include "forms/Body.h"
#include "forms/Form.h"
#include "forms/Runtime.h"
#include "forms/Screen.h"
#include "game/Game.h"
#include "game/GameState.h"
#include "game/modMove.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Stats {
    double median, p95, low, high;
};

Stats stats(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[v.size() * 95 / 100], v.front(), v.back()};
}

void row(const char *what, const Stats &s, const char *target)
{
    std::printf("%-38s %9.3f %9.3f %9.3f %9.3f   %s\n", what, s.median, s.p95, s.low, s.high, target);
}

// Virtual time: waits return at once and the tick counter follows them.
std::uint64_t g_virtualMs = 0;
void useVirtualTime()
{
    g_virtualMs = 0;
    forms::hooks().sleep = [](std::uint32_t ms) { g_virtualMs += ms; };
    forms::hooks().tickCount = [] { return static_cast<std::uint32_t>(g_virtualMs); };
    forms::hooks().msgBox = [](const std::string &) {};
}

// Per-frame work of a flight: one step and two pumps, timed between the waits.
Stats flightFrameWork(frmBG &bg)
{
    std::vector<double> frames;
    Clock::time_point frameStart = Clock::now();
    forms::hooks().sleep = [&](std::uint32_t ms) {
        if (ms == 60)
            frames.push_back(msSince(frameStart));
        frameStart = Clock::now();
    };
    for (int plate = 0; plate < 5; ++plate) {
        Game = GameState{};
        Game.Playing = Game.PlateFlying = Game.ShotOpen = true;
        Game.PlateNo = 1;
        Game.PlateY = static_cast<std::int32_t>(bg.Height() - bg.SARA.Height());
        Game.PlateX = 4000;
        frameStart = Clock::now();
        modMove::MovePlate(bg, 100, -40);
    }
    return stats(frames);
}

// Per-frame work of a burst: the motion step and moving and recolouring the windows.
Stats burstFrameWork()
{
    std::vector<double> frames;
    Clock::time_point frameStart = Clock::now();
    forms::hooks().sleep = [&](std::uint32_t) { frames.push_back(msSince(frameStart)); };
    forms::hooks().doEvents = [&] {
        forms::body::pumpEvents();
        frameStart = Clock::now();
    };
    for (int i = 0; i < 5; ++i)
        modBarn::Burst(forms::Screen::Width() / 2, forms::Screen::Height() / 2);
    forms::hooks().doEvents = nullptr;
    return stats(frames);
}

// The real period of burst frames, waits and painting included.
Stats burstFramePeriod()
{
    forms::resetHooks();
    std::vector<double> periods, pumps;
    Clock::time_point last{};
    forms::hooks().doEvents = [&] {
        const auto before = Clock::now();
        forms::body::pumpEvents();
        pumps.push_back(msSince(before));
        const auto now = Clock::now();
        if (last != Clock::time_point{})
            periods.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    };
    for (int i = 0; i < 3; ++i) {
        last = {};
        modBarn::Burst(forms::Screen::Width() / 2, forms::Screen::Height() / 2);
    }
    forms::resetHooks();
    row("  of which the pump after the wait", stats(pumps), "");
    return stats(periods);
}

// A whole game in virtual time: every plate thrown, every third one hit. Five games, or
// as many as fit in half a minute (where moving a window is slow, as under Wine).
Stats wholeGame(frmBG &bg)
{
    constexpr double kBudgetMs = 30000;
    std::vector<double> games;
    double spentMs = 0;
    for (int g = 0; g < 5 && spentMs < kBudgetMs; ++g) {
        useVirtualTime();
        int frame = 0;
        forms::hooks().sleep = [&](std::uint32_t ms) {
            g_virtualMs += ms;
            if (ms == 60 && ++frame == 5 && Game.PlateNo % 3 == 0)
                game::PlatePressed(bg);
        };
        const auto start = Clock::now();
        game::NewGame(bg);
        for (int n = 1; n <= 25; ++n) {
            frame = 0;
            game::StartThrow(bg);
        }
        games.push_back(msSince(start));
        spentMs += games.back();
    }
    return stats(games);
}

// Runs the figures on the strip, shown as the program shows it.
void measure(const std::string &scores)
{
    forms::hooks().appPath = [&] { return scores; };
    frmBG &bg = forms::Default<frmBG>();
    bg.Load();
    bg.Show();
    forms::body::pumpEvents();

    const char *platform = std::getenv("QT_QPA_PLATFORM");
    std::printf("platform: %s\n\n", platform ? platform : "(the default)");
    std::printf("%-38s %9s %9s %9s %9s   %s\n", "figure (ms)", "median", "p95", "min", "max", "target");
    useVirtualTime();
    row("flight frame, work without the wait", flightFrameWork(bg), "well under 1");
    useVirtualTime();
    row("burst frame, work without the wait", burstFrameWork(), "well under 2");
    row("whole 25-plate game, virtual time", wholeGame(bg), "under 100");
    row("burst frame period, real waits", burstFramePeriod(), "within 1 of 40, p95 at most 42");
    forms::hooks().appPath = nullptr;
    forms::DestroyDefaultInstances();
}

} // namespace

int main(int argc, char **argv)
{
    namespace fs = std::filesystem;
    const auto unique = std::chrono::system_clock::now().time_since_epoch().count();
    const fs::path scores = fs::temp_directory_path() / ("kestrin-bench-" + std::to_string(unique));
    fs::create_directories(scores);
    const int status = forms::Run(argc, argv, [&] { measure(scores.string()); });
    fs::remove_all(scores);
    return status;
}
