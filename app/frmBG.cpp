#include "app/frmBG.h"

#include "burst/modBarn.h"
#include "app/forms/Values.h"
#include "game/Game.h"
#include "game/GameState.h"
#include "app/StartupTrace.h"
#include "app/modSubroutine.h"
#include "sprites/mod_RGN_Data.h"
#include "sprites/mod_RGN_Proc.h"

using mod_RGN_Proc::kLoadedShell;
using mod_RGN_Proc::kPlate;
using mod_RGN_Proc::kSpentShell;

frmBG::frmBG()
    : forms::Form(forms::FormStyle::Strip), PicBG(*this), Img(*this), Lstage(*this), Ltama(*this),
      pTama{forms::PictureBox(*this), forms::PictureBox(*this)}, SARA(*this), PicReady(*this), Label1(PicReady)
{
    const forms::Color white = forms::RGB(255, 255, 255);
    setCaption("");
    setMousePointer(forms::MousePointer::Cross);

    PicBG.setAutoSize(true);
    PicBG.setPicture(forms::Picture::Load(":/background.bmp"));
    PicBG.setVisible(false);
    Img.setPicture(forms::Picture::Load(":/title.gif"));
    Img.setMousePointer(forms::MousePointer::Arrow);
    Lstage.setCaption("Stage：01/25");
    Lstage.setForeColor(white);
    Ltama.setCaption("Cartridge：");
    Ltama.setForeColor(white);
    for (auto &icon : pTama) {
        icon.setAutoSize(true);
        icon.setMousePointer(forms::MousePointer::Arrow);
    }
    SARA.setMousePointer(forms::MousePointer::Cross);
    PicReady.setBackColor(forms::RGB(255, 255, 192));
    PicReady.setBorderStyle(forms::BorderStyle::FixedSingle);
    PicReady.setMousePointer(forms::MousePointer::Arrow);
    PicReady.setVisible(false);
    Label1.setCaption("Ready...");
    Label1.setAlignment(forms::Alignment::Center);

    MouseDown = [](std::int16_t button, std::int16_t, float, float) { game::StripPressed(button); };
    Img.MouseDown = [](std::int16_t button, std::int16_t, float, float) { game::TitlePressed(button); };
    SARA.MouseDown = [](std::int16_t, std::int16_t, float, float) { game::PlatePressed(); };
    PicReady.Click = [] { game::StartThrow(); };
    Label1.Click = [] { game::StartThrow(); };

    PicBG.Move(2490, 1230);
    Img.Move(1920, 240);
    Lstage.Move(240, 1560, 975, 180);
    Ltama.Move(345, 1890, 795, 180);
    pTama[0].Move(600, 285, 405, 375);
    pTama[1].Move(1305, 240, 405, 375);
    SARA.Move(1470, 1725, 255, 225);
    PicReady.Move(2115, 2985, 825, 315);
    Label1.Move(30, 60, 735, 165);
}

void frmBG::Load()
{
    mod_RGN_Proc::InitRgnData();

    mod_RGN_Proc::SizeSprite(kPlate, SARA);
    mod_RGN_Proc::ApplyRgn(kPlate, SARA);
    mod_RGN_Data::SetSpritePicture(kPlate, SARA);
    SARA.setVisible(false);
    startupTrace::mark("sprites");

    // The height is set before the top is computed from it.
    setWidth(forms::Screen::Width());
    setHeight(PicBG.Height());
    Move(0, static_cast<float>(modSubroutine::ScreenBottom()) - Height());

    // The background's rows are one colour each: stretched across, it is a sky gradient.
    PaintPicture(PicBG.picture(), 0, 0, Width(), Height(), 0, 0, PicBG.Width(), PicBG.Height());

    startupTrace::mark("strip-painted");
    modBarn::InitDots();
    startupTrace::mark("particles");

    ClearStatus();
    // The icons get their size before their tops are computed from it.
    for (auto &icon : pTama)
        dressShell(icon, kLoadedShell);
    PlaceShells();
    startupTrace::mark("idle-layout");
}

void frmBG::ClearStatus()
{
    Ltama.setCaption("");
    Img.Move(static_cast<float>(forms::CLng(forms::Screen::Width() - Img.Width()) / 2),
             static_cast<float>(forms::CLng(Height() - Img.Height()) / 2));
    Lstage.setCaption("");
    Ltama.Move(50, Height() - Lstage.Height());
    Lstage.Move(Width() - Ltama.Width() - 300, Height() - Lstage.Height());
    pTama[0].setVisible(false);
    pTama[1].setVisible(false);
}

void frmBG::PlaceShells()
{
    pTama[0].Move(Ltama.Left() + Ltama.Width(), Height() - pTama[0].Height());
    pTama[1].Move(pTama[0].Left() + pTama[0].Width(), Height() - pTama[1].Height());
}

void frmBG::Disp()
{
    pTama[0].setVisible(true);
    pTama[1].setVisible(true);
    // Cartridges are used up from the left; other counts leave the icons as they are.
    switch (Game.ShellsLeft) {
    case 2:
        dressShell(pTama[0], kLoadedShell);
        dressShell(pTama[1], kLoadedShell);
        break;
    case 1:
        dressShell(pTama[0], kSpentShell);
        dressShell(pTama[1], kLoadedShell);
        break;
    case 0:
        dressShell(pTama[0], kSpentShell);
        dressShell(pTama[1], kSpentShell);
        break;
    default:
        break;
    }
    Ltama.setCaption("Cartridge：");
    Lstage.setCaption("Stage：" + forms::FormatDigits(Game.PlateNo, 2) + "/25");
}

void frmBG::dressShell(forms::PictureBox &icon, std::int16_t sprite)
{
    mod_RGN_Proc::SizeSprite(sprite, icon);
    mod_RGN_Proc::ApplyRgn(sprite, icon);
    mod_RGN_Data::SetSpritePicture(sprite, icon);
}
