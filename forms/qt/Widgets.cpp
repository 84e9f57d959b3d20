// The Qt body's windows: widgets behind controls and forms, painting and presses.

#include "forms/qt/Widgets.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QTimer>

#include "forms/qt/X11.h"

namespace forms::qt {

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

// Hidden windows whose native window is made in idle time once the first window shows:
// making the particle pool's twenty native windows up front more than doubled the time
// until the strip appeared.
std::vector<QPointer<QWidget>> &pendingNativeWindows()
{
    static auto *pending = new std::vector<QPointer<QWidget>>;
    return *pending;
}

bool g_nativeWindowsScheduled = false;

// Makes one pending native window per pass of the event loop, so the strip's first paint
// and any press are not held up behind all of them.
void createNextNativeWindow()
{
    auto &pending = pendingNativeWindows();
    while (!pending.empty() && !pending.back())
        pending.pop_back();
    g_nativeWindowsScheduled = !pending.empty();
    if (pending.empty())
        return;
    const QPointer<QWidget> next = pending.back();
    pending.pop_back();
    next->winId();
    QTimer::singleShot(0, createNextNativeWindow);
}

void scheduleNativeWindows()
{
    if (g_nativeWindowsScheduled || pendingNativeWindows().empty())
        return;
    g_nativeWindowsScheduled = true;
    QTimer::singleShot(0, createNextNativeWindow);
}

// Qt tells its accessibility bridge of each widget it shows, and the bridge's first word
// with the session bus, which may be slow or not answer at all, holds the program up. A
// window shows its children before it maps itself: the first window to show is mapped
// with its children held back, which then follow.
void showBeforeItsChildren(QWidget &window)
{
    static bool bridgeStarted = false;
    if (bridgeStarted)
        return window.show();
    std::vector<QWidget *> heldBack;
    for (QWidget *child : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow() && !child->isHidden()) {
            child->hide();
            heldBack.push_back(child);
        }
    }
    window.show();
    bridgeStarted = true;
    for (QWidget *child : heldBack)
        child->show();
}

QPoint g_lastPressGlobal;
bool g_havePress = false;

// Drawing on a widget while it paints.
class Canvas : public body::Canvas {
public:
    explicit Canvas(QPainter &painter) : painter_(painter) {}

    void fill(const PixelRect &rect, Color color) override { painter_.fillRect(toQRect(rect), toQColor(color)); }

    void frame(const PixelRect &rect, Color color) override
    {
        painter_.setPen(toQColor(color));
        painter_.drawRect(toQRect(rect).adjusted(0, 0, -1, -1));
    }

    void drawImage(const body::Image &image, PixelPoint at) override { painter_.drawImage(at.x, at.y, qimage(image)); }

    void drawText(const PixelRect &box, const std::string &text, const body::Font &font, Color color,
                  body::TextAlign align) override
    {
        QFont face(QString::fromStdString(font.family));
        face.setPixelSize(font.pixelSize);
        face.setBold(font.bold);
        painter_.save();
        painter_.setFont(face);
        const QString shown = QString::fromStdString(text);
        QRectF area = toQRect(box);
        const qreal advance = QFontMetricsF(painter_.font()).horizontalAdvance(shown);
        if (advance > area.width() && advance > 0) {
            painter_.translate(area.left(), 0);
            painter_.scale(area.width() / advance, 1.0);
            area = QRectF(0, area.top(), advance, area.height());
        }
        painter_.setPen(toQColor(color));
        const Qt::Alignment horizontal = align == body::TextAlign::Center ? Qt::AlignHCenter : Qt::AlignLeft;
        painter_.drawText(area, horizontal | Qt::AlignTop | Qt::TextSingleLine, shown);
        painter_.restore();
    }

private:
    QPainter &painter_;
};

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

void makeNativeLater(QWidget &window) { pendingNativeWindows().emplace_back(&window); }

const QPoint *lastPressGlobal() { return g_havePress ? &g_lastPressGlobal : nullptr; }

void Surface::copy(const body::Image &image, const PixelRect &source, const PixelRect &target, Color background)
{
    const QSize size(std::max(widget_.width(), 1), std::max(widget_.height(), 1));
    if (image_.size() != size) {
        QImage grown(size, QImage::Format_RGB32);
        grown.fill(toQColor(background));
        if (!image_.isNull())
            QPainter(&grown).drawImage(0, 0, image_);
        image_ = std::move(grown);
    }
    QPainter painter(&image_);
    // A plain copy without smoothing: each source pixel stays one solid block.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(toQRect(target)), qimage(image), QRectF(toQRect(source)));
}

