#pragma once
// How the program's top-level windows meet the window manager: the hints it reads when it
// takes a window, a strip kept where the program put it, and no window left minimised.

#include <QRect>

#include "forms/Runtime.h"
#include "forms/Types.h"

class QWidget;

namespace forms::qt {

class WindowKeeper {
public:
    WindowKeeper(QWidget &window, FormStyle style) : window_(window), style_(style) {}

    // The program put the window here: a strip may be put back as often again.
    void placed(const QRect &place);
    // Before each show: the hints the window manager reads when it takes the window.
    void beforeShow();
    // After each show: a strip asks the window system shortly after where it stands.
    void afterShow();
    void hidden() { shown_ = false; }
    // Qt learnt that the window moved, or was minimised or restored.
    void moved();
    void stateChanged();

private:
    // Whether this is a shown strip that has not yet been put back as often as it may be.
    bool mayPutBack() const;
    // Whether a strip whose window starts at this pixel stands where the program put it.
    bool standsInPlace(const QPoint &topLeft) const;
    // Puts a strip the window system has elsewhere without telling Qt back through it.
    void checkPlaceWithWindowSystem();

    QWidget &window_;
    FormStyle style_;
    QRect place_;
    bool shown_ = false;
    bool shownOnce_ = false;
    int putBacks_ = 0; // put-backs since the program last placed the strip
    Timer placeCheck_;
};

} // namespace forms::qt
