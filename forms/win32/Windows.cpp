// The Win32 body's windows: the strip, particles and dialogs as top-level windows, controls
// as child windows or painted by their container, presses, cursors and painting.

#include "forms/win32/Native.h"

#include <algorithm>
#include <utility>

namespace {
// Win32's stacking places, spelt out here: inside namespace forms, their macros' HWND would
// name the runtime's own window handle.
const HWND kTop = HWND_TOP;
const HWND kTopmost = HWND_TOPMOST;
} // namespace

namespace forms::win32 {

namespace {

NativeWindow *g_armed = nullptr; // the control a left press went to, until its release
std::optional<Press> g_lastPress;
// Particles whose native windows are still to be made, oldest first.
std::vector<NativeWindow *> g_unmade;

bool contains(const PixelRect &r, PixelPoint p)
{
    return p.x >= r.left && p.y >= r.top && p.x < r.right() && p.y < r.bottom();
}

bool inShape(const std::vector<PixelRect> &shape, PixelPoint p)
{
    return shape.empty() || std::any_of(shape.begin(), shape.end(), [p](const PixelRect &r) { return contains(r, p); });
}

std::int16_t shiftState(WPARAM keys)
{
    return static_cast<std::int16_t>((keys & MK_SHIFT ? 1 : 0) | (keys & MK_CONTROL ? 2 : 0)
                                     | (GetKeyState(VK_MENU) < 0 ? 4 : 0));
}

std::int16_t buttonNumber(UINT message)
{
    switch (message) {
    case WM_LBUTTONDOWN: return vbLeftButton;
    case WM_RBUTTONDOWN: return vbRightButton;
    default: return vbMiddleButton;
    }
}

PixelPoint logicalPoint(LPARAM lParam)
{
    return {toLogical(static_cast<short>(LOWORD(lParam))), toLogical(static_cast<short>(HIWORD(lParam)))};
}

// The face of push buttons: the system's message font at the device scale.
HFONT buttonFont()
{
    static const HFONT font = [] {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                   static_cast<UINT>(USER_DEFAULT_SCREEN_DPI * scale()));
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }();
    return font;
}

} // namespace

std::optional<Press> lastPress() { return g_lastPress; }

NativeWindow::NativeWindow(body::WindowEvents &events, FormStyle style)
    : events_(&events), topLevel_(true), style_(style)
{
}

NativeWindow::NativeWindow(body::WindowEvents *events, NativeWindow &container, body::ChildKind kind)
    : events_(events), container_(&container), kind_(kind)
{
    container.children_.push_back(this);
    visible_ = true;
}

NativeWindow::~NativeWindow()
{
    if (g_armed == this)
        g_armed = nullptr;
    g_unmade.erase(std::remove(g_unmade.begin(), g_unmade.end(), this), g_unmade.end());
    endModal();
    if (container_) {
        auto &siblings = container_->children_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
        if (!hwnd_)
            container_->update();
    }
    for (NativeWindow *child : children_)
        child->container_ = nullptr;
    if (hwnd_) {
        // Messages sent while it goes find no window any more.
        SetWindowLongPtrW(hwnd_, 0, 0);
        DestroyWindow(hwnd_);
    }
    if (icon_)
        DestroyIcon(icon_);
}

DWORD NativeWindow::style() const
{
    if (!topLevel_)
        return WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE;
    switch (style_) {
    case FormStyle::Dialog: return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    default: return WS_POPUP | WS_CLIPCHILDREN;
    }
}

DWORD NativeWindow::exStyle() const
{
    if (!topLevel_)
        return 0;
    switch (style_) {
    // No taskbar button and no Alt+Tab entry.
    case FormStyle::Strip: return WS_EX_TOOLWINDOW;
    // Above every other window, never activated, and clicks go through to what lies below,
    // in this program (HTTRANSPARENT) and in others (a layered transparent window).
    case FormStyle::Particle:
        return WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TRANSPARENT;
    case FormStyle::Dialog: return WS_EX_DLGMODALFRAME;
    case FormStyle::Hidden: return WS_EX_TOOLWINDOW;
    }
    return 0;
}

