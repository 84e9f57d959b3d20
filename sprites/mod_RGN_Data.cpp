// The three outline records, written rectangle by rectangle, and the sprite pictures.

#include "sprites/mod_RGN_Data.h"

#include <initializer_list>

#include "sprites/frm_RGN_Picture.h"
#include "sprites/mod_RGN_Proc.h"

namespace mod_RGN_Data {

namespace {

struct Rect {
    std::int32_t left, top, right, bottom;
};

constexpr std::int32_t kHeaderSize = 32;
constexpr std::int32_t kRdhRectangles = 1;
constexpr std::int32_t kRectSize = 16;

// Writes the header and the rectangles of one record, in the record's own order.
void writeRecord(std::int16_t index, Rect bound, std::initializer_list<Rect> rects)
{
    auto &record = mod_RGN_Proc::RgnData.at(static_cast<std::size_t>(index));
    const auto count = static_cast<std::int32_t>(rects.size());
    record[0] = kHeaderSize;
    record[1] = kRdhRectangles;
    record[2] = count;
    record[3] = kRectSize * count;
    record[4] = bound.left;
    record[5] = bound.top;
    record[6] = bound.right;
    record[7] = bound.bottom;
    std::size_t at = 8;
    for (const Rect &r : rects) {
        record[at++] = r.left;
        record[at++] = r.top;
        record[at++] = r.right;
        record[at++] = r.bottom;
    }
}

} // namespace

void InitShellRgn()
{
    writeRecord(mod_RGN_Proc::kLoadedShell, {1, 1, 12, 21},
                {
                    {2, 1, 11, 19},  // body
                    {1, 19, 12, 21}, // rim
                });
}

void InitEmptyShellRgn()
{
    writeRecord(mod_RGN_Proc::kSpentShell, {1, 1, 12, 21},
                {
                    {2, 1, 11, 2},   // top edge
                    {2, 2, 3, 14},   // left edge of the body
                    {10, 2, 11, 14}, // right edge of the body
                    {2, 14, 11, 15}, // line between body and base
                    {2, 15, 3, 19},  // left edge of the base
                    {10, 15, 11, 19},// right edge of the base
                    {1, 19, 2, 20},  // left end of the rim
                    {11, 19, 12, 20},// right end of the rim
                    {1, 20, 12, 21}, // bottom of the rim
                });
}

void InitPlateRgn()
{
    // The bounding box starts one row above the dome.
    writeRecord(mod_RGN_Proc::kPlate, {1, 0, 13, 5},
                {
                    {4, 1, 10, 2},
                    {2, 2, 12, 3},
                    {1, 3, 13, 4},
                    {1, 4, 13, 5}, // the rim
                });
}

void SetSpritePicture(std::int16_t index, forms::PictureBox &control)
{
    control.setPicture(forms::Default<frm_RGN_Picture>().pPicture.at(static_cast<std::size_t>(index)).picture());
}

} // namespace mod_RGN_Data
