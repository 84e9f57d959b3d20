// The strip: its controls, start-up layout, press handlers and the game's verbs.

#include "app/frmBG.h"

#include "app/frmMenu.h"
#include "app/modSubroutine.h"
#include "burst/modBarn.h"
#include "forms/Language.h"
#include "forms/StartupTrace.h"
#include "forms/Values.h"
#include "game/Game.h"
#include "game/GameState.h"
#include "scores/HiScoreMenu.h"
#include "sprites/mod_RGN_Data.h"
#include "sprites/mod_RGN_Proc.h"

using mod_RGN_Proc::kLoadedShell;
using mod_RGN_Proc::kPlate;
using mod_RGN_Proc::kSpentShell;

namespace {
// The ready panel's colours: green to offer a plate, yellow while waiting and for a miss.
constexpr forms::Color kPanelGreen = 0xC0FFC0;
constexpr forms::Color kPanelYellow = 0xC0FFFF;
// Far outside the strip: the title is moved there during a game rather than hidden.
constexpr float kOutOfSight = -30000;
} // namespace

frmBG::frmBG()
    : forms::Form(forms::FormStyle::Strip), PicBG(*this), Img(*this), Lstage(*this), Ltama(*this),
      pTama{forms::PictureBox(*this), forms::PictureBox(*this)}, SARA(*this), PicReady(*this), Label1(PicReady)
{
    const forms::Color white = forms::RGB(255, 255, 255);
    setCaption("");
    setMousePointer(forms::MousePointer::Cross);

    PicBG.setAutoSize(true);
    PicBG.setPicture(forms::Picture::Load("background.bmp"));
    PicBG.setVisible(false);
    Img.setPicture(forms::Picture::Load("title.gif"));
    Img.setMousePointer(forms::MousePointer::Arrow);
    Lstage.setCaption(forms::Tr("Stage：%1/25", "01"));
    Lstage.setForeColor(white);
    Ltama.setCaption(forms::Tr("Cartridge："));
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
    Label1.setCaption(forms::Tr("Ready..."));
    Label1.setAlignment(forms::Alignment::Center);

    MouseDown = [this](std::int16_t button, std::int16_t, float, float) { game::StripPressed(*this, button); };
    Img.MouseDown = [this](std::int16_t button, std::int16_t, float, float) { game::TitlePressed(*this, button); };
    SARA.MouseDown = [this](std::int16_t, std::int16_t, float, float) { game::PlatePressed(*this); };
    PicReady.Click = [this] { game::StartThrow(*this); };
    Label1.Click = [this] { game::StartThrow(*this); };

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
    // The ranking refreshes the menu's score lines from here on, not only once the menu is
    // made: a refresh before the first popup makes the menu, and its lines are right when
    // it first opens.
    modSubroutine::SetHiScoreDestination(
        [](const modSubroutine::HiScoreLineSet &lines) { forms::Default<frmMenu>().ShowScoreLines(lines); });
    mod_RGN_Proc::InitRgnData();

    mod_RGN_Proc::SizeSprite(kPlate, SARA);
    mod_RGN_Proc::ApplyRgn(kPlate, SARA);
    mod_RGN_Data::SetSpritePicture(kPlate, SARA);
    SARA.setVisible(false);
    startupTrace::mark("sprites");

    placeOnScreen();
    paintBackground();

    startupTrace::mark("strip-painted");
    modBarn::InitDots();
    startupTrace::mark("particles");

    clearStatus();
    // The icons get their size before their tops are computed from it.
    for (auto &icon : pTama)
        dressShell(icon, kLoadedShell);
    placeShells();
    startupTrace::mark("idle-layout");

    // Another resolution, monitor or panel: the strip follows, idle or in a game.
    forms::OnScreenChanged([this] { relayOut(); });
}

frmBG::~frmBG() { forms::OnScreenChanged(nullptr); }

