#pragma once
// The version dialog.

#include <array>

#include "forms/Form.h"

class frm_Version : public forms::Form {
public:
    frm_Version();

    forms::Image Image1;              // the program icon
    forms::Label Label3;              // the product title, "Kestrin"
    forms::Label Label2_1;            // "Version 1.0.0"
    forms::CommandButton Command1;    // "OK": closes the dialog
    std::array<forms::Line, 3> Line1; // the rules across the dialog (elements 2, 3 and 4)
    forms::Label Label1;              // the rights notice
};
