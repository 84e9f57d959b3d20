// Start-up benchmark: how long kestrin takes from process start until its strip is mapped
// on an X server, next to a bare Qt frameless window measured the same way (the floor any
// Qt Widgets program pays), and how much CPU kestrin uses while it sits idle.
//
// Usage: bench_startup [--runs N] [--idle SECONDS] [--here] [--wine PREFIX] [KESTRIN [BARE_WINDOW]]
//   `make bench` runs it with the defaults, and once more with --wine for the Windows build:
//   then KESTRIN and BARE_WINDOW are Windows programs (kestrin.exe and a bare Win32 pop-up
//   window), run under Wine in PREFIX (made on first use), whose server runs throughout. It re-runs itself under `xvfb-run -a` on a
//   1280x720 screen of its own, without a window manager, so the figures do not depend on
//   the desktop it is started from; --here measures on the current DISPLAY instead.
//   The program paths default to the ones from this build.
//
// How: the benchmark selects SubstructureNotify on the root window, takes the time, spawns
// the program and waits for the MapNotify of a window whose _NET_WM_PID is that process;
// then it ends the process. One unmeasured warm-up run of each program comes first, and the
// two programs take turns. Both programs run with KESTRIN_STARTUP_TIMES set, so they write
// the monotonic time at the end of each start-up phase to stderr; with the spawn time and
// the map time of the same clock that gives the breakdown of where start-up goes. Idle CPU
// is utime+stime from /proc/PID/stat over the idle interval, after the strip has been up
// for a second (under Wine, the program's own process; the Wine server's share is not in
// it). Windows programs keep a clock of their own, so their phases are not broken down.
// It prints figures and asserts nothing.

#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char *kUnderXvfb = "KESTRIN_BENCH_UNDER_XVFB";
constexpr auto kMapTimeout = std::chrono::seconds(15);
// The 64-bit loader itself: the `wine` wrapper looks for a 32-bit one.
constexpr const char *kWine = "/usr/lib/wine/wine64";
constexpr const char *kWineServer = "/usr/lib/wine/wineserver";

struct Options {
    int runs = 10;
    int idleSeconds = 5;
    bool here = false;
    std::string winePrefix; // set: the programs are Windows programs, run under Wine
    std::string kestrin = KESTRIN_PATH;
    std::string bare = BARE_WINDOW_PATH;
};

class X {
public:
    X()
    {
        int screenNo = 0;
        conn = xcb_connect(nullptr, &screenNo);
        if (xcb_connection_has_error(conn))
            return;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn));
        for (int i = 0; i < screenNo; ++i)
            xcb_screen_next(&it);
        screen = it.data;
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn, screen->root, XCB_CW_EVENT_MASK, &mask);
        pidAtom = atom("_NET_WM_PID");
        xcb_flush(conn);
    }
    ~X() { xcb_disconnect(conn); }
    bool ok() const { return screen && !xcb_connection_has_error(conn); }

    // Drops events that are already queued (windows of the previous run going away).
    void drain()
    {
        sync();
        while (xcb_generic_event_t *e = xcb_poll_for_event(conn))
            std::free(e);
    }

    // Waits for a window of process `pid` to be mapped; false on timeout or if it exits.
    bool waitForMap(pid_t pid, Clock::time_point deadline)
    {
        for (;;) {
            while (xcb_generic_event_t *e = xcb_poll_for_event(conn)) {
                const bool mapped = (e->response_type & 0x7f) == XCB_MAP_NOTIFY;
                const xcb_window_t w = mapped ? reinterpret_cast<xcb_map_notify_event_t *>(e)->window : 0;
                std::free(e);
                if (mapped && windowPid(w) == pid)
                    return true;
            }
            if (xcb_connection_has_error(conn) || Clock::now() >= deadline)
                return false;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exited = true;
                return false;
            }
            pollfd p{xcb_get_file_descriptor(conn), POLLIN, 0};
            poll(&p, 1, 20);
        }
    }

    xcb_connection_t *conn = nullptr;
    xcb_screen_t *screen = nullptr;
    bool exited = false; // set when waitForMap reaped the process

