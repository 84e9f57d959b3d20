#pragma once
// Screen helpers of the strip: the primary screen's work area in twips.

#include <cstdint>

namespace modSubroutine {

// Bottom edge of the primary screen's work area in twips: the strip stands on it.
std::int32_t ScreenBottom();
// Left edge and width of the primary screen's work area in twips: the strip spans them.
std::int32_t WorkAreaLeft();
std::int32_t WorkAreaWidth();

} // namespace modSubroutine
