// The widget behind every control, and the conversions to Qt's pixels and colours.

#include "forms/Widgets.h"

#include <QMouseEvent>
#include <QPainter>

namespace forms {

namespace {

std::int16_t buttonNumber(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return vbLeftButton;
    case Qt::RightButton: return vbRightButton;
    case Qt::MiddleButton: return vbMiddleButton;
    default: return 0;
    }
}

std::int16_t shiftState(Qt::KeyboardModifiers modifiers)
{
    return static_cast<std::int16_t>((modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
                                     | (modifiers & Qt::AltModifier ? 4 : 0));
}

QPoint g_lastPressGlobal;
bool g_havePress = false;

} // namespace

QColor toQColor(Color c)
{
    if (c & static_cast<Color>(0x80000000)) {
        switch (c & 0xFF) {
        case 0x05: return QColor(255, 255, 255); // window background
        case 0x08: return QColor(0, 0, 0);       // window text
        case 0x12: return QColor(0, 0, 0);       // button text
        default: return QColor(240, 240, 240);   // button face
        }
    }
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

const QPoint *lastPressGlobal() { return g_havePress ? &g_lastPressGlobal : nullptr; }

ControlWidget::ControlWidget(ControlEvents &events, QWidget *parent) : QWidget(parent), events_(events)
{
    // Right presses are handled in MouseDown; a context-menu event would arrive again
    // after the press handler has returned.
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void ControlWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    events_.paint(painter);
}

// A double click's second press arrives as a double-click event, which QWidget's
// default passes on to mousePressEvent: every press is a press.
void ControlWidget::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    const std::int16_t button = buttonNumber(event->button());
    if (!button)
        return;
    g_lastPressGlobal = event->globalPosition().toPoint();
    g_havePress = true;
    if (button == vbLeftButton)
        clickArmed_ = true;
    events_.pressed(button, shiftState(event->modifiers()), toTwips(event->position().x()),
                    toTwips(event->position().y()));
}

void ControlWidget::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !clickArmed_)
        return;
    clickArmed_ = false;
    if (rect().contains(event->position().toPoint()))
        events_.clicked();
}

} // namespace forms
