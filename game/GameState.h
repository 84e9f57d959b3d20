#pragma once
// The game's whole state: flags and counters read and written by the handlers and
// the flight loop. Every value is zero when the program starts.

#include <cstdint>

struct GameState {
    bool Playing = false;       // a 25-plate game is under way
    bool PlateHit = false;      // the plate of the current throw has been hit
    std::int32_t ShellsLeft = 0;// cartridges left for the current plate
    std::int32_t PlateNo = 0;   // current plate, 1 to 25; 0 outside a game
    std::int32_t HitCount = 0;  // plates hit in the game: the score
    bool PlateFlying = false;   // a throw is in progress
    bool ShotOpen = false;      // shots count for the current plate
    std::int32_t PlateX = 0;    // plate's top-left corner in strip twips
    std::int32_t PlateY = 0;
    float PlateSpeedX = 0;      // twips per frame; positive moves right
    float PlateSpeedY = 0;      // twips per frame; negative moves up, +1 each frame
};

// The one game of the program.
extern GameState Game;

// The phases the flags describe, for checks and tests.
enum class Phase { Idle, PlateOffered, Flight, AfterFlight, Invalid };

// Which phase the flags are in; Flight includes the ready wait before the plate shows,
// which the flags do not tell apart. Invalid means the flags contradict each other.
Phase phase(const GameState &state);
