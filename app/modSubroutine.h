#pragma once
// Screen helpers of the strip.

#include <cstdint>

namespace modSubroutine {

// Bottom edge of the primary screen's work area in twips: the strip stands on it.
std::int32_t ScreenBottom();

} // namespace modSubroutine
