#pragma once
// The pool of particle windows and the hit burst that flies them.

#include <array>
#include <cstdint>

#include "forms/Types.h"
#include "burst/frmDot.h"

namespace modBarn {

constexpr int kDotCount = 20;
// The longest wait of a burst's frame: the frame's work and the wait make up this together.
constexpr std::uint32_t kFrameMs = 40;

// The particle windows, created hidden at start-up and kept for the whole run (the
// runtime owns them).
extern std::array<frmDot *, kDotCount> Dots;

// Creates the twenty particle windows, each 30 x 30 twips, hidden.
void InitDots();

// Arms the idle particle in the slot for a flight from (StX, StY); a particle that is
// still flying is left as it is. Reseeds the random source first.
void LaunchDot(int index, double StX, double StY, double Angle, double Spd);

// The rectangle a particle flies in, screen twips: the primary screen's, wherever it lies on
// the desktop. A particle exactly on an edge is still inside.
struct Edges {
    float left = 0, top = 0, right = 0, bottom = 0;
};
Edges ScreenEdges();

// One motion step of a particle: moves it along its path, fades it, and retires it (Flag
// false) when it leaves the edges or fades out. Returns true when it retired.
bool StepDot(frmDot &dot, const Edges &edges);

// One motion step of every flying particle; retired ones are hidden.
void MoveDots();

// Bursts the plate at a screen point (twips): launches 19 particles in all directions
// and animates them, 40 ms a frame at most, until every one has retired. Messages are
// pumped once a frame, so other presses are handled meanwhile.
void Burst(double X, double Y);

// Puts the window above all others and shows it; true when that succeeded.
bool SetTopmost(forms::HWND window);

} // namespace modBarn
