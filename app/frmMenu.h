#pragma once
// Holder of the popup menu: the high-score lines, the version dialog and Exit.

#include <array>

#include "app/forms/Forms.h"

class frmMenu : public forms::Form {
public:
    frmMenu();

    forms::Menu mpop;
    forms::Menu mh;
    std::array<forms::Menu, 5> mhiscore;
    forms::Menu sep003;
    forms::Menu mver;
    forms::Menu sep001;
    forms::Menu mend;

private:
    void mver_Click();
    void mend_Click();
};
