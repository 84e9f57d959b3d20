// The Win32 body's message loop, one-shot timers, clocks, the executable's folder and the
// primary screen.

#include "forms/Form.h"
#include "forms/win32/Native.h"

#include <shellscalingapi.h>
#include <timeapi.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace forms::win32 {

namespace {

constexpr wchar_t kAppClass[] = L"KestrinApp";

HINSTANCE g_instance = nullptr;
ATOM g_windowClass = 0;
::HWND g_appWindow = nullptr;
std::function<void()> g_screensChanged;
double g_scale = 0; // the primary monitor's, asked for once per change of the screens
std::map<UINT_PTR, std::function<void()>> g_timers;
UINT_PTR g_nextTimer = 1;

// Logging off or shutting down ends the game at once, as Exit does: nothing is saved.
[[noreturn]] void endProcess(UINT status)
{
    std::fflush(nullptr);
    ExitProcess(status);
}

LRESULT CALLBACK appProcedure(::HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER: timerFired(wParam); return 0;
    case WM_INITMENUPOPUP: menuOpening(reinterpret_cast<HMENU>(wParam)); return 0;
    case WM_DISPLAYCHANGE:
    case WM_DPICHANGED: screensChanged(); return 0;
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETWORKAREA)
            screensChanged();
        return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            endProcess(0);
        return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

bool registerClasses()
{
    WNDCLASSEXW app{};
    app.cbSize = sizeof app;
    app.lpfnWndProc = appProcedure;
    app.hInstance = g_instance;
    app.lpszClassName = kAppClass;
    WNDCLASSEXW window{};
    window.cbSize = sizeof window;
    // Double clicks arrive as plain presses: every press is a press.
    window.style = 0;
    window.lpfnWndProc = NativeWindow::procedure;
    // Room for the window's NativeWindow, read without asking the system's server.
    window.cbWndExtra = sizeof(NativeWindow *);
    window.hInstance = g_instance;
    window.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window.lpszClassName = L"KestrinWindow";
    g_windowClass = RegisterClassExW(&window);
    return RegisterClassExW(&app) && g_windowClass;
}

// Every message of the queue goes through here, so that Enter and Esc reach dialogs.
void dispatch(const MSG &msg)
{
    if (msg.message == WM_QUIT)
        endProcess(static_cast<UINT>(msg.wParam));
    if (NativeWindow::dialogKey(msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

} // namespace

std::wstring widen(const std::string &utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    return text;
}

std::string narrow(const std::wstring &utf16)
{
    if (utf16.empty())
        return {};
    const int size = static_cast<int>(utf16.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, text.data(), n, nullptr, nullptr);
    return text;
}

bool start()
{
    if (g_appWindow)
        return true;
    g_instance = GetModuleHandleW(nullptr);
    // The program's manifest asks for this; test programs have none.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    scaleChanged(); // a scale asked for before was the one an unaware program sees
    // Waits are in milliseconds: Windows' default timer tick of 15.6 ms would stretch every
    // 40 ms frame of a burst to 46.8.
    timeBeginPeriod(1);
    if (!registerClasses())
        return false;
    // Not a message-only window: those hear no broadcasts (display, work area, session end).
    g_appWindow = CreateWindowExW(WS_EX_TOOLWINDOW, kAppClass, L"Kestrin", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  g_instance, nullptr);
    return g_appWindow != nullptr;
}

HINSTANCE instance() { return g_instance; }

ATOM windowClass() { return g_windowClass; }

::HWND appWindow()
{
    if (!start()) {
        std::fputs("kestrin: Windows cannot make a window here\n", stderr);
        endProcess(1);
    }
    return g_appWindow;
}

double scale()
{
    if (g_scale)
        return g_scale;
    const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    UINT dpiX = USER_DEFAULT_SCREEN_DPI, dpiY = USER_DEFAULT_SCREEN_DPI;
    g_scale = GetDpiForMonitor(primary, MDT_EFFECTIVE_DPI, &dpiX, &dpiY) == S_OK
                ? static_cast<double>(dpiX) / USER_DEFAULT_SCREEN_DPI
                : 1.0;
    return g_scale;
}

void scaleChanged() { g_scale = 0; }

int toDevice(int logical) { return static_cast<int>(std::lround(logical * scale())); }
int toLogical(int device) { return static_cast<int>(std::lround(device / scale())); }

RECT toDevice(const PixelRect &r)
{
    return RECT{toDevice(r.left), toDevice(r.top), toDevice(r.right()), toDevice(r.bottom())};
}

PixelRect toLogical(const RECT &r)
{
    const int left = toLogical(r.left), top = toLogical(r.top);
    return PixelRect{left, top, toLogical(r.right) - left, toLogical(r.bottom) - top};
}

COLORREF colorRef(Color color)
{
    if (color & static_cast<Color>(0x80000000))
        return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color & 0xFFFFFF);
}

void screensChanged()
{
    scaleChanged();
    if (g_screensChanged)
        g_screensChanged();
}

void timerFired(UINT_PTR id)
{
    KillTimer(g_appWindow, id);
    const auto found = g_timers.find(id);
    if (found == g_timers.end())
        return;
    const std::function<void()> action = std::move(found->second);
    g_timers.erase(found);
    action();
}

} // namespace forms::win32

namespace forms::body {

using namespace win32;

void pumpEvents()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        dispatch(msg);
}

void runModalLoop(const std::function<bool()> &finished)
{
    MSG msg;
    while (!finished() && GetMessageW(&msg, nullptr, 0, 0) > 0)
        dispatch(msg);
}

void singleShot(std::uint32_t ms, std::function<void()> action)
{
    const UINT_PTR id = g_nextTimer++;
    g_timers.emplace(id, std::move(action));
    SetTimer(appWindow(), id, ms, nullptr);
}

DateTime now()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return DateTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

std::string appPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    path.resize(path.find_last_of(L"\\/"));
    // A root keeps its separator: "C:\", not "C:".
    if (path.size() == 2 && path[1] == L':')
        path += L'\\';
    return narrow(path);
}

ScreenView primaryScreen()
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    return ScreenView{toLogical(info.rcMonitor), toLogical(info.rcWork)};
}

void watchScreens(std::function<void()> changed)
{
    appWindow();
    g_screensChanged = std::move(changed);
}

int run(int, char **, const std::function<void()> &begin)
{
    if (!start()) {
        std::fputs("kestrin: Windows cannot make a window here\n", stderr);
        return 1;
    }
    begin();
    // A start that showed no window leaves nothing to run, and nothing the user could end.
    MSG msg{};
    if (!NativeWindow::topLevelWindows().empty()) {
        for (;;) {
            // Idle, with the strip painted: one window left for later is made, then the
            // queue is looked at again, so a press waits for one window at most.
            if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && makeWaitingWindow())
                continue;
            if (GetMessageW(&msg, nullptr, 0, 0) <= 0)
                break;
            if (!NativeWindow::dialogKey(msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    DestroyDefaultInstances();
    return static_cast<int>(msg.wParam);
}

} // namespace forms::body
