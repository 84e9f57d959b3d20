// The runtime's body over Qt widgets: making windows, pictures, menus, message boxes, the
// event loop, timers, clocks, the screen, and the start of the program.

#include "forms/Body.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "forms/Form.h"
#include "forms/Menu.h"
#include "forms/StartupTrace.h"
#include "forms/qt/Display.h"
#include "forms/qt/Widgets.h"

namespace forms::body {

namespace {

using qt::ControlWidget;
using qt::FormWindow;

// A form's top-level widget: its close box (and Esc or Enter in a dialog) asks the form to
// close; moves and minimising go to the window-manager policy.
class FormWidget : public ControlWidget {
public:
    FormWidget(WindowEvents &events, FormStyle style) : ControlWidget(events, nullptr), style_(style) {}
    void keepWith(qt::WindowKeeper &keeper) { keeper_ = &keeper; }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        event->ignore();
        events_.closeRequested();
    }

    void moveEvent(QMoveEvent *event) override
    {
        ControlWidget::moveEvent(event);
        keeper_->moved();
    }

    void changeEvent(QEvent *event) override
    {
        ControlWidget::changeEvent(event);
        if (event->type() == QEvent::WindowStateChange)
            keeper_->stateChanged();
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        const int key = event->key();
        if (style_ == FormStyle::Dialog && (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)) {
            events_.closeRequested();
            return;
        }
        ControlWidget::keyPressEvent(event);
    }

private:
    FormStyle style_;
    qt::WindowKeeper *keeper_ = nullptr;
};

Qt::WindowFlags flagsFor(FormStyle style)
{
    switch (style) {
    case FormStyle::Strip:
        // An ordinary window without frame: keeps the position it is given and stacks normally.
        return Qt::Window | Qt::FramelessWindowHint;
    case FormStyle::Particle:
        // Override-redirect: no taskbar button, no placement by the window manager, above
        // the others; it never takes the focus or the clicks.
        return Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint
             | Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput;
    case FormStyle::Dialog:
        return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
             | Qt::MSWindowsFixedSizeDialogHint;
    case FormStyle::Hidden:
        break;
    }
    return Qt::Window;
}

// Builds the menu's items each time it opens, after its Click: the Click may rewrite them.
void fillWhenShown(QMenu &shown, Menu &menu)
{
    QObject::connect(&shown, &QMenu::aboutToShow, &shown, [&shown, &menu] {
        if (menu.Click)
            menu.Click();
        shown.clear();
        for (Menu *item : menu.items()) {
            const QString caption = QString::fromStdString(item->Caption());
            if (item->isSeparator()) {
                shown.addSeparator();
            } else if (!item->items().empty()) {
                fillWhenShown(*shown.addMenu(caption), *item);
            } else {
                QObject::connect(shown.addAction(caption), &QAction::triggered, [item] {
                    if (item->Click)
                        item->Click();
                });
            }
        }
    });
}

Qt::MouseButton qtButton(std::int16_t button)
{
    switch (button) {
    case vbRightButton: return Qt::RightButton;
    case vbMiddleButton: return Qt::MiddleButton;
    default: return Qt::LeftButton;
    }
}

} // namespace

std::shared_ptr<const Image> loadImage(const std::string &name)
{
    const QString path = QStringLiteral(":/") + QString::fromStdString(name);
    QImageReader reader(path, QFileInfo(path).suffix().toLatin1());
    // The name says the format: probing by content would load every image plugin, half
    // of what the pictures cost at start-up.
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (image.isNull())
        qFatal("cannot load the picture %s", name.c_str());
    // Pictures are pixel art: one image pixel is one logical pixel at any scale.
    image.setDevicePixelRatio(1.0);
    return std::make_shared<const qt::QtImage>(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

std::unique_ptr<Window> createForm(WindowEvents &events, FormStyle style)
{
    auto widget = std::make_unique<FormWidget>(events, style);
    FormWidget &shown = *widget;
    widget->setWindowFlags(flagsFor(style));
    if (style == FormStyle::Dialog)
        widget->setWindowModality(Qt::ApplicationModal);
    if (style == FormStyle::Particle) {
        widget->setAttribute(Qt::WA_ShowWithoutActivating);
        // The native window is made before the first burst (see FormWindow::setVisible), so
        // the first frame that shows it is not also the one that creates it.
        qt::makeNativeLater(*widget);
    }
    auto window = std::make_unique<FormWindow>(std::move(widget), style);
    shown.showFor(*window);
    shown.keepWith(window->keeper());
    return window;
}

std::unique_ptr<Window> createChild(WindowEvents &events, Window &container, ChildKind kind)
{
    auto widget = std::make_unique<ControlWidget>(events, &static_cast<qt::Window &>(container).widget());
    ControlWidget &shown = *widget;
    switch (kind) {
    case ChildKind::Opaque: break;
    case ChildKind::Transparent: widget->setAttribute(Qt::WA_TranslucentBackground); break;
    case ChildKind::Decoration: widget->setAttribute(Qt::WA_TransparentForMouseEvents); break;
    }
    auto window = std::make_unique<qt::Window>(std::move(widget));
    shown.showFor(*window);
    return window;
}

std::unique_ptr<Window> createButton(Window &container, const std::string &caption, std::function<void()> pressed)
{
    auto button = std::make_unique<QPushButton>(QString::fromStdString(caption),
                                                &static_cast<qt::Window &>(container).widget());
    QObject::connect(button.get(), &QPushButton::clicked, std::move(pressed));
    return std::make_unique<qt::Window>(std::move(button));
}

void popupMenu(Menu &menu)
{
    QMenu shown;
    fillWhenShown(shown, menu);
    const QPoint *press = qt::lastPressGlobal();
    shown.exec(press ? *press : QCursor::pos());
}

void messageBox(const std::string &title, const std::string &text)
{
    QString shown = QString::fromStdString(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title), shown, QMessageBox::Ok);
    box.exec();
}

void pumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Events posted during that pass, such as the repaint of a panel just shown, wait for
    // the next one; deliver them now, or the panel would appear only after the next wait.
    QCoreApplication::sendPostedEvents();
}

