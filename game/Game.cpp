#include "game/Game.h"

#include "burst/modBarn.h"
#include "app/forms/Platform.h"
#include "app/forms/Values.h"
#include "app/frmBG.h"
#include "app/frmMenu.h"
#include "game/GameState.h"
#include "game/modMove.h"
#include "scores/Ranking.h"

namespace game {

namespace {

constexpr float kOutOfSight = -30000;
constexpr float kLaunchOffsetPx = 320;
constexpr std::int32_t kPerfectScore = 25;

void centrePanel(frmBG &bg)
{
    bg.PicReady.Move(static_cast<float>(forms::CLng(bg.Width() - bg.PicReady.Width()) / 2),
                     static_cast<float>(forms::CLng(bg.Height() - bg.PicReady.Height()) / 2));
}

void openMenu(frmBG &bg) { bg.PopupMenu(forms::Default<frmMenu>().mpop); }

} // namespace

void OfferPlate(frmBG &bg)
{
    centrePanel(bg);
    bg.PicReady.setBackColor(kPanelGreen);
    bg.Label1.setCaption("Click!");
    bg.PicReady.setVisible(true);
}

void TitlePressed(std::int16_t button)
{
    if (button == forms::vbRightButton)
        openMenu(forms::Default<frmBG>());
    else
        NewGame();
}

void NewGame()
{
    frmBG &bg = forms::Default<frmBG>();
    Game.PlateFlying = false;
    forms::DoEvents();
    Game.ShellsLeft = 2;
    Game.PlateHit = false;
    Game.ShotOpen = false;
    Game.PlateNo = 1;
    bg.Disp();
    Game.Playing = true;
    // Moved far out rather than hidden: the title cannot be pressed during a game.
    bg.Img.Move(kOutOfSight, kOutOfSight);
    bg.Disp();
    OfferPlate(bg);
    Game.HitCount = 0;
    forms::DoEvents();
}

void StartThrow()
{
    if (Game.PlateFlying)
        return;
    frmBG &bg = forms::Default<frmBG>();
    bg.PicReady.setVisible(false);
    Game.PlateHit = false;
    Game.PlateFlying = true;
    Game.ShotOpen = true;
    Game.ShellsLeft = 2;
    bg.Disp();
    centrePanel(bg);
    bg.PicReady.setBackColor(kPanelYellow);
    bg.Label1.setCaption("Ready...");
    bg.PicReady.setVisible(true);
    forms::DoEvents();

    // The wait blocks: presses made meanwhile are handled by the pump after it.
    forms::Sleep(static_cast<std::uint32_t>(1000 + forms::Int(forms::Rnd() * 1000.0f)));
    forms::DoEvents();
    bg.PicReady.setVisible(false);

    // Four draws in a fixed order: wait, side, horizontal step, vertical step.
    Game.PlateY = forms::CLng(bg.Height() - bg.SARA.Height());
    Game.PlateX = forms::CLng(forms::Screen::Width() - bg.SARA.Width()) / 2;
    const float offset = kLaunchOffsetPx * forms::Screen::TwipsPerPixelX();
    float stepX = 0;
    if (forms::Int(2.0f * forms::Rnd()) == 0) {
        Game.PlateX = forms::CLng(static_cast<double>(Game.PlateX) - offset);
        stepX = static_cast<float>(100 - forms::Int(30.0f * forms::Rnd()));
    } else {
        Game.PlateX = forms::CLng(offset + static_cast<double>(Game.PlateX));
        stepX = static_cast<float>(forms::Int(30.0f * forms::Rnd()) - 100);
    }
    const float stepY = static_cast<float>(forms::Int(20.0f * forms::Rnd()) - 40);
    modMove::MovePlate(stepX, stepY);
}

void StripPressed(std::int16_t button)
{
    frmBG &bg = forms::Default<frmBG>();
    if (button == forms::vbRightButton) {
        openMenu(bg);
        return;
    }
    // No look at ShellsLeft: spending below zero acts like zero.
    if (Game.Playing && Game.PlateFlying && Game.ShotOpen) {
        Game.ShellsLeft = Game.ShellsLeft - 1;
        bg.Disp();
    }
}

void PlatePressed()
{
    if (!Game.ShotOpen || Game.ShellsLeft < 1 || Game.PlateHit)
        return;
    frmBG &bg = forms::Default<frmBG>();
    Game.ShellsLeft = Game.ShellsLeft - 1;
    bg.Disp();
    // Hiding the plate also ends the press's implicit mouse grab, so presses during the
    // burst reach the strip.
    bg.SARA.setVisible(false);
    // Where the strip really is: a window manager may have moved it from where it was put.
    const forms::TwipsPoint strip = forms::ScreenOrigin(bg);
    modBarn::Burst(bg.SARA.Left() + strip.x, bg.SARA.Top() + strip.y);
    Game.PlateHit = true;
    Game.HitCount = Game.HitCount + 1;
}

std::string ResultMessage(std::int32_t hits, std::int16_t place)
{
    std::string text;
    if (hits == kPerfectScore)
        text += "Perfect!!\r\n";
    text += "スコアは" + std::to_string(hits) + "点でした";
    if (place > 0)
        text += "\r\nあなたは、第" + std::to_string(place) + "位にランキングされました";
    else if (place == modSubroutine::kScoreNotSaved)
        text += "\r\nスコアを保存できませんでした";
    return text;
}

void EndGame()
{
    frmBG &bg = forms::Default<frmBG>();
    // Ranked before the message, so the entry is stored when the player reads it.
    const std::int16_t place = modSubroutine::UpdateHiScore(Game.HitCount);
    forms::MsgBox(ResultMessage(Game.HitCount, place));
    Game.Playing = false;
    bg.SARA.setVisible(false);
    Game.PlateNo = 0;
    bg.ClearStatus();
    bg.PlaceShells();
}

} // namespace game