void Window::setCursor(MousePointer pointer)
{
    switch (pointer) {
    case MousePointer::Default: widget_->unsetCursor(); break;
    case MousePointer::Arrow: widget_->setCursor(Qt::ArrowCursor); break;
    case MousePointer::Cross: widget_->setCursor(Qt::CrossCursor); break;
    }
}

void Window::setShape(const std::vector<PixelRect> &rects)
{
    if (rects.empty())
        return widget_->clearMask();
    QRegion shape;
    for (const PixelRect &r : rects)
        shape += toQRect(r);
    widget_->setMask(shape);
}

body::Surface &Window::surface()
{
    if (!surface_)
        surface_ = std::make_unique<Surface>(*widget_);
    return *surface_;
}

void Window::setTitle(const std::string &title) { widget_->setWindowTitle(QString::fromStdString(title)); }

void Window::setIcon(const body::Image &icon) { widget_->setWindowIcon(QIcon(QPixmap::fromImage(qimage(icon)))); }

bool Window::setNativeBackground(Color color) { return x11::setBackground(*widget_, color); }

void Window::raiseAboveAll()
{
    // Offscreen windows have no stacking order to change.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        widget_->raise();
}

std::optional<PixelPoint> Window::screenOrigin() const
{
    const std::optional<QPoint> place = x11::serverPlace(*widget_);
    if (!place)
        return std::nullopt;
    return PixelPoint{place->x(), place->y()};
}

void Window::centreModal(const PixelRect &on)
{
    // Dialogs are made modal when they are made (see createForm): Qt takes the modality
    // only before a window is shown.
    widget_->move(widget_->pos() + toQRect(on).center() - widget_->frameGeometry().center());
}

PixelRect Window::screenRect() const
{
    return toPixelRect(QRect(widget_->mapToGlobal(QPoint(0, 0)), widget_->size()));
}

std::vector<PixelRect> Window::shape() const
{
    std::vector<PixelRect> rects;
    for (const QRect &r : widget_->mask())
        rects.push_back(toPixelRect(r));
    return rects;
}

std::vector<Color> Window::grab() const
{
    const QImage shot = widget_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    std::vector<Color> pixels;
    pixels.reserve(static_cast<std::size_t>(shot.width()) * static_cast<std::size_t>(shot.height()));
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb p = shot.pixel(x, y);
            pixels.push_back(RGB(qRed(p), qGreen(p), qBlue(p)));
        }
    return pixels;
}

FormWindow::FormWindow(std::unique_ptr<QWidget> widget, FormStyle style)
    : Window(std::move(widget)), style_(style), keeper_(this->widget(), style)
{
}

void FormWindow::setGeometry(const PixelRect &rect)
{
    const QRect place = toQRect(rect);
    // Particles move every frame: a shown one goes straight to the window system, which
    // also keeps it above the other windows.
    if (style_ == FormStyle::Particle && widget().size() == place.size()
        && x11::moveWindow(widget(), place.topLeft(), x11::Stacking::Above))
        return;
    // Equal least and greatest sizes: window managers offer no resizing or maximising.
    if (style_ == FormStyle::Strip || style_ == FormStyle::Dialog)
        widget().setFixedSize(place.size());
    // A dialog is placed when it is shown modal (centreModal), after the window manager
    // has taken it: a place given before would be its frame's, a title bar off.
    if (style_ == FormStyle::Dialog)
        return;
    keeper_.placed(place);
    Window::setGeometry(rect);
}

void FormWindow::setVisible(bool visible)
{
    if (!visible) {
        keeper_.hidden();
        return widget().hide();
    }
    keeper_.beforeShow();
    showBeforeItsChildren(widget());
    keeper_.afterShow();
    scheduleNativeWindows();
}

ControlWidget::ControlWidget(body::WindowEvents &events, QWidget *parent) : QWidget(parent), events_(events)
{
    // Right presses are handled in MouseDown; a context-menu event would arrive again
    // after the press handler has returned.
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void ControlWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Canvas canvas(painter);
    events_.paint(canvas);
    if (const QImage *surface = window_ ? window_->surfaceImage() : nullptr)
        painter.drawImage(0, 0, *surface);
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
    const QPoint at = event->position().toPoint();
    events_.pressed(button, shiftState(event->modifiers()), {at.x(), at.y()});
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

} // namespace forms::qt
