// The virtual desktop: virtual clock, scripted presses delivered at the pump, answered boxes.

#include "tests/support/VirtualDesktop.h"

#include <QApplication>
#include <QDateTime>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <utility>

#include "forms/Form.h"
#include "game/GameState.h"

namespace {

// The window a press at this screen point goes to: an open popup or modal window
// first, then the topmost visible window under the point that takes input.
QWidget *windowAt(QPoint screenPx)
{
    if (QWidget *popup = QApplication::activePopupWidget())
        return popup;
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    QWidget *found = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && !w->windowFlags().testFlag(Qt::WindowTransparentForInput)
            && w->geometry().contains(screenPx))
            found = w;
    }
    return found;
}

void postClick(QWidget *top, QPoint screenPx, Qt::MouseButton button)
{
    QWindow *window = top->windowHandle();
    if (!window)
        return;
    const QPointF local = top->mapFromGlobal(QPointF(screenPx));
    const QPointF global(screenPx);
    QCoreApplication::postEvent(window, new QMouseEvent(QEvent::MouseButtonPress, local, global, button, button,
                                                        Qt::NoModifier));
    QCoreApplication::postEvent(window, new QMouseEvent(QEvent::MouseButtonRelease, local, global, button,
                                                        Qt::NoButton, Qt::NoModifier));
}

} // namespace

VirtualDesktop::VirtualDesktop(std::uint64_t seed)
{
    forms::SeedRandom(seed);
    Game = GameState{};
    auto &h = forms::hooks();
    h.sleep = [this](std::uint32_t ms) {
        if (onSleep)
            onSleep(clock_, ms);
        clock_ += ms;
    };
    h.tickCount = [this] { return static_cast<std::uint32_t>(clock_); };
    h.now = [this] {
        const QDateTime start(QDate(2026, 12, 7), QTime(10, 0, 0));
        const QDateTime t = start.addMSecs(static_cast<qint64>(clock_));
        return forms::DateTime{t.date().year(), t.date().month(), t.date().day(),
                               t.time().hour(), t.time().minute(), t.time().second()};
    };
    h.doEvents = [this] { pump(); };
    h.after = [this](std::uint32_t ms, std::function<void()> action) { timers_.emplace(clock_ + ms, std::move(action)); };
    h.msgBox = [this](const std::string &text) { messages.push_back(text); };
    h.popupMenu = [this](forms::Menu &menu) {
        if (onPopup)
            onPopup(menu);
    };
    h.showModal = [this](forms::Form &form) {
        if (onModal)
            onModal(form);
        else
            form.Unload();
    };
}

VirtualDesktop::~VirtualDesktop()
{
    forms::DestroyDefaultInstances();
    forms::resetHooks();
    Game = GameState{};
}

void VirtualDesktop::click(std::uint64_t atMs, QPoint screenPx, Qt::MouseButton button)
{
    script_.emplace(atMs, ScriptedClick{screenPx, button});
}

void VirtualDesktop::pump()
{
    ++pumps;
    while (!script_.empty() && script_.begin()->first <= clock_) {
        const ScriptedClick c = script_.begin()->second;
        script_.erase(script_.begin());
        if (QWidget *top = windowAt(c.screenPx))
            postClick(top, c.screenPx, c.button);
    }
    while (!timers_.empty() && timers_.begin()->first <= clock_) {
        const std::function<void()> action = std::move(timers_.begin()->second);
        timers_.erase(timers_.begin());
        action();
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void VirtualDesktop::idle(std::uint32_t ms)
{
    const std::uint64_t end = clock_ + ms;
    for (; !timers_.empty() && timers_.begin()->first <= end; pump())
        clock_ = std::max(clock_, timers_.begin()->first);
    clock_ = end;
    pump();
}
