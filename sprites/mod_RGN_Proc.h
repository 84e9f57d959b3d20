#pragma once
// Sprite outlines: the region-data table and the operations that size a control as a
// sprite and clip its window to the sprite's outline.

#include <array>
#include <cstdint>

#include "forms/Controls.h"

namespace mod_RGN_Proc {

// Sprite indexes: one selects a sprite's size, outline record and picture together.
constexpr std::int16_t kLoadedShell = 0;
constexpr std::int16_t kSpentShell = 1;
constexpr std::int16_t kPlate = 2;

// One outline record in the Win32 region-data layout: an 8-integer header
// (dwSize, iType, nCount, nRgnSize, bounding left/top/right/bottom), then room for
// ten rectangles of four integers each.
using RegionRecord = std::array<std::int32_t, 48>;

// The outline records, indexed by sprite index; filled once at start-up.
extern std::array<RegionRecord, 3> RgnData;

// Number of bytes of a record that describe it: the header plus its rectangles.
std::uint32_t RecordBytes(const RegionRecord &record);

// Fills the three outline records.
void InitRgnData();

// Gives the control the sprite's size in twips; other indexes change nothing.
void SizeSprite(std::int16_t index, forms::Control &control);

// Clips the control's window to the sprite's outline. If the outline cannot be made
// or applied, shows a message and ends the program.
void ApplyRgn(std::int16_t index, forms::Control &control);

} // namespace mod_RGN_Proc
