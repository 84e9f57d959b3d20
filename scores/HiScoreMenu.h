#pragma once
// The five high-score items of the popup menu, refreshed from the score file.

#include <functional>

#include "scores/HiScoreLines.h"

namespace modSubroutine {

// Where ListHiScore puts the lines: the popup menu connects its five items here. Without
// a destination ListHiScore does nothing.
void SetHiScoreDestination(std::function<void(const HiScoreLineSet &lines)> destination);

// Rewrites the five high-score items of the popup menu from the score file. Called each time
// the menu opens and after each ranking update.
void ListHiScore();

} // namespace modSubroutine
