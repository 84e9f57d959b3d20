#pragma once
// Controls of the forms runtime: anything with a place on the screen, and the picture box,
// image, label, command button and line built on it. Positions and sizes are twips, kept in
// the runtime's own fields and converted to pixels once, when a window is placed.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "forms/Body.h"
#include "forms/Picture.h"
#include "forms/Types.h"

namespace forms {

// Anything with a place on the screen: a form or one of its controls.
class Control : public body::WindowEvents {
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

    HWND hWnd() const { return window_.get(); }

protected:
    Control() = default;
    // Takes the window that shows the control, in the container's client area (none for a
    // form).
    void create(Control *container, std::unique_ptr<body::Window> window);
    // A child window of the kind in the container's client area.
    void createChild(Control &container, body::ChildKind kind);
    // Gives the window the position and size of the fields, in pixels.
    virtual void place();
    // Pixels between the window's corner and where contained controls start.
    virtual int clientOffsetPx() const { return 0; }
    // The window's own rectangle, pixels from its corner.
    PixelRect rectPx() const;

    void paint(body::Canvas &) override {}
    void pressed(std::int16_t, std::int16_t, PixelPoint) override {}
    void clicked() override {}

    Control *container_ = nullptr;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;

private:
    std::unique_ptr<body::Window> window_;
};

// A control or form that raises MouseDown and Click.
class Clickable : public Control {
public:
    std::function<void(std::int16_t button, std::int16_t shift, float x, float y)> MouseDown;
    std::function<void()> Click;

protected:
    void pressed(std::int16_t button, std::int16_t shift, PixelPoint at) override;
    void clicked() override;
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
    void paint(body::Canvas &canvas) override;
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
    void paint(body::Canvas &canvas) override;

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
    void paint(body::Canvas &canvas) override;

private:
    std::string caption_;
    Color foreColor_ = vbWindowText;
    Alignment alignment_ = Alignment::Left;
    // A Japanese sans serif on a 12-pixel line, the line height of the 9-point interface
    // font the label sizes were laid out for.
    body::Font font_{"IPAPGothic", 11, false};
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
    void paint(body::Canvas &canvas) override;

private:
    Color color_;
};

} // namespace forms
