#pragma once
// The hidden store of the three sprite pictures.

#include <array>

#include "app/forms/Forms.h"

class frm_RGN_Picture : public forms::Form {
public:
    frm_RGN_Picture();

    // Loaded shell, spent shell, clay plate: indexed by sprite index.
    std::array<forms::Image, 3> pPicture;
};
