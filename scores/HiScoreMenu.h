#pragma once
// The five high-score lines of the popup menu.

#include <array>
#include <functional>
#include <string>

namespace modSubroutine {

// The five lines, for places 1 to 5.
using HiScoreLineSet = std::array<std::string, 5>;

// The lines for places 1 to 5 as the score file holds them now, as UTF-8 captions:
// "１位：2004年05月12日 14:03:22  HIT数:18", or "１位：(なし)" for an empty place. A hand-edited
// value that is not a time stamp and a score is shown as it stands.
HiScoreLineSet HiScoreLines();

// Where ListHiScore puts the lines: the popup menu connects its five items here. Without
// a destination ListHiScore does nothing.
void SetHiScoreDestination(std::function<void(const HiScoreLineSet &lines)> destination);

// Rewrites the five high-score items of the popup menu from the score file. Called each time
// the menu opens and after each ranking update.
void ListHiScore();

} // namespace modSubroutine