void frmBG::placeOnScreen()
{
    // The height is set before the top is computed from it.
    setWidth(static_cast<float>(modSubroutine::WorkAreaWidth()));
    setHeight(PicBG.Height());
    Move(static_cast<float>(modSubroutine::WorkAreaLeft()), static_cast<float>(modSubroutine::ScreenBottom()) - Height());
}

void frmBG::paintBackground()
{
    // The background's rows are one colour each: stretched across, it is a sky gradient.
    PaintPicture(PicBG.picture(), 0, 0, Width(), Height(), 0, 0, PicBG.Width(), PicBG.Height());
}

void frmBG::clearStatus()
{
    Ltama.setCaption("");
    centreTitle();
    Lstage.setCaption("");
    placeLabels();
    pTama[0].setVisible(false);
    pTama[1].setVisible(false);
}

void frmBG::centreTitle()
{
    Img.Move(static_cast<float>(forms::CLng(Width() - Img.Width()) / 2),
             static_cast<float>(forms::CLng(Height() - Img.Height()) / 2));
}

void frmBG::placeLabels()
{
    Ltama.Move(50, Height() - Lstage.Height());
    Lstage.Move(Width() - Ltama.Width() - 300, Height() - Lstage.Height());
}

void frmBG::centrePanel()
{
    PicReady.Move(static_cast<float>(forms::CLng(Width() - PicReady.Width()) / 2),
                  static_cast<float>(forms::CLng(Height() - PicReady.Height()) / 2));
}

void frmBG::relayOut()
{
    placeOnScreen();
    paintBackground();
    // Everything keeps its place relative to the strip's edges; a plate in flight flies
    // on in strip coordinates, the next throw starts from the new middle.
    if (Img.Left() != kOutOfSight)
        centreTitle();
    placeLabels();
    placeShells();
    centrePanel();
}

void frmBG::placeShells()
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
    Ltama.setCaption(forms::Tr("Cartridge："));
    Lstage.setCaption(forms::Tr("Stage：%1/25", forms::FormatDigits(Game.PlateNo, 2)));
}

void frmBG::dressShell(forms::PictureBox &icon, std::int16_t sprite)
{
    mod_RGN_Proc::SizeSprite(sprite, icon);
    mod_RGN_Proc::ApplyRgn(sprite, icon);
    mod_RGN_Data::SetSpritePicture(sprite, icon);
}

void frmBG::ShowPanel(game::Panel panel)
{
    centrePanel();
    switch (panel) {
    case game::Panel::Click:
        PicReady.setBackColor(kPanelGreen);
        Label1.setCaption(forms::Tr("Click!"));
        break;
    case game::Panel::Ready:
        PicReady.setBackColor(kPanelYellow);
        Label1.setCaption(forms::Tr("Ready..."));
        break;
    case game::Panel::Miss:
        PicReady.setBackColor(kPanelYellow);
        Label1.setCaption(forms::Tr("Miss!!"));
        break;
    }
    PicReady.setVisible(true);
}

void frmBG::HidePanel() { PicReady.setVisible(false); }

void frmBG::ShowPlateAt(std::int32_t x, std::int32_t y)
{
    MovePlateTo(x, y);
    SARA.setVisible(true);
}

void frmBG::MovePlateTo(std::int32_t x, std::int32_t y) { SARA.Move(static_cast<float>(x), static_cast<float>(y)); }

void frmBG::HidePlate() { SARA.setVisible(false); }

game::ScreenPoint frmBG::PlateOnScreen() const
{
    // Where the strip really is: a window manager may have moved it from where it was put.
    const forms::TwipsPoint strip = ScreenOrigin();
    return {SARA.Left() + strip.x, SARA.Top() + strip.y};
}

void frmBG::ParkTitle() { Img.Move(kOutOfSight, kOutOfSight); }

void frmBG::ShowIdle()
{
    clearStatus();
    placeShells();
}

void frmBG::OpenMenu() { PopupMenu(forms::Default<frmMenu>().mpop); }
