#pragma once
// The strip: the game's only visible window, a full-width band along the bottom of the
// screen with the title, the plate counter, the cartridge read-out, the ready panel and
// the clay plate.

#include <array>

#include "app/forms/Forms.h"

class frmBG : public forms::Form {
public:
    frmBG();

    // Start-up: shapes the sprites, places and paints the strip, creates the particle
    // windows and lays out the idle strip.
    void Load();
    // Redraws the plate counter and the two shell icons from the game state.
    void Disp();
    // Blanks the read-outs, centres the title and hides the shell icons.
    void ClearStatus();
    // Puts the shell icons side by side right of the cartridge label.
    void PlaceShells();

    forms::PictureBox PicBG;
    forms::Image Img;
    forms::Label Lstage;
    forms::Label Ltama;
    std::array<forms::PictureBox, 2> pTama;
    forms::PictureBox SARA;
    forms::PictureBox PicReady;
    forms::Label Label1;

private:
    void dressShell(forms::PictureBox &icon, std::int16_t sprite);
};