void NativeWindow::createNative()
{
    // Dialogs are owned by the hidden window, which keeps them off the taskbar.
    const ::HWND parent = topLevel_ ? (style_ == FormStyle::Dialog ? appWindow() : nullptr) : host().hwnd_;
    appWindow();
    hwnd_ = CreateWindowExW(exStyle(), L"KestrinWindow", L"", style(), 0, 0, 0, 0, parent, nullptr, instance(), this);
    if (style_ == FormStyle::Particle && topLevel_)
        SetLayeredWindowAttributes(hwnd_, 0, 255, LWA_ALPHA);
    // Later children lie above earlier ones.
    if (!topLevel_)
        SetWindowPos(hwnd_, kTop, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void NativeWindow::createNativeLater() { g_unmade.push_back(this); }

void NativeWindow::needNative()
{
    if (hwnd_)
        return;
    g_unmade.erase(std::remove(g_unmade.begin(), g_unmade.end(), this), g_unmade.end());
    createNative();
    place();
}

bool makeWaitingWindow()
{
    if (g_unmade.empty())
        return false;
    g_unmade.front()->needNative();
    return true;
}

void NativeWindow::createButton(const std::string &caption, std::function<void()> pressed)
{
    NativeWindow &parent = const_cast<NativeWindow &>(host());
    hwnd_ = CreateWindowExW(0, L"BUTTON", widen(caption).c_str(),
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 0, parent.hwnd_, nullptr,
                            instance(), nullptr);
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont()), TRUE);
    parent.buttons_.emplace(hwnd_, std::move(pressed));
}

NativeWindow *NativeWindow::from(::HWND hwnd)
{
    if (static_cast<ATOM>(GetClassLongPtrW(hwnd, GCW_ATOM)) != windowClass())
        return nullptr;
    return reinterpret_cast<NativeWindow *>(GetWindowLongPtrW(hwnd, 0));
}

std::vector<NativeWindow *> NativeWindow::topLevelWindows()
{
    std::vector<NativeWindow *> found;
    EnumWindows(
        [](::HWND hwnd, LPARAM list) {
            // Another copy's windows are of the same class, pointing into that copy.
            DWORD process = 0;
            GetWindowThreadProcessId(hwnd, &process);
            NativeWindow *window = process == GetCurrentProcessId() ? from(hwnd) : nullptr;
            if (window && window->topLevel_ && IsWindowVisible(hwnd))
                reinterpret_cast<std::vector<NativeWindow *> *>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool NativeWindow::dialogKey(const MSG &msg)
{
    if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE))
        return false;
    NativeWindow *window = from(GetAncestor(msg.hwnd, GA_ROOT));
    if (!window || window->style_ != FormStyle::Dialog)
        return false;
    // Enter pushes the default button; Esc, or Enter where there is none, closes.
    if (msg.wParam == VK_RETURN && !window->buttons_.empty())
        window->buttons_.begin()->second();
    else if (window->events_)
        window->events_->closeRequested();
    return true;
}

const NativeWindow &NativeWindow::host() const
{
    const NativeWindow *w = this;
    while (!w->hwnd_ && w->container_)
        w = w->container_;
    return *w;
}

PixelPoint NativeWindow::offsetInHost() const
{
    PixelPoint offset;
    for (const NativeWindow *w = this; !w->hwnd_ && w->container_; w = w->container_)
        offset = {offset.x + w->rect_.left, offset.y + w->rect_.top};
    return offset;
}

void NativeWindow::setGeometry(const PixelRect &rect)
{
    if (!hwnd_)
        update();
    rect_ = rect;
    place();
}

void NativeWindow::place()
{
    if (!hwnd_)
        return update();
    RECT r = toDevice(rect_);
    if (topLevel_) {
        AdjustWindowRectExForDpi(&r, style(), FALSE, exStyle(), GetDpiForWindow(hwnd_));
    } else if (container_) {
        const PixelPoint offset = container_->offsetInHost();
        OffsetRect(&r, toDevice(offset.x), toDevice(offset.y));
    }
    placing_ = true;
    SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    placing_ = false;
    // The outline is in device pixels: it follows the scale.
    if (!shape_.empty() && shapeScale_ != scale())
        setShape(shape_);
}

void NativeWindow::setVisible(bool visible)
{
    visible_ = visible;
    if (visible && style_ == FormStyle::Particle)
        needNative();
    if (!hwnd_)
        return update();
    if (!visible)
        endModal();
    const bool quiet = style_ == FormStyle::Particle || !topLevel_;
    ShowWindow(hwnd_, visible ? (quiet ? SW_SHOWNOACTIVATE : SW_SHOW) : SW_HIDE);
}

void NativeWindow::update()
{
    if (hwnd_) {
        InvalidateRect(hwnd_, nullptr, FALSE);
        return;
    }
    const NativeWindow &on = host();
    if (!on.hwnd_)
        return;
    const PixelPoint at = offsetInHost();
    const RECT r = toDevice(PixelRect{at.x, at.y, rect_.width, rect_.height});
    InvalidateRect(on.hwnd_, &r, FALSE);
}

void NativeWindow::setShape(const std::vector<PixelRect> &rects)
{
    shape_ = rects;
    if (!hwnd_)
        return update();
    if (rects.empty()) {
        SetWindowRgn(hwnd_, nullptr, TRUE);
        return;
    }
    shapeScale_ = scale();
    const HRGN outline = region(rects, shapeScale_, {});
    // The window owns the region once it has taken it.
    if (!SetWindowRgn(hwnd_, outline, TRUE))
        DeleteObject(outline);
}

body::Surface &NativeWindow::surface()
{
    if (!surface_)
        surface_ = std::make_unique<PersistentSurface>(*this);
    return *surface_;
}

void NativeWindow::setTitle(const std::string &title) { SetWindowTextW(hwnd_, widen(title).c_str()); }

void NativeWindow::setIcon(const body::Image &icon)
{
    const HICON old = icon_;
    icon_ = static_cast<const Bitmap &>(icon).icon();
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    if (old)
        DestroyIcon(old);
}

bool NativeWindow::setNativeBackground(Color color)
{
    nativeBackground_ = color;
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, TRUE);
    return true;
}