void runModalLoop(const std::function<bool()> &finished)
{
    QEventLoop loop;
    while (!finished())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
}

void singleShot(std::uint32_t ms, std::function<void()> action)
{
    QTimer::singleShot(std::chrono::milliseconds(ms), qApp, std::move(action));
}

DateTime now()
{
    const QDateTime t = QDateTime::currentDateTime();
    const QDate d = t.date();
    const QTime h = t.time();
    return {d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second()};
}

std::string appPath()
{
    // Asked before the window system starts too (printing the scores): not through Qt,
    // which knows the executable only once its application object exists.
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string();
}

ScreenView primaryScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    return {qt::toPixelRect(screen->geometry()), qt::toPixelRect(screen->availableGeometry())};
}

void watchScreens(std::function<void()> changed)
{
    static std::vector<QMetaObject::Connection> primaryConnections;
    // Follows the signals of whichever screen is primary now.
    static const auto watchPrimary = [](const std::function<void()> &changed) {
        for (const auto &connection : primaryConnections)
            QObject::disconnect(connection);
        primaryConnections.clear();
        QScreen *screen = QGuiApplication::primaryScreen();
        if (!screen)
            return;
        primaryConnections = {
            QObject::connect(screen, &QScreen::geometryChanged, qApp, changed),
            QObject::connect(screen, &QScreen::availableGeometryChanged, qApp, changed),
            QObject::connect(screen, &QScreen::logicalDotsPerInchChanged, qApp, changed),
        };
    };
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, qApp, [changed] {
        watchPrimary(changed);
        changed();
    });
    watchPrimary(changed);
}

Window *topWindowAt(PixelPoint screen)
{
    const QPoint at(screen.x, screen.y);
    Window *found = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        const auto *control = dynamic_cast<ControlWidget *>(widget);
        if (control && control->window() && widget->isVisible()
            && !widget->windowFlags().testFlag(Qt::WindowTransparentForInput) && widget->geometry().contains(at))
            found = control->window();
    }
    return found;
}

void pressAt(PixelPoint screen, std::int16_t button)
{
    // An open popup or modal window takes the press first, as it grabs the mouse.
    QWidget *top = QApplication::activePopupWidget();
    if (!top)
        top = QApplication::activeModalWidget();
    if (!top) {
        Window *window = topWindowAt(screen);
        top = window ? &static_cast<qt::Window *>(window)->widget() : nullptr;
    }
    QWindow *native = top ? top->windowHandle() : nullptr;
    if (!native)
        return;
    const QPointF global(screen.x, screen.y);
    const QPointF local = top->mapFromGlobal(global);
    const Qt::MouseButton pressed = qtButton(button);
    QCoreApplication::postEvent(native, new QMouseEvent(QEvent::MouseButtonPress, local, global, pressed, pressed,
                                                        Qt::NoModifier));
    QCoreApplication::postEvent(native, new QMouseEvent(QEvent::MouseButtonRelease, local, global, pressed,
                                                        Qt::NoButton, Qt::NoModifier));
}

std::vector<CommandLineOption> windowSystemOptions()
{
    return {
        {"platform", "NAME", "use Qt's platform plugin NAME (the default is xcb)"},
        {"display", "NAME", "show the game on the X display NAME instead of $DISPLAY"},
    };
}

std::optional<std::string> print(OutputStream stream, const std::string &text)
{
    // Written at once: a full disk or a closed pipe shows only when the buffer is flushed.
    std::FILE *file = stream == OutputStream::Output ? stdout : stderr;
    if (std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0)
        return std::nullopt;
    return std::strerror(errno);
}

int run(int argc, char **argv, const std::function<void()> &start)
{
    // Qt reads -platform and -display from argv itself; the platform goes into the
    // environment too, so that the display check sees it.
    const qt::WindowSystemOptions options = qt::readWindowSystemOptions(argc, argv);
    if (!options.platform.empty())
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(options.platform));
    if (const std::optional<std::string> problem = qt::chooseDisplay(options.display)) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }
    QApplication app(argc, argv);
    const qt::DisplayLossGuard guard;
    QApplication::setApplicationName("kestrin");
    startupTrace::mark("application");
    start();
    // A start that showed no window leaves nothing to run, and nothing the user could end.
    bool shown = false;
    for (const QWidget *widget : QApplication::topLevelWidgets())
        shown = shown || widget->isVisible();
    const int status = shown ? QApplication::exec() : 0;
    // The windows go while Qt is still there.
    DestroyDefaultInstances();
    return status;
}

} // namespace forms::body
