// Controls of the forms runtime: placing, showing and painting them.

#include "forms/Controls.h"

#include <algorithm>
#include <cmath>

#include "forms/Twips.h"

namespace forms {

Control::~Control() = default;

void Control::create(Control *container, std::unique_ptr<body::Window> window)
{
    container_ = container;
    window_ = std::move(window);
}

void Control::createChild(Control &container, body::ChildKind kind)
{
    create(&container, body::createChild(*this, *container.window_, kind));
}

void Control::place()
{
    const int offset = container_ ? container_->clientOffsetPx() : 0;
    window_->setGeometry({offset + toPx(left_), offset + toPx(top_), toPx(width_), toPx(height_)});
}

PixelRect Control::rectPx() const { return {0, 0, toPx(width_), toPx(height_)}; }

void Control::Move(float left, float top)
{
    left_ = left;
    top_ = top;
    place();
}

void Control::Move(float left, float top, float width, float height)
{
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    place();
}

void Control::setWidth(float width)
{
    width_ = width;
    place();
}

void Control::setHeight(float height)
{
    height_ = height;
    place();
}

void Control::setVisible(bool visible)
{
    visible_ = visible;
    window_->setVisible(visible);
}

void Control::setMousePointer(MousePointer pointer) { window_->setCursor(pointer); }

void Control::refresh() { window_->update(); }

void Clickable::pressed(std::int16_t button, std::int16_t shift, PixelPoint at)
{
    if (MouseDown)
        MouseDown(button, shift, toTwips(at.x), toTwips(at.y));
}

void Clickable::clicked()
{
    if (Click)
        Click();
}

PictureBox::PictureBox(Control &container) { createChild(container, body::ChildKind::Opaque); }

void PictureBox::setBackColor(Color color)
{
    backColor_ = color;
    refresh();
}

void PictureBox::setPicture(const Picture &picture)
{
    picture_ = picture;
    if (autoSize_ && !picture.isNull()) {
        width_ = toTwips(picture.widthPx() + 2 * clientOffsetPx());
        height_ = toTwips(picture.heightPx() + 2 * clientOffsetPx());
        place();
    }
    refresh();
}

void PictureBox::setBorderStyle(BorderStyle border)
{
    border_ = border;
    refresh();
}

void PictureBox::paint(body::Canvas &canvas)
{
    canvas.fill(rectPx(), backColor_);
    const int offset = clientOffsetPx();
    if (!picture_.isNull())
        canvas.drawImage(picture_.image(), {offset, offset});
    if (border_ == BorderStyle::FixedSingle)
        canvas.frame(rectPx(), RGB(0, 0, 0));
}

Image::Image(Control &container) { createChild(container, body::ChildKind::Transparent); }

void Image::setPicture(const Picture &picture)
{
    picture_ = picture;
    width_ = toTwips(picture.widthPx());
    height_ = toTwips(picture.heightPx());
    place();
    refresh();
}

void Image::paint(body::Canvas &canvas)
{
    if (!picture_.isNull())
        canvas.drawImage(picture_.image(), {0, 0});
}

Label::Label(Control &container) { createChild(container, body::ChildKind::Transparent); }

void Label::setCaption(const std::string &caption)
{
    caption_ = caption;
    refresh();
}

void Label::setForeColor(Color color)
{
    foreColor_ = color;
    refresh();
}

void Label::setAlignment(Alignment alignment)
{
    alignment_ = alignment;
    refresh();
}

void Label::setFont(const std::string &family, float points, bool bold)
{
    // Points at 96 dots per inch, the resolution twips are converted at.
    font_ = {family, static_cast<int>(std::lrint(points * 96.0f / 72.0f)), bold};
    refresh();
}

void Label::paint(body::Canvas &canvas)
{
    const auto align = alignment_ == Alignment::Center ? body::TextAlign::Center : body::TextAlign::Left;
    canvas.drawText(rectPx(), caption_, font_, foreColor_, align);
}

CommandButton::CommandButton(Control &container, const std::string &caption)
{
    create(&container, body::createButton(*container.hWnd(), caption, [this] { press(); }));
}

void CommandButton::press()
{
    if (Click)
        Click();
}

Line::Line(Control &container, float x1, float y1, float x2, float y2, Color color) : color_(color)
{
    createChild(container, body::ChildKind::Decoration);
    Move(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1) + kTwipsPerPixel, std::abs(y2 - y1) + kTwipsPerPixel);
}

void Line::paint(body::Canvas &canvas) { canvas.fill(rectPx(), color_); }

} // namespace forms
