#pragma once
// Inside the Win32 body: the native window behind every form and control, text and pixel
// conversions, and the hidden window that owns menus and hears the system's notices.

// The runtime's headers come first: <windows.h> defines macros (RGB) that clash with them.
#include "forms/Body.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace forms::win32 {

// UTF-8, the runtime's text, to and from UTF-16, Windows' text.
std::wstring widen(const std::string &utf8);
std::string narrow(const std::wstring &utf16);

// Registers the window classes and makes the hidden window, once. False when Windows
// refuses to make a window (no desktop to show one on).
bool start();
HINSTANCE instance();
// The class of the program's own windows.
ATOM windowClass();
// The hidden top-level window: owner of dialogs and menus, receiver of the system's
// broadcasts and of the one-shot timers.
::HWND appWindow();

// Device pixels per logical pixel: the primary monitor's scale (1 at 96 dots per inch).
double scale();
// The scale may have changed: asked for again when next needed.
void scaleChanged();
int toDevice(int logical);
int toLogical(int device);
RECT toDevice(const PixelRect &rect);
PixelRect toLogical(const RECT &rect);

COLORREF colorRef(Color color);

// The union of the rectangles (logical pixels from `origin`) in device pixels, each
// magnified by `factor` like the pictures they outline.
HRGN region(const std::vector<PixelRect> &rects, double factor, PixelPoint origin);
// Their union as Windows keeps a region: rectangles in bands, touching ones merged.
std::vector<PixelRect> canonical(const std::vector<PixelRect> &rects);

