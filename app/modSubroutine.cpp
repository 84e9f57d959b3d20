// Screen helpers of the strip: where the primary screen's work area lies, in twips.

#include "app/modSubroutine.h"

#include "forms/Screen.h"
#include "forms/Values.h"

namespace modSubroutine {

namespace {
std::int32_t toTwips(int px) { return forms::CLng(static_cast<double>(px) * forms::Screen::TwipsPerPixelX()); }
} // namespace

std::int32_t ScreenBottom()
{
    // The work area's bottom edge, not its height: with a panel at the top the strip still
    // stands on the bottom of the screen, and a screen below another starts lower down.
    return forms::CLng(static_cast<double>(forms::PrimaryScreen().workArea.bottom()) * forms::Screen::TwipsPerPixelY());
}

std::int32_t WorkAreaLeft() { return toTwips(forms::PrimaryScreen().workArea.left); }

std::int32_t WorkAreaWidth() { return toTwips(forms::PrimaryScreen().workArea.width); }

} // namespace modSubroutine
