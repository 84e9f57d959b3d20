#pragma once
// The plate's flight.

#include <cstdint>

#include "game/GameState.h"
#include "game/StripView.h"

namespace modMove {

// The wait of each frame of the flight, and how long "Miss!!" stays after a missed plate.
constexpr std::uint32_t kFrameMs = 60;
constexpr std::uint32_t kMissNoticeMs = 1500;

// One frame of the flight: gravity, then the new position, rounded to whole twips.
// Returns false once the plate's top edge lies below the strip's bottom edge.
bool FlightStep(GameState &state, float stripHeight);

// Flies the plate from its launch position until it has fallen out of the strip,
// pumping messages twice a frame so the shots are handled; then shows "Miss!!" for a
// missed plate and offers the next plate or ends the game.
void MovePlate(game::StripView &strip, float stepX, float stepY);

} // namespace modMove
