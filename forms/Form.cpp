// Top-level windows of the forms runtime, and the registry of default instances.

#include "forms/Form.h"

#include <QCloseEvent>
#include <QCursor>
#include <QEventLoop>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMoveEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include <vector>

#include "forms/Menu.h"
#include "forms/Modal.h"
#include "forms/Platform.h"
#include "forms/Runtime.h"
#include "forms/Screen.h"
#include "forms/Widgets.h"

namespace forms {

namespace {

// Like the default instances themselves, never destroyed at exit (see detail::defaultSlot).
std::vector<std::function<void()>> &defaultInstances()
{
    static auto *destroyers = new std::vector<std::function<void()>>;
    return *destroyers;
}

std::vector<std::unique_ptr<Form>> &adoptedForms()
{
    static auto *forms = new std::vector<std::unique_ptr<Form>>;
    return *forms;
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

// A window manager that moves the strip anyway gets it put back this many times, then is
// left alone rather than fought.
constexpr int kMaxPutBacks = 3;
// How long after being shown, or put back, the strip asks the window system where it
// stands: long enough for a compositor to have placed and shown it.
constexpr int kPlaceCheckMs = 250;

} // namespace

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

    void moveEvent(QMoveEvent *event) override
    {
        ControlWidget::moveEvent(event);
        form_.movedByWindowSystem();
    }

    void changeEvent(QEvent *event) override
    {
        ControlWidget::changeEvent(event);
        // Neither the strip nor the dialog has a taskbar button, so nothing would bring
        // them back from minimised (and a minimised modal dialog leaves the strip frozen):
        // they come straight back. Some window managers offer minimising whatever the
        // window's hints say.
        const bool noTaskbarButton = form_.style_ == FormStyle::Strip || form_.style_ == FormStyle::Dialog;
        if (event->type() == QEvent::WindowStateChange && noTaskbarButton && isMinimized())
            QMetaObject::invokeMethod(this, [this] { showNormal(); }, Qt::QueuedConnection);
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
    // Particles move every frame: a shown one goes straight to the window system, which
    // also keeps it above the other windows.
    const bool sameSize = widget_->size() == QSize(toPx(width_), toPx(height_));
    if (style_ == FormStyle::Particle && sameSize && MoveNativeWindowAbove(widget_, toPx(left_), toPx(top_)))
        return;
    if (style_ == FormStyle::Strip) {
        // Equal least and greatest sizes: window managers offer no resizing or maximising.
        widget_->setFixedSize(toPx(width_), toPx(height_));
        putBacks_ = 0;
    }
    Control::place();
}

bool Form::standsInPlace(const QPoint &topLeft) const
{
    // A window manager that only lifts the strip a little, keeping it across the same
    // span, knows of a panel the program cannot see (compositors that publish no work
    // area; a user's rule for the strip puts it there): that place stands.
    const QPoint placed(toPx(left_), toPx(top_));
    const int lift = placed.y() - topLeft.y();
    return topLeft == placed || (topLeft.x() == placed.x() && lift > 0 && lift < toPx(height_));
}

bool Form::mayPutBack() const { return style_ == FormStyle::Strip && visible_ && putBacks_ < kMaxPutBacks; }

void Form::movedByWindowSystem()
{
    if (!mayPutBack() || standsInPlace(widget_->geometry().topLeft()))
        return;
    ++putBacks_;
    Control::place();
}

void Form::checkPlaceWithWindowSystem()
{
    // Qt learns of a move only from the window manager's notice, and not every one sends
    // it: weston, through XWayland, reparents the strip into a frame at the screen's
    // corner and moves the frame to the asked place only when the window's contents change
    // after the compositor has shown it. A strip painted once before that is shown in its
    // place, but for the X server, which clicks, the menu and the burst go by, it stays in
    // the corner. A move asked of the server itself makes the window manager update the
    // frame; Qt, which believes the strip is in place, would not send one.
    if (!mayPutBack())
        return;
    const std::optional<TwipsPoint> origin = NativeScreenOrigin(widget_);
    if (!origin || standsInPlace(QPoint(toPx(origin->x), toPx(origin->y))))
        return;
    ++putBacks_;
    if (MoveNativeWindow(widget_, toPx(left_), toPx(top_)))
        QTimer::singleShot(kPlaceCheckMs, widget_, [this] { checkPlaceWithWindowSystem(); });
}

TwipsPoint Form::ScreenOrigin() const { return NativeScreenOrigin(widget_).value_or(TwipsPoint{Left(), Top()}); }

void Form::paint(QPainter &painter)
{
    painter.fillRect(widget_->rect(), toQColor(backColor_));
    if (surface_)
        painter.drawImage(0, 0, *surface_);
}

void Form::PopupMenu(Menu &menu)
{
    const ModalScope modal;
    QMenu *popup = menu.qmenu();
    if (hooks().popupMenu) {
        if (menu.Click)
            menu.Click();
        hooks().popupMenu(menu);
        return;
    }
    // The menu's Click runs from aboutToShow, before the menu is drawn.
    const QPoint *press = lastPressGlobal();
    popup->exec(press ? *press : QCursor::pos());
}

void Form::Show()
{
    loaded_ = true;
    if (!shownOnce_) {
        shownOnce_ = true;
        // The dialog goes where the strip goes, so the strip is never left frozen behind
        // a modal window on another desktop.
        if (style_ == FormStyle::Strip || style_ == FormStyle::Dialog) {
            widget_->winId();
            SetDesktopStates(widget_);
        }
    }
    // Before the map, when the window manager takes the window: written after it, they
    // make some (weston) place the window anew, wherever they like.
    SetMotifHints(widget_, style_);
    visible_ = true;
    widget_->show();
    if (style_ == FormStyle::Strip)
        QTimer::singleShot(kPlaceCheckMs, widget_, [this] { checkPlaceWithWindowSystem(); });
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
    const ModalScope modal;
    widget_->setWindowModality(Qt::ApplicationModal);
    Show();
    // Centred on the whole screen with its frame, as far as the window system has told it
    // yet; panels do not shift it.
    const PixelRect screen = PrimaryScreen().geometry;
    const QPoint screenCentre = QRect(screen.left, screen.top, screen.width, screen.height).center();
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

void detail::registerDefaultInstance(std::function<void()> destroy)
{
    defaultInstances().push_back(std::move(destroy));
}

void detail::adopt(std::unique_ptr<Form> form) { adoptedForms().push_back(std::move(form)); }

void DestroyDefaultInstances()
{
    for (auto &destroy : defaultInstances())
        destroy();
    adoptedForms().clear();
}

} // namespace forms
