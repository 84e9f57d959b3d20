#pragma once
// The pool of particle windows and the hit burst that flies them.

#include <array>
#include <memory>

#include "burst/frmDot.h"

namespace modBarn {

constexpr int kDotCount = 20;

// The particle windows, created hidden at start-up and kept for the whole run.
extern std::array<std::unique_ptr<frmDot>, kDotCount> Dots;

// Creates the twenty particle windows, each 30 x 30 twips, hidden.
void InitDots();

// Arms the idle particle in the slot for a flight from (StX, StY); a particle that is
// still flying is left as it is. Reseeds the random source first.
void LaunchDot(int index, double StX, double StY, double Angle, double Spd);

} // namespace modBarn
