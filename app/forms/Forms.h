#pragma once
// Windows and controls of the forms runtime. Positions and sizes are twips, kept in
// the runtime's own fields and converted to pixels once, when a widget is placed.
// This header is free of Qt includes so game logic can use the controls directly.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/forms/Runtime.h"

class QAction;
class QImage;
class QMenu;
class QPainter;
class QWidget;

namespace forms {

// A colour as &H00BBGGRR; values &H8000000n name system colours.
using Color = std::int32_t;
constexpr Color RGB(int r, int g, int b) { return r | (g << 8) | (b << 16); }
constexpr Color vbButtonFace = static_cast<Color>(0x8000000F);
constexpr Color vbWindowText = static_cast<Color>(0x80000008);

// The native window of a form or control.
using HWND = QWidget *;

// Mouse buttons as the MouseDown event numbers them.
constexpr std::int16_t vbLeftButton = 1;
constexpr std::int16_t vbRightButton = 2;
constexpr std::int16_t vbMiddleButton = 4;

enum class MousePointer { Default, Arrow, Cross };

// The primary screen.
namespace Screen {
float Width();  // twips
float Height(); // twips
float TwipsPerPixelX();
float TwipsPerPixelY();
} // namespace Screen

// An image file compiled into the program, shared by every control that shows it.
class Picture {
public:
    Picture() = default;
    // Loads a picture from the program's resources, such as ":/plate.bmp".
    static Picture Load(const std::string &resource);
    bool isNull() const { return !image_; }
    int widthPx() const;
    int heightPx() const;
    const QImage &image() const { return *image_; }

private:
    std::shared_ptr<const QImage> image_;
};

class Control;

// Bridges a control and the Qt widget that shows it.
struct ControlEvents {
    virtual ~ControlEvents() = default;
    virtual void paint(QPainter &painter) = 0;
    virtual void pressed(std::int16_t button, std::int16_t shift, float x, float y) = 0;
    virtual void clicked() = 0;
};

// Anything with a place on the screen: a form or one of its controls.
class Control : public ControlEvents {
public:
    Control(const Control &) = delete;
    Control &operator=(const Control &) = delete;
    ~Control() override;

    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    // Moves; the size stays.
    void Move(float left, float top);
    // Moves and resizes; a strip form also takes the new size as its fixed size.
    void Move(float left, float top, float width, float height);
    void setWidth(float width);
    void setHeight(float height);

    bool Visible() const { return visible_; }
    virtual void setVisible(bool visible);

    void setMousePointer(MousePointer pointer);
    // Requests a repaint at the next pass of the message pump.
    void refresh();

    HWND hWnd() const { return widget_; }

protected:
    Control() = default;
    // Creates the widget: a child of the container's widget, or a top-level window.
    void create(Control *container, std::unique_ptr<QWidget> ownWidget = {});
    // Gives the widget the position and size of the fields, in pixels.
    virtual void place();
    // Pixels between the widget's corner and where contained controls start.
    virtual int clientOffsetPx() const { return 0; }

    void paint(QPainter &) override {}
    void pressed(std::int16_t, std::int16_t, float, float) override {}
    void clicked() override {}

    Control *container_ = nullptr;
    QWidget *widget_ = nullptr;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;

private:
    std::unique_ptr<QWidget> owned_;
};

// A control or form that raises MouseDown and Click.
class Clickable : public Control {
public:
    std::function<void(std::int16_t button, std::int16_t shift, float x, float y)> MouseDown;
    std::function<void()> Click;

protected:
    void pressed(std::int16_t button, std::int16_t shift, float x, float y) override;
    void clicked() override;
};

class Menu;

// How a top-level window looks and behaves towards the window manager.
enum class FormStyle {
    Strip,    // borderless, fixed, on every desktop, no taskbar button, ordinary stacking
    Particle, // borderless, above all others, never takes focus or clicks
    Dialog,   // fixed dialog offering only its close box, no taskbar button
    Hidden,   // never shown
};

// A top-level window.
class Form : public Clickable {
public:
    explicit Form(FormStyle style);
    ~Form() override;

    std::string Caption() const { return caption_; }
    void setCaption(const std::string &caption);
    Color BackColor() const { return backColor_; }
    void setBackColor(Color color);
    void setIcon(const Picture &icon);
    // Sizes the window so that its client area is width x height twips.
    void setClientSize(float width, float height);

