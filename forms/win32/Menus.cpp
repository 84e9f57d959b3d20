// The Win32 body's popup menus and message boxes.

#include "forms/win32/Native.h"

#include <utility>

#include "forms/Menu.h"

namespace forms::win32 {

namespace {

// The menu being shown: each native (sub)menu with the menu it shows, each command
// identifier with its item.
struct Popup {
    std::map<HMENU, Menu *> menus;
    std::map<UINT, Menu *> commands;
    UINT nextCommand = 1;
};
Popup *g_popup = nullptr;

// Captions are shown as written: an ampersand is not a mnemonic.
std::wstring shownCaption(const std::string &caption)
{
    std::wstring shown;
    for (wchar_t c : widen(caption)) {
        if (c == L'&')
            shown += L'&';
        shown += c;
    }
    return shown;
}

HMENU build(Menu &menu);

// Writes the menu's items into its native menu, afresh: its Click may have changed them.
void fill(HMENU native, Menu &menu)
{
    while (GetMenuItemCount(native) > 0)
        RemoveMenu(native, 0, MF_BYPOSITION);
    for (Menu *item : menu.items()) {
        if (item->isSeparator()) {
            AppendMenuW(native, MF_SEPARATOR, 0, nullptr);
        } else if (!item->items().empty()) {
            HMENU sub = nullptr;
            for (const auto &[handle, shown] : g_popup->menus)
                sub = shown == item ? handle : sub;
            AppendMenuW(native, MF_POPUP, reinterpret_cast<UINT_PTR>(sub ? sub : build(*item)),
                        shownCaption(item->Caption()).c_str());
        } else {
            const UINT command = g_popup->nextCommand++;
            g_popup->commands[command] = item;
            AppendMenuW(native, MF_STRING, command, shownCaption(item->Caption()).c_str());
        }
    }
}

HMENU build(Menu &menu)
{
    const HMENU native = CreatePopupMenu();
    g_popup->menus[native] = &menu;
    fill(native, menu);
    return native;
}

POINT pressOrMouse()
{
    if (const auto press = lastPress())
        return press->at;
    POINT mouse{};
    GetCursorPos(&mouse);
    return mouse;
}

// In the lower half of its monitor's work area (where the strip lies) a menu opens upwards,
// its corner at the press, as Windows itself flips a menu that has no room below; Wine
// would slide it up over the press instead.
UINT verticalAlignment(POINT at)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &monitor);
    return at.y > (monitor.rcWork.top + monitor.rcWork.bottom) / 2 ? TPM_BOTTOMALIGN : TPM_TOPALIGN;
}

} // namespace

void menuOpening(HMENU native)
{
    if (!g_popup)
        return;
    const auto found = g_popup->menus.find(native);
    if (found == g_popup->menus.end())
        return;
    Menu &menu = *found->second;
    if (menu.Click)
        menu.Click();
    fill(native, menu);
}

} // namespace forms::win32

namespace forms::body {

using namespace win32;

void popupMenu(Menu &menu)
{
    Popup popup;
    Popup *const outer = std::exchange(g_popup, &popup);
    const HMENU native = build(menu);
    const auto press = lastPress();
    const ::HWND owner = press && IsWindow(press->window) ? press->window : appWindow();
    const POINT at = pressOrMouse();
    // The owner must be in the foreground, or a click elsewhere would not close the menu.
    SetForegroundWindow(owner);
    const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
        native, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | verticalAlignment(at), at.x, at.y, owner, nullptr));
    PostMessageW(owner, WM_NULL, 0, 0);
    DestroyMenu(native);
    g_popup = outer;
    if (const auto item = popup.commands.find(chosen); item != popup.commands.end() && item->second->Click)
        item->second->Click();
}

void messageBox(const std::string &title, const std::string &text)
{
    MessageBoxW(nullptr, widen(text).c_str(), widen(title).c_str(), MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

} // namespace forms::body
