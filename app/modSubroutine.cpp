// Screen helpers of the strip: where the work area ends.

#include "app/modSubroutine.h"

#include "app/forms/Platform.h"
#include "app/forms/Screen.h"
#include "app/forms/Values.h"

namespace modSubroutine {

std::int32_t ScreenBottom()
{
    // The work area's bottom edge, not its height: with a panel at the top or on a side
    // the strip still stands on the bottom of the screen.
    return forms::CLng(static_cast<double>(forms::WorkAreaBottomPx()) * forms::Screen::TwipsPerPixelY());
}

} // namespace modSubroutine
