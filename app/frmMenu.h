#pragma once
// Holder of the popup menu: the high-score lines, the version dialog and Exit.

#include <array>

#include "forms/Form.h"
#include "forms/Menu.h"
#include "scores/HiScoreLines.h"

class frmMenu : public forms::Form {
public:
    frmMenu();

    // Puts the five high-score lines into the score items, best first.
    void ShowScoreLines(const modSubroutine::HiScoreLineSet &lines);

    forms::Menu mpop;                  // the popup itself; its Click refreshes the score lines
    forms::Menu mh;                    // "ハイスコア": the submenu of the five best games
    std::array<forms::Menu, 5> mhiscore; // the score lines, best first
    forms::Menu sep003;                // separator
    forms::Menu mver;                  // "バージョン情報": opens the version dialog
    forms::Menu sep001;                // separator
    forms::Menu mend;                  // "終了": ends the program

private:
    void mver_Click();
    void mend_Click();
};