void NativeWindow::raiseAboveAll()
{
    needNative();
    SetWindowPos(hwnd_, kTopmost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::optional<PixelPoint> NativeWindow::screenOrigin() const
{
    const NativeWindow &on = host();
    POINT corner{0, 0};
    if (!on.hwnd_ || !ClientToScreen(on.hwnd_, &corner))
        return std::nullopt;
    const PixelPoint offset = offsetInHost();
    return PixelPoint{toLogical(corner.x) + offset.x, toLogical(corner.y) + offset.y};
}

void NativeWindow::centreModal(const PixelRect &on)
{
    RECT frame{};
    GetWindowRect(hwnd_, &frame);
    const RECT area = toDevice(on);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT client{};
    GetClientRect(hwnd_, &client);
    MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT *>(&client), 2);
    rect_ = toLogical(client);
    // The program's other windows take no input until the dialog goes.
    for (NativeWindow *other : topLevelWindows()) {
        if (other != this && IsWindowEnabled(other->hwnd_)) {
            EnableWindow(other->hwnd_, FALSE);
            disabledByModal_.push_back(other->hwnd_);
        }
    }
}

void NativeWindow::endModal()
{
    // Enabled again before the dialog hides, so that activation returns to them.
    for (::HWND other : disabledByModal_)
        EnableWindow(other, TRUE);
    disabledByModal_.clear();
}

PixelRect NativeWindow::screenRect() const
{
    const PixelPoint origin = screenOrigin().value_or(PixelPoint{rect_.left, rect_.top});
    return {origin.x, origin.y, rect_.width, rect_.height};
}

bool NativeWindow::shown() const
{
    if (hwnd_)
        return IsWindowVisible(hwnd_);
    return visible_ && container_ && container_->shown();
}

std::vector<Color> NativeWindow::grab() const
{
    const int width = std::max(rect_.width, 1), height = std::max(rect_.height, 1);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    const HBITMAP target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, target);
    {
        DeviceCanvas canvas(dc, 1.0);
        paintTree(canvas, true);
    }
    GdiFlush();
    std::vector<Color> colours(static_cast<std::size_t>(width) * height);
    const auto *pixels = static_cast<const std::uint32_t *>(bits);
    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = RGB(pixels[i] >> 16 & 0xFF, pixels[i] >> 8 & 0xFF, pixels[i] & 0xFF);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(target);
    return colours;
}

NativeWindow *NativeWindow::hit(PixelPoint at, bool nativeChildren)
{
    if (!contains({0, 0, rect_.width, rect_.height}, at) || !inShape(shape_, at))
        return nullptr;
    for (auto child = children_.rbegin(); child != children_.rend(); ++child) {
        NativeWindow &c = **child;
        if (!c.visible_ || c.kind_ == body::ChildKind::Decoration || (c.hwnd_ && !nativeChildren))
            continue;
        if (NativeWindow *found = c.hit({at.x - c.rect_.left, at.y - c.rect_.top}, nativeChildren))
            return found;
    }
    return this;
}

