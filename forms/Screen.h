#pragma once
// The primary screen: where it lies on the desktop, its work area, and its size in twips.
// The runtime follows changes of the screen (monitors, resolution, panels) and tells one
// receiver; tests script the screen through the hooks instead.

#include <functional>

namespace forms {

// A rectangle of the desktop in logical pixels; right and bottom are exclusive.
struct PixelRect {
    int left = 0, top = 0, width = 0, height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    friend bool operator==(const PixelRect &, const PixelRect &) = default;
};

// A point of the desktop in logical pixels.
struct PixelPoint {
    int x = 0, y = 0;
    friend bool operator==(const PixelPoint &, const PixelPoint &) = default;
};

// The primary screen's rectangle and its work area, the part that panels leave free.
struct ScreenView {
    PixelRect geometry;
    PixelRect workArea;
    friend bool operator==(const ScreenView &, const ScreenView &) = default;
};

// The primary screen as it is now.
ScreenView PrimaryScreen();

// Has `changed` called after each change of the primary screen, its rectangle or its work
// area (one receiver; nullptr for none). While a popup menu, a modal window or a message
// box is open the call waits until the last of them has closed.
void OnScreenChanged(std::function<void()> changed);

// Tells the receiver that the screen changed. The runtime calls it on the window system's
// notices; tests call it after scripting a new screen.
void ScreenChanged();

namespace Screen {
float Width();  // twips
float Height(); // twips
float TwipsPerPixelX();
float TwipsPerPixelY();
} // namespace Screen

} // namespace forms
