#pragma once
// Screen helpers of the strip.

#include <cstdint>

#include "app/forms/Forms.h"

namespace modSubroutine {

// Bottom edge of the primary screen's work area in twips: the strip stands on it.
std::int32_t ScreenBottom();

// Puts the window above all others and shows it; true when that succeeded.
bool SetTopmost(forms::HWND window);

} // namespace modSubroutine
