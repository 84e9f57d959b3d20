#pragma once
// The hidden store of the three sprite pictures, created the first time a sprite is dressed.

#include <array>

#include "forms/Form.h"

class frm_RGN_Picture : public forms::Form {
public:
    frm_RGN_Picture();

    // pPicture: the loaded shell, the spent shell and the clay plate, indexed by sprite index.
    std::array<forms::Image, 3> pPicture;
};