void NativeWindow::paintTree(DeviceCanvas &canvas, bool nativeChildren) const
{
    if (nativeBackground_) {
        canvas.fill({0, 0, rect_.width, rect_.height}, *nativeBackground_);
        return;
    }
    if (events_)
        events_->paint(canvas);
    if (surface_ && surface_->bitmap())
        canvas.drawImage(*surface_->bitmap(), {0, 0});
    for (const NativeWindow *child : children_) {
        if (!child->visible_ || (child->hwnd_ && !nativeChildren) || !child->events_)
            continue;
        canvas.enter(child->rect_, child->shape_);
        child->paintTree(canvas, nativeChildren);
        canvas.leave(child->rect_);
    }
}

void NativeWindow::paintNow()
{
    PAINTSTRUCT ps;
    const HDC screen = BeginPaint(hwnd_, &ps);
    if (!nativeBackground_) {
        RECT client{};
        GetClientRect(hwnd_, &client);
        // Drawn off screen, then copied at once: no flicker of the background under labels.
        // Only the part to be painted: a moving plate uncovers a few pixels of the strip.
        const HDC dc = CreateCompatibleDC(screen);
        const HBITMAP buffer = CreateCompatibleBitmap(screen, std::max(1L, client.right), std::max(1L, client.bottom));
        const HGDIOBJ old = SelectObject(dc, buffer);
        const RECT &part = ps.rcPaint;
        IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
        {
            DeviceCanvas canvas(dc, scale());
            paintTree(canvas, false);
        }
        BitBlt(screen, part.left, part.top, part.right - part.left, part.bottom - part.top, dc, part.left, part.top,
               SRCCOPY);
        SelectObject(dc, old);
        DeleteObject(buffer);
        DeleteDC(dc);
    }
    EndPaint(hwnd_, &ps);
}

void NativeWindow::press(UINT message, WPARAM wParam, LPARAM lParam)
{
    NativeWindow *target = hit(logicalPoint(lParam), false);
    if (!target || !target->events_)
        return;
    POINT screen{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(hwnd_, &screen);
    g_lastPress = Press{screen, GetAncestor(hwnd_, GA_ROOT)};
    const std::int16_t button = buttonNumber(message);
    if (button == vbLeftButton) {
        g_armed = target;
        SetCapture(hwnd_);
    }
    const PixelPoint at = logicalPoint(lParam), offset = target->offsetInHost();
    target->events_->pressed(button, shiftState(wParam), {at.x - offset.x, at.y - offset.y});
}

void NativeWindow::release(LPARAM lParam)
{
    NativeWindow *armed = std::exchange(g_armed, nullptr);
    if (GetCapture() == hwnd_)
        ReleaseCapture();
    if (!armed || &armed->host() != this || !armed->events_)
        return;
    const PixelPoint at = logicalPoint(lParam), offset = armed->offsetInHost();
    if (contains({offset.x, offset.y, armed->rect_.width, armed->rect_.height}, at))
        armed->events_->clicked();
}

bool NativeWindow::setCursorAt(POINT screen)
{
    ScreenToClient(hwnd_, &screen);
    const NativeWindow *w = hit({toLogical(screen.x), toLogical(screen.y)}, false);
    while (w && w->cursor_ == MousePointer::Default)
        w = w->container_;
    SetCursor(LoadCursorW(nullptr, w && w->cursor_ == MousePointer::Cross ? IDC_CROSS : IDC_ARROW));
    return true;
}

LRESULT CALLBACK NativeWindow::procedure(::HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *window = static_cast<NativeWindow *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        window->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(window));
    }
    auto *window = reinterpret_cast<NativeWindow *>(GetWindowLongPtrW(hwnd, 0));
    return window ? window->handle(message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT NativeWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: paintNow(); return 0;
    case WM_ERASEBKGND:
        if (nativeBackground_) {
            RECT client{};
            GetClientRect(hwnd_, &client);
            const HBRUSH brush = CreateSolidBrush(colorRef(*nativeBackground_));
            FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
            DeleteObject(brush);
        }
        return 1;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: press(message, wParam, lParam); return 0;
    case WM_LBUTTONUP: release(lParam); return 0;
    case WM_CAPTURECHANGED:
        if (g_armed && &g_armed->host() == this && reinterpret_cast<::HWND>(lParam) != hwnd_)
            g_armed = nullptr;
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<::HWND>(wParam) == hwnd_) {
            POINT at;
            GetCursorPos(&at);
            return setCursorAt(at);
        }
        break;
    case WM_NCHITTEST:
        if (clickThrough())
            return HTTRANSPARENT;
        break;
    case WM_MOUSEACTIVATE:
        if (clickThrough())
            return MA_NOACTIVATE;
        break;
    case WM_COMMAND:
        if (const auto button = buttons_.find(reinterpret_cast<::HWND>(lParam)); button != buttons_.end()) {
            const std::function<void()> pressed = button->second;
            pressed();
            return 0;
        }
        break;
    case WM_INITMENUPOPUP: menuOpening(reinterpret_cast<HMENU>(wParam)); return 0;
    case WM_CLOSE:
        if (events_)
            events_->closeRequested();
        return 0;
    case WM_WINDOWPOSCHANGING:
        // The strip stays where the program put it, whoever else moves it.
        if (topLevel_ && style_ == FormStyle::Strip && !placing_) {
            auto *pos = reinterpret_cast<WINDOWPOS *>(lParam);
            const RECT r = toDevice(rect_);
            pos->x = r.left;
            pos->y = r.top;
        }
        break;
    case WM_SIZE:
        // Neither the strip nor the dialog has a taskbar button to come back from minimised by.
        if (wParam == SIZE_MINIMIZED && topLevel_ && (style_ == FormStyle::Strip || style_ == FormStyle::Dialog))
            PostMessageW(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0);
        break;
    case WM_DPICHANGED:
        scaleChanged();
        place();
        InvalidateRect(hwnd_, nullptr, FALSE);
        // Shown windows hear of a new scale; the hidden one that watches the screen may not.
        if (style_ == FormStyle::Strip)
            screensChanged();
        return 0;
    default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace forms::win32

