// Sprite shaping: the outline table, sizing a control as a sprite and clipping it to its outline.

#include "sprites/mod_RGN_Proc.h"

#include "forms/Language.h"
#include "forms/Platform.h"
#include "forms/Runtime.h"
#include "sprites/mod_RGN_Data.h"

namespace mod_RGN_Proc {

std::array<RegionRecord, 3> RgnData{};

std::uint32_t RecordBytes(const RegionRecord &record)
{
    return static_cast<std::uint32_t>(record[0]) + static_cast<std::uint32_t>(record[3]);
}

void InitRgnData()
{
    mod_RGN_Data::InitShellRgn();
    mod_RGN_Data::InitEmptyShellRgn();
    mod_RGN_Data::InitPlateRgn();
}

void SizeSprite(std::int16_t index, forms::Control &control)
{
    switch (index) {
    case kLoadedShell:
    case kSpentShell:
        control.setHeight(330);
        control.setWidth(195);
        break;
    case kPlate:
        control.setHeight(120);
        control.setWidth(210);
        break;
    default:
        break;
    }
}

void ApplyRgn(std::int16_t index, forms::Control &control)
{
    static constexpr forms::XFORM identity{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
    const RegionRecord &record = RgnData.at(static_cast<std::size_t>(index));
    // The record's integers are handed over as the little-endian bytes the format expects.
    forms::HRGN region = forms::ExtCreateRegion(&identity, RecordBytes(record), record.data());
    if (!region) {
        forms::MsgBox(forms::Tr("It failed in reading of region data."));
        forms::End();
    }
    if (forms::SetWindowRgn(control.hWnd(), region, true) == 0) {
        forms::MsgBox(forms::Tr("It failed in plastic surgery of a window."));
        forms::End();
    }
}

} // namespace mod_RGN_Proc
