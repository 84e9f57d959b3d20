#pragma once
// The primary screen, in twips.

namespace forms::Screen {

float Width();  // twips
float Height(); // twips
float TwipsPerPixelX();
float TwipsPerPixelY();

} // namespace forms::Screen
