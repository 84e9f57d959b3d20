// The window-manager policy of the program's top-level windows.

#include "forms/qt/Keeper.h"

#include <QWidget>

#include "forms/qt/X11.h"

namespace forms::qt {

namespace {

// A window manager that moves the strip anyway gets it put back this many times, then is
// left alone rather than fought.
constexpr int kMaxPutBacks = 3;
// How long after being shown, or put back, the strip asks the window system where it
// stands: long enough for a compositor to have placed and shown it.
constexpr std::uint32_t kPlaceCheckMs = 250;

} // namespace

void WindowKeeper::placed(const QRect &place)
{
    place_ = place;
    putBacks_ = 0;
}

void WindowKeeper::beforeShow()
{
    shown_ = true;
    // The dialog goes where the strip goes, so the strip is never left frozen behind a
    // modal window on another desktop.
    if (!shownOnce_ && (style_ == FormStyle::Strip || style_ == FormStyle::Dialog)) {
        window_.winId();
        x11::setDesktopStates(window_);
    }
    shownOnce_ = true;
    // Before the map, when the window manager takes the window: written after it, they
    // make some (weston) place the window anew, wherever they like.
    x11::setMotifHints(window_, style_);
}

void WindowKeeper::afterShow()
{
    if (style_ == FormStyle::Strip)
        placeCheck_.After(kPlaceCheckMs, [this] { checkPlaceWithWindowSystem(); });
}

bool WindowKeeper::mayPutBack() const { return style_ == FormStyle::Strip && shown_ && putBacks_ < kMaxPutBacks; }

bool WindowKeeper::standsInPlace(const QPoint &topLeft) const
{
    // A window manager that only lifts the strip a little, keeping it across the same
    // span, knows of a panel the program cannot see (compositors that publish no work
    // area; a user's rule for the strip puts it there): that place stands.
    const int lift = place_.y() - topLeft.y();
    return topLeft == place_.topLeft() || (topLeft.x() == place_.x() && lift > 0 && lift < place_.height());
}

void WindowKeeper::moved()
{
    if (!mayPutBack() || standsInPlace(window_.geometry().topLeft()))
        return;
    ++putBacks_;
    window_.setGeometry(place_);
}

void WindowKeeper::checkPlaceWithWindowSystem()
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
    const std::optional<QPoint> origin = x11::serverPlace(window_);
    if (!origin || standsInPlace(*origin))
        return;
    ++putBacks_;
    if (x11::moveWindow(window_, place_.topLeft(), x11::Stacking::Unchanged))
        placeCheck_.After(kPlaceCheckMs, [this] { checkPlaceWithWindowSystem(); });
}

void WindowKeeper::stateChanged()
{
    // Neither the strip nor the dialog has a taskbar button, so nothing would bring them
    // back from minimised (and a minimised modal dialog leaves the strip frozen): they
    // come straight back. Some window managers offer minimising whatever the window's
    // hints say.
    const bool noTaskbarButton = style_ == FormStyle::Strip || style_ == FormStyle::Dialog;
    if (noTaskbarButton && window_.isMinimized())
        QMetaObject::invokeMethod(&window_, [this] { window_.showNormal(); }, Qt::QueuedConnection);
}

} // namespace forms::qt
