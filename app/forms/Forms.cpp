#include "app/forms/Forms.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEventLoop>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cmath>

#include "app/forms/Platform.h"

namespace forms {

namespace {

constexpr float kTwipsPerPixel = 15.0f;

int toPx(float twips) { return static_cast<int>(std::lrint(twips / kTwipsPerPixel)); }
float toTwips(double px) { return static_cast<float>(px * kTwipsPerPixel); }

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

// Where the last press happened, in screen pixels: popup menus open there. Taken from
// the event rather than QCursor, which posted events do not move.
QPoint g_lastPressGlobal;
bool g_havePress = false;

std::vector<std::function<void()>> &defaultInstances()
{
    static std::vector<std::function<void()>> destroyers;
    return destroyers;
}

// Hidden windows whose native window is made in idle time once the first window shows:
// making the particle pool's twenty native windows up front more than doubled the time
// until the strip appeared.
std::vector<QPointer<QWidget>> &pendingNativeWindows()
{
    static std::vector<QPointer<QWidget>> pending;
    return pending;
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

QFont fontFor(const std::string &family, float points, bool bold)
{
    QFont font(QString::fromStdString(family));
    // Points at 96 dots per inch, the resolution twips are converted at.
    font.setPixelSize(static_cast<int>(std::lrint(points * 96.0f / 72.0f)));
    font.setBold(bold);
    return font;
}

} // namespace

// The widget behind every control: paints through the control and turns presses into
// MouseDown and press-and-release into Click.
class ControlWidget : public QWidget {
public:
    ControlWidget(ControlEvents &events, QWidget *parent) : QWidget(parent), events_(events)
    {
        // Right presses are handled in MouseDown; a context-menu event would arrive again
        // after the press handler has returned.
        setContextMenuPolicy(Qt::PreventContextMenu);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        events_.paint(painter);
    }

    // A double click's second press arrives as a double-click event, which QWidget's
    // default passes on to mousePressEvent: every press is a press.
    void mousePressEvent(QMouseEvent *event) override
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

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        event->accept();
        if (event->button() != Qt::LeftButton || !clickArmed_)
            return;
        clickArmed_ = false;
        if (rect().contains(event->position().toPoint()))
            events_.clicked();
    }

private:
    ControlEvents &events_;
    bool clickArmed_ = false;
};

// A form's top-level window: its close box and Esc/Enter unload dialogs.
class FormWidget : public ControlWidget {
public:
    FormWidget(Form &form) : ControlWidget(form, nullptr), form_(form) {}

protected:
    void closeEvent(QCloseEvent *event) override
    {
        event->ignore();
        form_.closedByUser();
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        const int key = event->key();
        if (form_.style_ == FormStyle::Dialog
            && (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)) {
            form_.Unload();
            return;
        }
        ControlWidget::keyPressEvent(event);
    }

private:
    Form &form_;
};

// --- Screen and pictures -------------------------------------------------------------

namespace Screen {
float Width() { return toTwips(QGuiApplication::primaryScreen()->geometry().width()); }
float Height() { return toTwips(QGuiApplication::primaryScreen()->geometry().height()); }
float TwipsPerPixelX() { return kTwipsPerPixel; }
float TwipsPerPixelY() { return kTwipsPerPixel; }
} // namespace Screen

Picture Picture::Load(const std::string &resource)
{
    const QString path = QString::fromStdString(resource);
    QImageReader reader(path, QFileInfo(path).suffix().toLatin1());
    // The name says the format: probing by content would load every image plugin, half
    // of what the pictures cost at start-up.
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (image.isNull())
        qFatal("cannot load the picture %s", resource.c_str());
    // Pictures are pixel art: one image pixel is one logical pixel at any scale.
    image.setDevicePixelRatio(1.0);
    Picture picture;
    picture.image_ = std::make_shared<const QImage>(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    return picture;
}

int Picture::widthPx() const { return image_ ? image_->width() : 0; }
int Picture::heightPx() const { return image_ ? image_->height() : 0; }

// --- Control -------------------------------------------------------------------------

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

// --- Form ----------------------------------------------------------------------------

Form::Form(FormStyle style) : style_(style)
{
    auto widget = std::make_unique<FormWidget>(*this);
    switch (style) {
    case FormStyle::Strip:
        // An ordinary window without frame: keeps the position it is given and stacks normally.
        widget->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        break;
    case FormStyle::Particle:
        // Override-redirect: no taskbar button, no placement by the window manager, above
        // the others; it never takes the focus or the clicks.
        widget->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                               | Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus
                               | Qt::WindowTransparentForInput);
        widget->setAttribute(Qt::WA_ShowWithoutActivating);
        // The native window is made before the first burst (see Show), so the first frame
        // that shows it is not also the one that creates it.
        pendingNativeWindows().emplace_back(widget.get());
        break;
    case FormStyle::Dialog:
        widget->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                               | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
        break;
    case FormStyle::Hidden:
        widget->setWindowFlags(Qt::Window);
        break;
    }
    visible_ = false;
    create(nullptr, std::move(widget));
}

Form::~Form() = default;

void Form::setCaption(const std::string &caption)
{
    caption_ = caption;
    widget_->setWindowTitle(QString::fromStdString(caption));
}

void Form::setBackColor(Color color)
{
    backColor_ = color;
    // A particle shows nothing but its colour: the window system fills it, which saves
    // a paint through Qt's backing store for each of twenty windows every frame.
    if (style_ == FormStyle::Particle && SetNativeBackground(widget_, color))
        return;
    refresh();
}

void Form::setIcon(const Picture &icon) { widget_->setWindowIcon(QIcon(QPixmap::fromImage(icon.image()))); }

void Form::setClientSize(float width, float height)
{
    width_ = width;
    height_ = height;
    widget_->setFixedSize(toPx(width), toPx(height));
}

void Form::PaintPicture(const Picture &picture, float x1, float y1, float width1, float height1, float x2,
                        float y2, float width2, float height2)
{
    const QSize size(std::max(widget_->width(), 1), std::max(widget_->height(), 1));
    if (!surface_ || surface_->size() != size) {
        auto grown = std::make_unique<QImage>(size, QImage::Format_RGB32);
        grown->fill(toQColor(backColor_));
        if (surface_)
            QPainter(grown.get()).drawImage(0, 0, *surface_);
        surface_ = std::move(grown);
    }
    QPainter painter(surface_.get());
    // A plain copy without smoothing: each source pixel stays one solid block.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(toPx(x1), toPx(y1), toPx(width1), toPx(height1)), picture.image(),
                      QRectF(toPx(x2), toPx(y2), toPx(width2), toPx(height2)));
    refresh();
}