namespace forms::body {

using win32::NativeWindow;

std::unique_ptr<Window> createForm(WindowEvents &events, FormStyle style)
{
    auto window = std::make_unique<NativeWindow>(events, style);
    // Twenty particle windows cost more than the strip itself: they wait until the strip
    // is up and the program idle, or until first shown.
    if (style == FormStyle::Particle)
        window->createNativeLater();
    else
        window->createNative();
    return window;
}

std::unique_ptr<Window> createChild(WindowEvents &events, Window &container, ChildKind kind)
{
    auto window = std::make_unique<NativeWindow>(&events, static_cast<NativeWindow &>(container), kind);
    // Images, labels and lines are painted by their container: they show what lies behind
    // them, which a child window of their own would hide.
    if (kind == ChildKind::Opaque)
        window->createNative();
    return window;
}

std::unique_ptr<Window> createButton(Window &container, const std::string &caption, std::function<void()> pressed)
{
    auto window = std::make_unique<NativeWindow>(nullptr, static_cast<NativeWindow &>(container), ChildKind::Opaque);
    window->createButton(caption, std::move(pressed));
    return window;
}

Window *topWindowAt(PixelPoint screen)
{
    for (NativeWindow *window : NativeWindow::topLevelWindows()) {
        const PixelRect r = window->screenRect();
        if (!window->clickThrough() && window->hit({screen.x - r.left, screen.y - r.top}, true))
            return window;
    }
    return nullptr;
}

void pressAt(PixelPoint screen, std::int16_t button)
{
    auto *top = static_cast<NativeWindow *>(topWindowAt(screen));
    // Windows gives a window that a modal dialog disabled no input.
    if (!top || !IsWindowEnabled(top->handle()))
        return;
    const PixelRect r = top->screenRect();
    // Posted to the native window under the point, as the mouse would; it finds the
    // painted control there itself.
    const ::HWND target = top->hit({screen.x - r.left, screen.y - r.top}, true)->host().handle();
    POINT at{win32::toDevice(screen.x), win32::toDevice(screen.y)};
    ScreenToClient(target, &at);
    const LPARAM where = MAKELPARAM(at.x, at.y);
    const UINT down = button == vbRightButton ? WM_RBUTTONDOWN
                      : button == vbMiddleButton ? WM_MBUTTONDOWN
                                                 : WM_LBUTTONDOWN;
    const WPARAM held = button == vbRightButton ? MK_RBUTTON : button == vbMiddleButton ? MK_MBUTTON : MK_LBUTTON;
    PostMessageW(target, down, held, where);
    PostMessageW(target, down + 1, 0, where);
}

} // namespace forms::body
