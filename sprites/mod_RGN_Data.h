#pragma once
// The three sprite outlines and the sprite pictures.

#include <cstdint>

#include "forms/Controls.h"

namespace mod_RGN_Data {

// Each writes its outline record: the loaded shell, the spent shell (its one-pixel
// border only) and the clay plate.
void InitShellRgn();
void InitEmptyShellRgn();
void InitPlateRgn();

// Gives the control the sprite's picture from the hidden picture store.
void SetSpritePicture(std::int16_t index, forms::PictureBox &control);

} // namespace mod_RGN_Data
