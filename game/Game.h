#pragma once
// The game's steps: a new game, the throw, the shots and the end of a game. Each runs
// from a press on the strip or one of its controls, and shows itself on that strip.

#include <cstdint>
#include <string>

#include "game/StripView.h"

namespace game {

// The wait between "Ready..." and the plate's launch: at least kReadyWaitMs, less than
// twice that.
constexpr std::uint32_t kReadyWaitMs = 1000;

// A press on the title: the right button opens the menu, any other starts a game.
void TitlePressed(StripView &strip, std::int16_t button);
// Starts a game of 25 plates: resets the state, moves the title out and offers plate 1.
void NewGame(StripView &strip);
// Throws the offered plate: "Ready...", a wait of one to two seconds, then the flight.
// Clicks while a throw is in progress do nothing.
void StartThrow(StripView &strip);
// A press on the strip itself: the right button opens the menu, any other spends a
// cartridge while shots are open.
void StripPressed(StripView &strip, std::int16_t button);
// A press on the plate, any button: a hit while a cartridge is left.
void PlatePressed(StripView &strip);
// After the 25th plate: ranks the score, tells it and returns the strip to idle.
void EndGame(StripView &strip);

// The result message for a score and the place the ranking gave it.
std::string ResultMessage(std::int32_t hits, std::int16_t place);

} // namespace game