private:
    xcb_atom_t atom(const char *name)
    {
        xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(
            conn, xcb_intern_atom(conn, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(r);
        return a;
    }
    void sync() { std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr)); }
    long windowPid(xcb_window_t w)
    {
        xcb_get_property_reply_t *r = xcb_get_property_reply(
            conn, xcb_get_property(conn, 0, w, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        long pid = -1;
        if (r && r->format == 32 && xcb_get_property_value_length(r) == 4)
            pid = *static_cast<std::uint32_t *>(xcb_get_property_value(r));
        std::free(r);
        return pid;
    }
    xcb_atom_t pidAtom = XCB_ATOM_NONE;
};

// Starts `path` (under Wine when `wine`) with Qt on xcb and its phase timings on; its
// stderr goes to `tracePath`, its stdout is discarded.
pid_t spawn(const std::string &path, const std::string &tracePath, bool wine)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) && std::strncmp(*e, "WAYLAND_DISPLAY=", 16))
            env.emplace_back(*e);
    }
    env.emplace_back("QT_QPA_PLATFORM=xcb");
    env.emplace_back("KESTRIN_STARTUP_TIMES=1");
    std::vector<char *> envp;
    for (auto &s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {path};
    if (wine)
        args.insert(args.begin(), kWine);
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, tracePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

// One start: milliseconds from spawn to the phase marks the program wrote (in its order)
// and to its window being mapped.
struct Start {
    Clock::time_point spawned;
    std::vector<std::pair<std::string, double>> marks;
    double mappedMs = 0;
};

double msSince(Clock::time_point start, long long steadyNs)
{
    const auto at = Clock::time_point(std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(steadyNs)));
    return std::chrono::duration<double, std::milli>(at - start).count();
}

// The "kestrin-startup PHASE NS" lines of a trace file, as milliseconds since `start`.
std::vector<std::pair<std::string, double>> readMarks(const std::string &tracePath, Clock::time_point start)
{
    std::vector<std::pair<std::string, double>> marks;
    std::ifstream in(tracePath);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string tag, phase;
        long long ns = 0;
        if (fields >> tag >> phase >> ns && tag == "kestrin-startup")
            marks.emplace_back(phase, msSince(start, ns));
    }
    return marks;
}

// Starts the program and measures until its window is mapped. The process is left running
// in `pid` (-1 once it has exited) for the caller to stop; read the marks after stopping it.
std::optional<Start> timeStart(X &x, const Options &o, const std::string &path, const std::string &tracePath,
                               pid_t &pid)
{
    x.drain();
    const Clock::time_point start = Clock::now();
    pid = spawn(path, tracePath, !o.winePrefix.empty());
    if (pid < 0)
        return std::nullopt;
    x.exited = false;
    if (!x.waitForMap(pid, start + kMapTimeout)) {
        if (x.exited)
            pid = -1;
        return std::nullopt;
    }
    Start s;
    s.spawned = start;
    s.mappedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return s;
}

// utime + stime of a process in clock ticks, from /proc/PID/stat.
std::optional<long long> cpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    // The command name may hold spaces; the fields after its closing parenthesis do not.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoll(field);
        if (i == 15)
            stime = std::stoll(field);
    }
    return utime + stime;
}

