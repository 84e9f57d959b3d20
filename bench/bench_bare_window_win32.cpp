// The floor for the Windows figures. Without arguments: the least a Win32 program does to
// show a borderless pop-up of the strip's size at the strip's place, and then sit idle.
// With --burst: the least a burst costs, 19 bare 2x2 top-most pop-ups moved and recoloured
// every 40 ms on the same beat as the game's, 64 frames three times; it prints the frame
// period as bench_game measures it (pump end to pump end) and the work of a frame.

#include <windows.h>

#include <timeapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kParticles = 19;
constexpr int kFrames = 64;
constexpr int kBursts = 3;
constexpr DWORD kFrameMs = 40;

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void printRow(const char *what, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    std::printf("%-38s %9.3f %9.3f %9.3f %9.3f\n", what, v[v.size() / 2], v[v.size() * 95 / 100], v.front(),
                v.back());
}

void pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

int burst(HINSTANCE instance, const RECT &area)
{
    timeBeginPeriod(1);
    WNDCLASSEXW particleClass{};
    particleClass.cbSize = sizeof particleClass;
    particleClass.lpfnWndProc = DefWindowProcW;
    particleClass.hInstance = instance;
    particleClass.lpszClassName = L"BareParticle";
    RegisterClassExW(&particleClass);
    std::vector<HWND> particles;
    for (int i = 0; i < kParticles; ++i)
        particles.push_back(CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE,
                                            particleClass.lpszClassName, L"", WS_POPUP, 0, 0, 2, 2, nullptr, nullptr,
                                            instance, nullptr));
    std::vector<double> periods, work;
    const int cx = (area.left + area.right) / 2, cy = (area.top + area.bottom) / 2;
    for (int b = 0; b < kBursts; ++b) {
        Clock::time_point due = Clock::now(), lastPump{};
        for (int f = 0; f < kFrames; ++f) {
            const Clock::time_point start = Clock::now();
            for (int i = 0; i < kParticles; ++i) {
                const int grey = 255 - 4 * f;
                SetWindowPos(particles[i], nullptr, cx + (i - 9) * f * 2, cy + (i % 5 - 2) * f * 2 + f * f / 8, 2, 2,
                             SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
                const HDC dc = GetDC(particles[i]);
                SetDCBrushColor(dc, RGB(grey, grey, grey));
                const RECT dot{0, 0, 2, 2};
                FillRect(dc, &dot, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
                ReleaseDC(particles[i], dc);
            }
            const Clock::time_point done = Clock::now();
            work.push_back(msBetween(start, done));
            due = std::max(due + std::chrono::milliseconds(kFrameMs), done);
            const double rest = msBetween(done, due);
            if (rest >= 1)
                Sleep(static_cast<DWORD>(rest));
            pump();
            const Clock::time_point pumped = Clock::now();
            if (lastPump != Clock::time_point{})
                periods.push_back(msBetween(lastPump, pumped));
            lastPump = pumped;
        }
        for (HWND particle : particles)
            ShowWindow(particle, SW_HIDE);
        pump();
    }
    std::printf("Bare Win32 burst, %d pop-ups moved and recoloured every %lu ms (the floor)\n", kParticles,
                static_cast<unsigned long>(kFrameMs));
    std::printf("%-38s %9s %9s %9s %9s\n", "figure (ms)", "median", "p95", "min", "max");
    printRow("bare burst frame, work without the wait", work);
    printRow("bare burst frame period, real waits", periods);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    if (argc > 1 && std::strcmp(argv[1], "--burst") == 0)
        return burst(instance, area);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = L"BareWindow";
    RegisterClassExW(&windowClass);

    const int height = 64;
    const HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"bare", WS_POPUP, area.left,
                                        area.bottom - height, area.right - area.left, height, nullptr, nullptr,
                                        instance, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}
