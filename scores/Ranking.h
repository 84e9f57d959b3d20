#pragma once
// The five-place high-score table: entering the score of a finished game.

#include <cstdint>
#include <string>

#include "scores/ScoreFile.h"

namespace modSubroutine {

// Result of RankScore when the score earned a place but could not be stored.
inline constexpr std::int16_t kScoreNotSaved = -1;

// Enters the score into the table text when it earns a place, moving the lower entries
// down one; among equal scores the older entry stays higher. Returns the place taken (1 to
// 5), 0 when the score earned none, or kScoreNotSaved when a value was refused (the text is
// then unusable).
std::int16_t EnterScore(std::string &table, std::int32_t score);

// EnterScore on the table in files, which is replaced once with the result. Returns the
// place taken, 0 when the score earned none, or kScoreNotSaved when the table could not be
// read or written; the table is then as it was before the call.
std::int16_t RankScoreIn(const ScoreFiles &files, std::int32_t score);

// RankScoreIn on the score file where it lives now.
std::int16_t RankScore(std::int32_t score);

// RankScore, then refreshes the high-score lines of the popup menu. Called once at the end
// of a game.
std::int16_t UpdateHiScore(std::int32_t score);

} // namespace modSubroutine
