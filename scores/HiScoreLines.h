#pragma once
// The five high-score lines as the popup menu shows them.

#include <array>
#include <string>

namespace modSubroutine {

// The five lines, for places 1 to 5.
using HiScoreLineSet = std::array<std::string, 5>;

// The lines for places 1 to 5 as the score file holds them now, as UTF-8 captions:
// "１位：2004年05月12日 14:03:22  HIT数:18", or "１位：(なし)" for an empty place. A hand-edited
// value that is not a time stamp and a score is shown as it stands.
HiScoreLineSet HiScoreLines();

} // namespace modSubroutine
