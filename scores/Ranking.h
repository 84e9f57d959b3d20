#pragma once
// The five-place high-score table: entering the score of a finished game.

#include <cstdint>

namespace modSubroutine {

// Result of RankScore when the score earned a place but could not be stored.
inline constexpr std::int16_t kScoreNotSaved = -1;

// Enters the score into the table of the score file when it earns a place, moving the lower
// entries down one; among equal scores the older entry stays higher. Returns the place taken
// (1 to 5), 0 when the score earned none, or kScoreNotSaved when the file could not be
// written; the file is then as it was before the call.
std::int16_t RankScore(std::int32_t score);

// RankScore, then refreshes the high-score lines of the popup menu. Called once at the end
// of a game. (Defined beside ListHiScore, so that the table itself needs no windows.)
std::int16_t UpdateHiScore(std::int32_t score);

} // namespace modSubroutine
