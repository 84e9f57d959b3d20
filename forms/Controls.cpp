// Controls of the forms runtime: placing, showing and painting them.

#include "forms/Controls.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPushButton>

#include "forms/Widgets.h"

namespace forms {

namespace {

QFont fontFor(const std::string &family, float points, bool bold)
{
    QFont font(QString::fromStdString(family));
    // Points at 96 dots per inch, the resolution twips are converted at.
    font.setPixelSize(static_cast<int>(std::lrint(points * 96.0f / 72.0f)));
    font.setBold(bold);
    return font;
}

} // namespace

Control::~Control() = default;

void Control::create(Control *container, std::unique_ptr<QWidget> ownWidget)
{
    container_ = container;
    if (ownWidget) {
        owned_ = std::move(ownWidget);
    } else {
        owned_ = std::make_unique<ControlWidget>(*this, container ? container->widget_ : nullptr);
    }
    widget_ = owned_.get();
}

void Control::place()
{
    const int offset = container_ ? container_->clientOffsetPx() : 0;
    widget_->setGeometry(offset + toPx(left_), offset + toPx(top_), toPx(width_), toPx(height_));
}

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
    widget_->setVisible(visible);
}

void Control::setMousePointer(MousePointer pointer)
{
    switch (pointer) {
    case MousePointer::Default: widget_->unsetCursor(); break;
    case MousePointer::Arrow: widget_->setCursor(Qt::ArrowCursor); break;
    case MousePointer::Cross: widget_->setCursor(Qt::CrossCursor); break;
    }
}

void Control::refresh() { widget_->update(); }

void Clickable::pressed(std::int16_t button, std::int16_t shift, float x, float y)
{
    if (MouseDown)
        MouseDown(button, shift, x, y);
}

void Clickable::clicked()
{
    if (Click)
        Click();
}

PictureBox::PictureBox(Control &container) { create(&container); }

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

void PictureBox::paint(QPainter &painter)
{
    painter.fillRect(widget_->rect(), toQColor(backColor_));
    const int offset = clientOffsetPx();
    if (!picture_.isNull())
        painter.drawImage(offset, offset, picture_.image());
    if (border_ == BorderStyle::FixedSingle) {
        painter.setPen(QColor(0, 0, 0));
        painter.drawRect(widget_->rect().adjusted(0, 0, -1, -1));
    }
}

Image::Image(Control &container) { create(&container); }

void Image::setPicture(const Picture &picture)
{
    picture_ = picture;
    width_ = toTwips(picture.widthPx());
    height_ = toTwips(picture.heightPx());
    place();
    refresh();
}

void Image::paint(QPainter &painter)
{
    if (!picture_.isNull())
        painter.drawImage(0, 0, picture_.image());
}

Label::Label(Control &container)
{
    create(&container);
    // Labels have no window of their own: the pointer is their container's.
    widget_->setAttribute(Qt::WA_TranslucentBackground);
    // The default face: a Japanese sans serif on a 12-pixel line, the line height of the
    // 9-point interface font the label sizes were laid out for.
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(11);
    widget_->setFont(font);
}

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
    widget_->setFont(fontFor(family, points, bold));
}

void Label::paint(QPainter &painter)
{
    const QString text = QString::fromStdString(caption_);
    QRectF box = widget_->rect();
    // A caption a little wider than its box is narrowed to fit rather than cut or wrapped:
    // font widths differ from machine to machine, the boxes do not.
    const qreal advance = QFontMetricsF(widget_->font()).horizontalAdvance(text);
    if (advance > box.width() && advance > 0) {
        painter.scale(box.width() / advance, 1.0);
        box.setWidth(advance);
    }
    painter.setPen(toQColor(foreColor_));
    const Qt::Alignment horizontal = alignment_ == Alignment::Center ? Qt::AlignHCenter : Qt::AlignLeft;
    painter.drawText(box, horizontal | Qt::AlignTop | Qt::TextSingleLine, text);
}

CommandButton::CommandButton(Control &container, const std::string &caption)
{
    auto button = std::make_unique<QPushButton>(QString::fromStdString(caption), container.hWnd());
    QObject::connect(button.get(), &QPushButton::clicked, [this] { press(); });
    create(&container, std::move(button));
}

void CommandButton::press()
{
    if (Click)
        Click();
}

Line::Line(Control &container, float x1, float y1, float x2, float y2, Color color) : color_(color)
{
    create(&container);
    widget_->setAttribute(Qt::WA_TransparentForMouseEvents);
    Move(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1) + kTwipsPerPixel, std::abs(y2 - y1) + kTwipsPerPixel);
}

void Line::paint(QPainter &painter) { painter.fillRect(widget_->rect(), toQColor(color_)); }

} // namespace forms
