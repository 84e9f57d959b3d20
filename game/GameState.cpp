// The game state and the phase its flags describe.

#include "game/GameState.h"

GameState Game;

Phase phase(const GameState &s)
{
    if (!s.Playing)
        return s.PlateFlying || s.ShotOpen ? Phase::Invalid : Phase::Idle;
    if (!s.PlateFlying)
        return s.ShotOpen ? Phase::Invalid : Phase::PlateOffered;
    return s.ShotOpen ? Phase::Flight : Phase::AfterFlight;
}
