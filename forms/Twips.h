#pragma once
// Inside the runtime: the one conversion between the program's twips and logical pixels.

#include <cmath>

namespace forms {

// Twips are converted at 96 dots per inch: 15 twips to a logical pixel.
constexpr float kTwipsPerPixel = 15.0f;

inline int toPx(float twips) { return static_cast<int>(std::lrint(twips / kTwipsPerPixel)); }
inline float toTwips(double px) { return static_cast<float>(px * kTwipsPerPixel); }

} // namespace forms
