#pragma once
// The version dialog.

#include <array>

#include "app/forms/Forms.h"

class frm_Version : public forms::Form {
public:
    frm_Version();

    forms::Image Image1;
    forms::Label Label3;
    forms::Label Label2_1;
    forms::CommandButton Command1;
    std::array<forms::Line, 3> Line1; // elements 2, 3 and 4
    forms::Label Label1;
};