void Form::place()
{
    // Particles move every frame: a shown one goes straight to the window system.
    const bool sameSize = widget_->size() == QSize(toPx(width_), toPx(height_));
    if (style_ == FormStyle::Particle && sameSize && MoveNativeWindow(widget_, toPx(left_), toPx(top_)))
        return;
    Control::place();
}

void Form::paint(QPainter &painter)
{
    painter.fillRect(widget_->rect(), toQColor(backColor_));
    if (surface_)
        painter.drawImage(0, 0, *surface_);
}

void Form::PopupMenu(Menu &menu)
{
    QMenu *popup = menu.qmenu();
    if (hooks().popupMenu) {
        if (menu.Click)
            menu.Click();
        hooks().popupMenu(menu);
        return;
    }
    // The menu's Click runs from aboutToShow, before the menu is drawn.
    popup->exec(g_havePress ? g_lastPressGlobal : QCursor::pos());
}

void Form::Show()
{
    loaded_ = true;
    if (!shownOnce_) {
        shownOnce_ = true;
        if (style_ == FormStyle::Strip || style_ == FormStyle::Dialog) {
            widget_->winId();
            SetSkipTaskbar(widget_);
        }
    }
    visible_ = true;
    widget_->show();
    scheduleNativeWindows();
}

void Form::setVisible(bool visible)
{
    if (visible) {
        Show();
    } else {
        visible_ = false;
        widget_->hide();
    }
}

void Form::ShowModal()
{
    widget_->setWindowModality(Qt::ApplicationModal);
    Show();
    // Centred on the screen with its frame, as far as the window system has told it yet.
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    widget_->move(widget_->pos() + screenCentre - widget_->frameGeometry().center());
    if (hooks().showModal)
        hooks().showModal(*this);
    if (!loaded_)
        return;
    QEventLoop loop;
    quitModal_ = [&loop] { loop.quit(); };
    loop.exec();
    quitModal_ = nullptr;
}

void Form::Unload()
{
    loaded_ = false;
    visible_ = false;
    widget_->hide();
    if (quitModal_)
        quitModal_();
}

void Form::closedByUser()
{
    // The strip has no close box; a window manager's close request ends the game, since
    // a program without its only visible window would live on unseen.
    if (style_ == FormStyle::Strip)
        End();
    Unload();
}

// --- Controls ------------------------------------------------------------------------

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

// --- Menu ----------------------------------------------------------------------------

Menu::Menu(const std::string &caption, Menu *parent) : caption_(caption)
{
    if (parent)
        parent->addItem(this);
}

Menu::~Menu() = default;

void Menu::addItem(Menu *item) { items_.push_back(item); }

void Menu::setCaption(const std::string &caption)
{
    caption_ = caption;
    if (action_)
        action_->setText(QString::fromStdString(caption));
    if (menu_)
        menu_->setTitle(QString::fromStdString(caption));
}

QMenu *Menu::qmenu()
{
    if (menu_)
        return menu_.get();
    menu_ = std::make_unique<QMenu>(QString::fromStdString(caption_));
    QObject::connect(menu_.get(), &QMenu::aboutToShow, [this] {
        if (Click)
            Click();
    });
    for (Menu *item : items_) {
        if (item->isSeparator()) {
            menu_->addSeparator();
        } else if (!item->items_.empty()) {
            menu_->addMenu(item->qmenu());
        } else {
            item->action_ = std::make_unique<QAction>(QString::fromStdString(item->caption_));
            QObject::connect(item->action_.get(), &QAction::triggered, [item] {
                if (item->Click)
                    item->Click();
            });
            menu_->addAction(item->action_.get());
        }
    }
    return menu_.get();
}

// --- Default instances ---------------------------------------------------------------

void detail::registerDefaultInstance(std::function<void()> destroy)
{
    defaultInstances().push_back(std::move(destroy));
}

void DestroyDefaultInstances()
{
    for (auto &destroy : defaultInstances())
        destroy();
}

} // namespace forms