long residentKiB(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    long value = -1;
    while (in >> key) {
        if (key == "VmRSS:") {
            in >> value;
            return value;
        }
        in.ignore(1 << 12, '\n');
    }
    return value;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Series {
    std::vector<double> ms;
    int failed = 0;
    // Per phase, its length in each run in which it ended before the window was mapped:
    // from the previous mark (or the spawn) to its own; "mapped" runs from the last of
    // those marks to the map. Work the program does after its window is mapped is not
    // start-up, and it may be stopped before it writes those marks.
    std::map<std::string, std::vector<double>> phaseMs;

    void add(const Start &start)
    {
        ms.push_back(start.mappedMs);
        double previous = 0;
        for (const auto &[name, at] : start.marks) {
            if (at > start.mappedMs)
                break;
            phaseMs[name].push_back(at - previous);
            previous = at;
        }
        phaseMs["mapped"].push_back(start.mappedMs - previous);
    }
};

void printRow(const char *name, const Series &s)
{
    if (s.ms.empty()) {
        std::printf("%-20s %6s %9s %9s %9s   (%d run(s) never showed a window)\n", name, "0", "-", "-", "-", s.failed);
        return;
    }
    const auto [lo, hi] = std::minmax_element(s.ms.begin(), s.ms.end());
    std::printf("%-20s %6zu %9.1f %9.1f %9.1f", name, s.ms.size(), median(s.ms), *lo, *hi);
    if (s.failed)
        std::printf("   (%d run(s) never showed a window)", s.failed);
    std::printf("\n");
}

// The phase marks of the two programs in the order they write them, and what each covers.
const std::pair<const char *, const char *> kPhases[] = {
    {"main", "process start to main(): exec, libraries"},
    {"application", "QApplication: platform plugin, X connection"},
    {"strip-controls", "strip's controls, background and title pictures"},
    {"sprites", "sprite pictures and the plate's region"},
    {"strip-painted", "strip sized and placed, background painted"},
    {"particles", "particle pool (native windows come after the map)"},
    {"idle-layout", "idle layout: shell icons and their regions"},
    {"window", "bare window: widget made and placed"},
    {"shown", "window created and shown (cursors, hints, accessibility)"},
    {"mapped", "to the window mapped"},
};

void printBreakdown(const Series &kestrin, const Series &bare)
{
    std::printf("\nWhere start-up goes: median ms per phase, each ending at the program's own mark;\n"
                "(n/N) when the mark came after the window was mapped in the other runs\n");
    std::printf("%-50s %13s %13s\n", "phase", "kestrin", "bare");
    auto cell = [](const Series &s, const char *name) {
        const auto it = s.phaseMs.find(name);
        if (it == s.phaseMs.end())
            return std::string("-");
        char text[32];
        if (it->second.size() == s.ms.size())
            std::snprintf(text, sizeof text, "%.1f", median(it->second));
        else
            std::snprintf(text, sizeof text, "%.1f (%zu/%zu)", median(it->second), it->second.size(), s.ms.size());
        return std::string(text);
    };
    for (const auto &[name, text] : kPhases)
        std::printf("%-50s %13s %13s\n", text, cell(kestrin, name).c_str(), cell(bare, name).c_str());
    std::printf("Fonts are in no phase: neither program lays out text before its window is mapped\n"
                "(the strip's labels are blank until a game starts). Both programs start Qt's\n"
                "accessibility bridge (a word with the session bus) only after mapping their window.\n");
}

int measure(const Options &o)
{
    X x;
    if (!x.ok()) {
        std::fprintf(stderr, "bench_startup: cannot connect to the X server on DISPLAY=%s\n",
                     std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
        return 1;
    }
    for (const std::string *p : {&o.kestrin, &o.bare}) {
        if (access(p->c_str(), X_OK) != 0) {
            std::fprintf(stderr, "bench_startup: %s is not an executable\n", p->c_str());
            return 1;
        }
    }

    char traceDir[] = "/tmp/bench_startup.XXXXXX";
    if (!mkdtemp(traceDir)) {
        std::fprintf(stderr, "bench_startup: cannot make a temporary folder: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string tracePath = std::string(traceDir) + "/stderr.txt";

    Series kestrin, bare;
    for (int run = -1; run < o.runs; ++run) { // run -1 warms the caches and is not counted
        for (auto [path, series] : {std::pair{&o.kestrin, &kestrin}, std::pair{&o.bare, &bare}}) {
            pid_t pid = -1;
            std::optional<Start> start = timeStart(x, o, *path, tracePath, pid);
            if (pid > 0)
                stop(pid);
            if (run < 0)
                continue;
            if (start) {
                if (o.winePrefix.empty())
                    start->marks = readMarks(tracePath, start->spawned);
                series->add(*start);
            } else {
                ++series->failed;
            }
        }
    }
    std::remove(tracePath.c_str());
    rmdir(traceDir);

    const bool wine = !o.winePrefix.empty();
    const char *bareName = wine ? "bare Win32 window" : "bare Qt window";
    std::printf("%sStart-up to window mapped, X server %s, screen %ux%u, no window manager\n",
                wine ? "Windows build under Wine: " : "", std::getenv("DISPLAY"), x.screen->width_in_pixels,
                x.screen->height_in_pixels);
    std::printf("%-20s %6s %9s %9s %9s\n", "program", "runs", "median ms", "min ms", "max ms");
    printRow("kestrin", kestrin);
    printRow(bareName, bare);
    if (!kestrin.ms.empty() && !bare.ms.empty()) {
        const double k = median(kestrin.ms), b = median(bare.ms);
        std::printf("kestrin over the floor (medians): %+.1f ms, %.2fx the bare window\n", k - b, k / b);
    }
    if (!wine)
        printBreakdown(kestrin, bare);

    // Idle CPU and memory, both programs, one at a time.
    const long tick = sysconf(_SC_CLK_TCK);
    std::printf("\nIdle after start-up, %d s each (CPU clock tick %.0f ms)\n", o.idleSeconds, 1000.0 / tick);
    std::printf("%-20s %12s %10s %10s\n", "program", "CPU ms", "CPU %", "RSS KiB");
    for (auto [name, path] : {std::pair{"kestrin", &o.kestrin}, std::pair{bareName, &o.bare}}) {
        pid_t pid = -1;
        if (!timeStart(x, o, *path, "/dev/null", pid)) {
            std::printf("%-20s   did not show a window\n", name);
            if (pid > 0)
                stop(pid);
            continue;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const auto before = cpuTicks(pid);
        const Clock::time_point t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(o.idleSeconds));
        const auto after = cpuTicks(pid);
        const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        const long rss = residentKiB(pid);
        stop(pid);
        if (!before || !after) {
            std::printf("%-20s   exited while idle\n", name);
            continue;
        }
        const double cpuMs = static_cast<double>(*after - *before) * 1000.0 / tick;
        std::printf("%-20s %12.0f %10.2f %10ld\n", name, cpuMs, 100.0 * cpuMs / wallMs, rss);
    }
    return 0;
}

// Wine's desktop process belongs to the X server it was started on: the prefix's server
// starts here, on the benchmark's own screen, and stays for every run (a Wine program then
// starts in a fifth of a second, not three); it is ended after the last.
int measureUnderWine(const Options &o)
{
    setenv("WINEPREFIX", o.winePrefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1); // nothing offers to install them
    const std::string wine = std::string(kWine) + " ", server = kWineServer;
    const bool made = access(o.winePrefix.c_str(), F_OK) == 0 ||
                      std::system((wine + "wineboot -i >/dev/null 2>&1").c_str()) == 0;
    if (!made ||
        std::system((server + " -p60 >/dev/null 2>&1; " + wine + "cmd /c exit 0 >/dev/null 2>&1").c_str()) != 0) {
        std::fprintf(stderr, "bench_startup: Wine cannot run programs in %s\n", o.winePrefix.c_str());
        return 1;
    }
    const int status = measure(o);
    return std::system((server + " -k").c_str()) == 0 ? status : 1;
}

std::string selfPath(const char *argv0)
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string(argv0);
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            o.runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--idle" && i + 1 < argc) {
            o.idleSeconds = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--here") {
            o.here = true;
        } else if (a == "--wine" && i + 1 < argc) {
            o.winePrefix = argv[++i];
        } else if (a == "--help" || a == "-h" || (!a.empty() && a[0] == '-')) {
            std::printf("Usage: %s [--runs N] [--idle SECONDS] [--here] [--wine PREFIX] [KESTRIN [BARE_WINDOW]]\n",
                        argv[0]);
            return a == "--help" || a == "-h" ? 0 : 2;
        } else {
            paths.push_back(a);
        }
    }
    if (paths.size() > 0)
        o.kestrin = paths[0];
    if (paths.size() > 1)
        o.bare = paths[1];

    if (o.here || std::getenv(kUnderXvfb))
        return o.winePrefix.empty() ? measure(o) : measureUnderWine(o);

    // Re-run under a private Xvfb; the arguments go along unchanged.
    setenv(kUnderXvfb, "1", 1);
    std::string self = selfPath(argv[0]);
    std::vector<std::string> args = {"xvfb-run", "-a", "-s", "-screen 0 1280x720x24", self};
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    std::vector<char *> cargs;
    for (auto &s : args)
        cargs.push_back(s.data());
    cargs.push_back(nullptr);
    execvp("xvfb-run", cargs.data());
    std::fprintf(stderr, "bench_startup: cannot run xvfb-run (%s); install xvfb, or use --here on a display\n",
                 std::strerror(errno));
    return 1;
}