    // Copies the source rectangle of the picture, stretched, onto the target rectangle
    // of the window's persistent surface (all twips).
    void PaintPicture(const Picture &picture, float x1, float y1, float width1, float height1,
                      float x2, float y2, float width2, float height2);
    // Shows the menu at the mouse position; returns when it is closed.
    void PopupMenu(Menu &menu);
    void Show();
    void setVisible(bool visible) override;
    // Shows the window modal; returns when it has been unloaded.
    void ShowModal();
    // Closes the window; a modal loop showing it returns.
    void Unload();
    bool Loaded() const { return loaded_; }

protected:
    void paint(QPainter &painter) override;
    void place() override;

private:
    void closedByUser();
    // Puts a strip that something else moved back in its place, a few times at most.
    void movedByWindowSystem();
    FormStyle style_;
    std::string caption_;
    Color backColor_ = vbButtonFace;
    std::unique_ptr<QImage> surface_;
    bool loaded_ = true;
    bool shownOnce_ = false;
    int putBacks_ = 0; // put-backs since the program last placed the strip
    std::function<void()> quitModal_;
    friend class FormWidget;
};

enum class BorderStyle { None, FixedSingle };

// A picture box: a background colour, a picture from its top-left corner, optional border,
// and a container for other controls.
class PictureBox : public Clickable {
public:
    explicit PictureBox(Control &container);
    Color BackColor() const { return backColor_; }
    void setBackColor(Color color);
    const Picture &picture() const { return picture_; }
    // With AutoSize the box takes the picture's size.
    void setPicture(const Picture &picture);
    void setAutoSize(bool autoSize) { autoSize_ = autoSize; }
    void setBorderStyle(BorderStyle border);

protected:
    void paint(QPainter &painter) override;
    int clientOffsetPx() const override { return border_ == BorderStyle::FixedSingle ? 1 : 0; }

private:
    Color backColor_ = vbButtonFace;
    Picture picture_;
    bool autoSize_ = false;
    BorderStyle border_ = BorderStyle::None;
};

// An image control: a picture with its own transparency, sized to the picture.
class Image : public Clickable {
public:
    explicit Image(Control &container);
    const Picture &picture() const { return picture_; }
    void setPicture(const Picture &picture);

protected:
    void paint(QPainter &painter) override;

private:
    Picture picture_;
};

enum class Alignment { Left, Center };

// A label: text drawn over whatever lies behind it; takes the presses in its rectangle.
class Label : public Clickable {
public:
    explicit Label(Control &container);
    std::string Caption() const { return caption_; }
    void setCaption(const std::string &caption);
    void setForeColor(Color color);
    void setAlignment(Alignment alignment);
    void setFont(const std::string &family, float points, bool bold);

protected:
    void paint(QPainter &painter) override;

private:
    std::string caption_;
    Color foreColor_ = vbWindowText;
    Alignment alignment_ = Alignment::Left;
};

// A push button; Enter presses it when it is the window's default button.
class CommandButton : public Control {
public:
    explicit CommandButton(Control &container, const std::string &caption);
    std::function<void()> Click;
    void press();
};

// A straight line drawn on its container.
class Line : public Control {
public:
    Line(Control &container, float x1, float y1, float x2, float y2, Color color);

protected:
    void paint(QPainter &painter) override;

private:
    Color color_;
};

// A menu item, a submenu or a separator (caption "-"). Top-level menus raise Click
// when they pop up, before they are drawn.
class Menu {
public:
    explicit Menu(const std::string &caption, Menu *parent = nullptr);
    Menu(const Menu &) = delete;
    Menu &operator=(const Menu &) = delete;
    ~Menu();

    std::string Caption() const { return caption_; }
    void setCaption(const std::string &caption);
    const std::vector<Menu *> &items() const { return items_; }
    bool isSeparator() const { return caption_ == "-"; }
    std::function<void()> Click;

    // The Qt menu showing this menu's items.
    QMenu *qmenu();

private:
    void addItem(Menu *item);
    std::string caption_;
    std::vector<Menu *> items_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QAction> action_;
};

// Default instances: naming a window creates it on first use.
namespace detail {
void registerDefaultInstance(std::function<void()> destroy);
}

template <class F> std::unique_ptr<F> &DefaultSlot()
{
    static std::unique_ptr<F> slot;
    return slot;
}

template <class F> F &Default()
{
    auto &slot = DefaultSlot<F>();
    if (!slot) {
        static const bool registered = (detail::registerDefaultInstance([] { DefaultSlot<F>().reset(); }), true);
        (void)registered;
        slot = std::make_unique<F>();
    }
    return *slot;
}

template <class F> bool IsLoaded() { return DefaultSlot<F>() && DefaultSlot<F>()->Loaded(); }

// Closes the default instance if it is loaded; a window not loaded is left alone.
template <class F> void Unload()
{
    if (IsLoaded<F>())
        DefaultSlot<F>()->Unload();
}

// Destroys every default instance; call it before the QApplication goes (tests also
// start each case from a fresh set of windows with it).
void DestroyDefaultInstances();

} // namespace forms
