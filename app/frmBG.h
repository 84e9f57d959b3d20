#pragma once
// The strip: the game's only visible window, a band across the bottom of the primary
// screen's work area with the title, the plate counter, the cartridge read-out, the ready
// panel and the clay plate. It shows the game through the verbs the game asks of it.

#include <array>

#include "forms/Form.h"
#include "game/StripView.h"

class frmBG : public forms::Form, public game::StripView {
public:
    frmBG();
    ~frmBG() override;

    // Start-up: shapes the sprites, places and paints the strip, creates the particle
    // windows and lays out the idle strip.
    void Load();

    // What the game asks of the strip.
    float StripWidth() const override { return Width(); }
    float StripHeight() const override { return Height(); }
    float PlateWidth() const override { return SARA.Width(); }
    float PlateHeight() const override { return SARA.Height(); }
    // Redraws the plate counter and the two shell icons from the game state.
    void Disp() override;
    void ShowPanel(game::Panel panel) override;
    void HidePanel() override;
    void ShowPlateAt(std::int32_t x, std::int32_t y) override;
    void MovePlateTo(std::int32_t x, std::int32_t y) override;
    void HidePlate() override;
    game::ScreenPoint PlateOnScreen() const override;
    void ParkTitle() override;
    void ShowIdle() override;
    void OpenMenu() override;

    forms::PictureBox PicBG;              // hidden: the background picture, painted across the strip
    forms::Image Img;                     // the title "Clay pigeon shooting [ Start ]": press to play
    forms::Label Lstage;                  // the plate counter, "Stage：07/25"
    forms::Label Ltama;                   // "Cartridge：", in front of the shell icons
    std::array<forms::PictureBox, 2> pTama; // the two shell icons, loaded or spent
    forms::PictureBox SARA;               // the clay plate, shaped to its outline
    forms::PictureBox PicReady;           // the ready panel: "Click!", "Ready..." or "Miss!!"
    forms::Label Label1;                  // the ready panel's caption

private:
    // Spans the primary screen's work area, standing on its bottom edge.
    void placeOnScreen();
    void paintBackground();
    // Places the strip and its controls anew for a changed screen.
    void relayOut();
    // Blanks the read-outs, centres the title and hides the shell icons.
    void clearStatus();
    void centreTitle();
    void placeLabels();
    void centrePanel();
    // Puts the shell icons side by side right of the cartridge label.
    void placeShells();
    void dressShell(forms::PictureBox &icon, std::int16_t sprite);
};
