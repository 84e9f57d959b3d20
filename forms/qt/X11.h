#pragma once
// Every call the Qt body makes to the X server itself: the display check, the hints that
// tell a window manager how to treat a window, moves and stacking in one request, the
// server's own idea of a window's place, and a background the server paints.

#include <QPoint>

#include <functional>
#include <optional>
#include <string>

#include "forms/Types.h"

class QWidget;

namespace forms::x11 {

// Connects to the named display and keeps the connection until closeProbe; false when the
// server cannot be reached or refuses us.
bool openProbe(const std::string &display);
void closeProbe();

// Keeps a top-level window off the taskbar and pager and puts it on every virtual
// desktop; call before it is first shown.
void setDesktopStates(QWidget &window);

// Tells the window manager which functions and decorations a window of the style offers
// (the strip: only closing; the dialog: moving and closing), over the ones Qt derives
// from the window flags, which cannot forbid moving or resizing. Call it after the native
// window exists (Qt writes its own when it creates it) and before the window is mapped.
void setMotifHints(QWidget &window, FormStyle style);

enum class Stacking { Unchanged, Above };

// Moves a shown top-level window (logical pixels) in one request straight to the server,
// without the window-manager hints Qt rewrites on every move, and optionally stacks it
// above every other window. False where there is no X server.
bool moveWindow(QWidget &window, QPoint place, Stacking stacking);

// Where the server has a shown top-level window's client area, logical pixels; nothing
// where no X server answers.
std::optional<QPoint> serverPlace(const QWidget &window);

// Has the server fill the window with one colour, with no painting by the program. False
// where there is no X server.
bool setBackground(QWidget &window, Color color);

// A logical pixel coordinate in the server's device pixels, at the window's device-pixel
// ratio, on a screen whose edge `origin` is the same in both; rounded as Qt rounds its own
// conversions, so direct requests agree with Qt's placement.
int toDevicePixels(int logical, double ratio, int origin);
// The reverse: a device pixel coordinate in logical pixels.
int fromDevicePixels(int device, double ratio, int origin);

// For tests of the body: stand-ins for asking the server where a window is and for moves
// asked of it. Empty members ask the server.
struct ServerHooks {
    std::function<std::optional<QPoint>(const QWidget &window)> place;
    std::function<bool(QWidget &window, QPoint place, Stacking stacking)> move;
};
ServerHooks &serverHooks();

} // namespace forms::x11
