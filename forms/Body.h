#pragma once
// What each platform's body gives the runtime: native windows and their painting, pictures,
// popup menus, message boxes, the event loop, a one-shot timer, the clocks and the screen.
// The runtime's neutral code (controls, forms, menus, the services in Runtime.h) is written
// once over this; forms/qt/ implements it over Qt widgets and X11, forms/win32/ over Win32.
// Every coordinate here is in logical pixels (a twip is 1/15 of one); a body converts to
// device pixels itself.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "forms/Screen.h"
#include "forms/Types.h"

namespace forms {

class Menu;
struct DateTime;

namespace body {

// A picture decoded by the body, with its alpha channel; pictures are pixel art, so one of
// its pixels is one logical pixel at any scale.
class Image {
public:
    virtual ~Image() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
};

// Loads a picture compiled into the program by its file name ("plate.bmp", "title.gif");
// the body maps the name onto its own resources. Ends the process with a message when the
// picture is missing, since the program cannot run without it.
std::shared_ptr<const Image> loadImage(const std::string &name);

// A face, its height in pixels, and its weight.
struct Font {
    std::string family;
    int pixelSize = 11;
    bool bold = false;
    friend bool operator==(const Font &, const Font &) = default;
};

enum class TextAlign { Left, Center };

// Drawing on a window while it paints. Pictures are copied without smoothing.
class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void fill(const PixelRect &rect, Color color) = 0;
    // A one-pixel outline just inside the rectangle.
    virtual void frame(const PixelRect &rect, Color color) = 0;
    // The picture at its own size, blended by its alpha channel.
    virtual void drawImage(const Image &image, PixelPoint at) = 0;
    // One line of text from the box's top; a text wider than the box is narrowed to fit
    // rather than cut or wrapped (font widths differ between machines, boxes do not).
    virtual void drawText(const PixelRect &box, const std::string &text, const Font &font, Color color,
                          TextAlign align) = 0;
};

// A window's persistent drawing surface: what the program copies onto a form stays until
// it is copied over, and is shown under the form's controls.
class Surface {
public:
    virtual ~Surface() = default;
    // Copies the source rectangle of the image, stretched without smoothing, onto the
    // target rectangle (replacing what was there, alpha included). The surface grows to
    // the window's current size first, the new part filled with `background`.
    virtual void copy(const Image &image, const PixelRect &source, const PixelRect &target, Color background) = 0;
};

// What a native window tells the control it shows.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void paint(Canvas &canvas) = 0;
    // A mouse button went down at a point of the window (pixels from its top-left corner);
    // buttons and shift state numbered as vbLeftButton... and 1 Shift, 2 Ctrl, 4 Alt.
    virtual void pressed(std::int16_t button, std::int16_t shift, PixelPoint at) = 0;
    // The left button went down and up again inside the window.
    virtual void clicked() = 0;
    // The user asked a top-level window to close (its close box, the window manager, Esc or
    // Enter in a dialog).
    virtual void closeRequested() {}
};

// How a child window relates to what lies behind it.
enum class ChildKind {
    Opaque,      // paints its whole rectangle (a picture box)
    Transparent, // paints over its container's content, takes presses (an image, a label)
    Decoration,  // paints over its container's content, presses go through (a line)
};

// A native window: a form's top-level window or a control's child window. A forms::HWND
// points to one.
class Window {
public:
    virtual ~Window() = default;
    // Place and size: a child's in its container's client area, a top-level window's on the
    // desktop. A strip's size is also its fixed size (window managers offer no resizing).
    virtual void setGeometry(const PixelRect &rect) = 0;
    virtual void setVisible(bool visible) = 0;
    // Repaints at the next pass of the event loop.
    virtual void update() = 0;
    virtual void setCursor(MousePointer pointer) = 0;
    // Clips the window to the rectangles (pixels from its corner); an empty list makes it
    // rectangular again.
    virtual void setShape(const std::vector<PixelRect> &rects) = 0;
    // The window's persistent surface, made on first use.
    virtual Surface &surface() = 0;

    // Top-level windows only.
    virtual void setTitle(const std::string &title) = 0;
    virtual void setIcon(const Image &icon) = 0;
    // The window system fills the window with one colour and the program paints nothing:
    // the cheapest recolouring (particles). False where the body cannot; then it paints.
    virtual bool setNativeBackground(Color color) = 0;
    // Stacks the window above every other, top-most ones included.
    virtual void raiseAboveAll() = 0;
    // Where the window's client area starts on the screen as the window system has it (a
    // window manager may have moved it); nothing where none answers.
    virtual std::optional<PixelPoint> screenOrigin() const = 0;
    // Centres a dialog with its frame on the rectangle and makes it modal to the program.
    virtual void centreModal(const PixelRect &on) = 0;

    // For tests: the window's rectangle on the screen, whether it is shown, its shape
    // (empty: rectangular) and what it shows, one colour per pixel, rows top down.
    virtual PixelRect screenRect() const = 0;
    virtual bool shown() const = 0;
    virtual std::vector<PixelRect> shape() const = 0;
    virtual std::vector<Color> grab() const = 0;
};

// A top-level window of the style; a strip stays where the program puts it (the body
// puts it back when a window manager moves it, and brings it back from minimised).
std::unique_ptr<Window> createForm(WindowEvents &events, FormStyle style);
// A child window in the container's client area, after its earlier children.
std::unique_ptr<Window> createChild(WindowEvents &events, Window &container, ChildKind kind);
// A push button with the caption that runs `pressed` when pushed (also by Enter as the
// window's default button).
std::unique_ptr<Window> createButton(Window &container, const std::string &caption, std::function<void()> pressed);

// Shows the menu's items at the last press on one of the program's windows (at the mouse
// when there was none) and returns when it is closed, after the chosen item's Click. A
// submenu raises its Click as it opens, before it is drawn.
void popupMenu(Menu &menu);
// A modal box with the title, the text (lines separated by "\r\n") and an OK button.
void messageBox(const std::string &title, const std::string &text);

// Handles every pending event, each handler to its end, then returns.
void pumpEvents();
// Handles events, waiting for them, until `finished` is true (a modal window's loop).
void runModalLoop(const std::function<bool()> &finished);
// Runs `action` once from the event loop after `ms` milliseconds.
void singleShot(std::uint32_t ms, std::function<void()> action);

// The local date and time, to the second.
DateTime now();
// Folder of the executable, without a trailing separator unless it is a root.
std::string appPath();
// The primary screen and its work area.
ScreenView primaryScreen();
// Has `changed` called after each change of the primary screen, its rectangle, its work
// area or its scale.
void watchScreens(std::function<void()> changed);

// For tests: the program's top-level window at a screen point, skipping windows that let
// presses through (particles); and a press and release of a button there.
Window *topWindowAt(PixelPoint screen);
void pressAt(PixelPoint screen, std::int16_t button);

// The options this body's window system reads (none where it reads none).
std::vector<CommandLineOption> windowSystemOptions();
// Writes UTF-8 text on the standard output or error of the console or shell that started
// the program; returns why it could not, nothing when written or when there is nowhere to
// write (a program started from a desktop's menu).
std::optional<std::string> print(OutputStream stream, const std::string &text);

// Starts the window system with the command line, runs `start` (which shows the first
// window), then the event loop until the program ends; returns the exit status. Prints a
// one-line message and returns 1 when there is no display to show the program on.
int run(int argc, char **argv, const std::function<void()> &start);

} // namespace body
} // namespace forms
