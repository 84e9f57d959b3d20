#include "app/modSubroutine.h"

#include "app/forms/Platform.h"
#include "app/forms/Values.h"

namespace modSubroutine {

std::int32_t ScreenBottom()
{
    // The work area's bottom edge, not its height: with a panel at the top or on a side
    // the strip still stands on the bottom of the screen.
    return forms::CLng(static_cast<double>(forms::WorkAreaBottomPx()) * forms::Screen::TwipsPerPixelY());
}

bool SetTopmost(forms::HWND window)
{
    return forms::SetWindowPos(window, forms::HWND_TOPMOST, 0, 0, 0, 0,
                               forms::SWP_NOSIZE | forms::SWP_NOMOVE | forms::SWP_SHOWWINDOW)
        != 0;
}

} // namespace modSubroutine