// A picture's pixels, premultiplied BGRA rows top down, as GDI blends them; kept once at
// its own size and once at the device scale it was last drawn at.
class Bitmap : public body::Image {
public:
    Bitmap(int width, int height, std::vector<std::uint32_t> pixels);
    ~Bitmap() override;
    int width() const override { return width_; }
    int height() const override { return height_; }
    std::uint32_t &at(int x, int y) { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
    std::uint32_t at(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
    // Takes a new size; pixels outside the old one get the fill.
    void resize(int width, int height, std::uint32_t fill);
    // The pixels changed: the scaled copy is made again when next drawn.
    void changed();
    // A DIB of the picture magnified by `factor` without smoothing.
    HBITMAP scaled(double factor) const;
    // The picture as a window icon (GDI wants icons with straight alpha).
    HICON icon() const;

private:
    int width_, height_;
    std::vector<std::uint32_t> pixels_;
    mutable HBITMAP scaled_ = nullptr;
    mutable double scaledFactor_ = 0;
};

// Draws on a device context: logical pixels from an origin, at the device scale.
class DeviceCanvas : public body::Canvas {
public:
    DeviceCanvas(HDC dc, double factor) : dc_(dc), factor_(factor) {}
    void fill(const PixelRect &rect, Color color) override;
    void frame(const PixelRect &rect, Color color) override;
    void drawImage(const body::Image &image, PixelPoint at) override;
    void drawText(const PixelRect &box, const std::string &text, const body::Font &font, Color color,
                  body::TextAlign align) override;
    // Moves the origin to a child's corner and clips to its rectangle and shape (none:
    // rectangular), until it leaves.
    void enter(const PixelRect &child, const std::vector<PixelRect> &shape);
    void leave(const PixelRect &child);

private:
    RECT device(const PixelRect &rect) const;
    HFONT font(const body::Font &font, bool japanese, int narrowTo);
    HDC dc_;
    double factor_;
    PixelPoint origin_;
    std::vector<int> savedStates_;
};

// What a window shows under its controls, kept between paints.
class PersistentSurface : public body::Surface {
public:
    explicit PersistentSurface(const class NativeWindow &window) : window_(window) {}
    void copy(const body::Image &image, const PixelRect &source, const PixelRect &target, Color background) override;
    const Bitmap *bitmap() const { return bitmap_.get(); }

private:
    const NativeWindow &window_;
    std::unique_ptr<Bitmap> bitmap_;
};

// A form's top-level window, or a control: an opaque child has a native window of its own;
// transparent and decoration children have none and are painted and hit by their host,
// the nearest container that has one.
class NativeWindow : public body::Window {
public:
    // A top-level window of the style.
    NativeWindow(body::WindowEvents &events, FormStyle style);
    // A child of the container.
    NativeWindow(body::WindowEvents *events, NativeWindow &container, body::ChildKind kind);
    ~NativeWindow() override;

    void setGeometry(const PixelRect &rect) override;
    void setVisible(bool visible) override;
    void update() override;
    void setCursor(MousePointer pointer) override { cursor_ = pointer; }
    void setShape(const std::vector<PixelRect> &rects) override;
    body::Surface &surface() override;
    void setTitle(const std::string &title) override;
    void setIcon(const body::Image &icon) override;
    bool setNativeBackground(Color color) override;
    void raiseAboveAll() override;
    std::optional<PixelPoint> screenOrigin() const override;
    void centreModal(const PixelRect &on) override;
    PixelRect screenRect() const override;
    bool shown() const override;
    std::vector<PixelRect> shape() const override { return canonical(shape_); }
    std::vector<Color> grab() const override;

    ::HWND handle() const { return hwnd_; }
    // The native window this one is drawn on, and where it lies on it (logical pixels).
    const NativeWindow &host() const;
    PixelPoint offsetInHost() const;
    const PixelRect &rect() const { return rect_; }
    bool clickThrough() const { return style_ == FormStyle::Particle; }
    // The deepest window that takes a press at a point of this one (logical pixels from
    // its corner), honouring shapes and visibility; nothing when the point is outside.
    NativeWindow *hit(PixelPoint at, bool nativeChildren);
    // Makes the native window: our own class, or a push button with the caption.
    void createNative();
    // Leaves it to be made by makeWaitingWindow, or when first needed.
    void createNativeLater();
    // Makes the native window if it was left for later, in its place.
    void needNative();
    void createButton(const std::string &caption, std::function<void()> pressed);

    // The window procedure of every window of the program.
    static LRESULT CALLBACK procedure(::HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The NativeWindow of one of this process's native windows; nothing for one of another
    // class (a button, a menu, a message box).
    static NativeWindow *from(::HWND hwnd);
    // The program's shown top-level windows, topmost first.
    static std::vector<NativeWindow *> topLevelWindows();
    // Enter and Esc in a dialog, wherever its focus is; true when the key was taken.
    static bool dialogKey(const MSG &msg);

private:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paintTree(DeviceCanvas &canvas, bool nativeChildren) const;
    void paintNow();
    void press(UINT message, WPARAM wParam, LPARAM lParam);
    void release(LPARAM lParam);
    bool setCursorAt(POINT screen);
    DWORD style() const;
    DWORD exStyle() const;
    void place();
    void endModal();

    body::WindowEvents *events_ = nullptr;
    NativeWindow *container_ = nullptr;
    std::vector<NativeWindow *> children_;
    bool topLevel_ = false;
    FormStyle style_ = FormStyle::Hidden;
    body::ChildKind kind_ = body::ChildKind::Opaque;
    ::HWND hwnd_ = nullptr;
    PixelRect rect_;
    bool visible_ = false;
    MousePointer cursor_ = MousePointer::Default;
    std::vector<PixelRect> shape_;
    double shapeScale_ = 0; // the scale the native outline was made at
    std::unique_ptr<PersistentSurface> surface_;
    HICON icon_ = nullptr;
    std::optional<Color> nativeBackground_;
    bool placing_ = false;
    std::map<::HWND, std::function<void()>> buttons_;
    std::vector<::HWND> disabledByModal_;
};

// Makes the native window of one window left for later; false when none is left.
bool makeWaitingWindow();

// The last press on one of the program's windows: where on the screen (device pixels),
// and the top-level window it went to.
struct Press {
    POINT at;
    ::HWND window;
};
std::optional<Press> lastPress();

// The popup menu being shown, told that one of its (sub)menus opens.
void menuOpening(HMENU menu);

// The system told of a change of the screens, the work area or the scale.
void screensChanged();

// One-shot timers; fired by the hidden window's WM_TIMER.
void timerFired(UINT_PTR id);

} // namespace forms::win32
