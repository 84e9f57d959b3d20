// The game's steps: new game, throw start, shots on the strip and the plate, game end.

#include "game/Game.h"

#include "forms/Language.h"
#include "forms/Runtime.h"
#include "forms/Screen.h"
#include "forms/Types.h"
#include "forms/Values.h"
#include "burst/modBarn.h"
#include "game/GameState.h"
#include "game/modMove.h"
#include "scores/Ranking.h"

namespace game {

namespace {
constexpr float kLaunchOffsetPx = 320;
constexpr std::int32_t kPerfectScore = 25;
} // namespace

void TitlePressed(StripView &strip, std::int16_t button)
{
    if (button == forms::vbRightButton)
        strip.OpenMenu();
    else
        NewGame(strip);
}

void NewGame(StripView &strip)
{
    Game.PlateFlying = false;
    forms::DoEvents();
    Game.ShellsLeft = 2;
    Game.PlateHit = false;
    Game.ShotOpen = false;
    Game.PlateNo = 1;
    strip.Disp();
    Game.Playing = true;
    strip.ParkTitle();
    strip.Disp();
    strip.ShowPanel(Panel::Click);
    Game.HitCount = 0;
    forms::DoEvents();
}

void StartThrow(StripView &strip)
{
    if (Game.PlateFlying)
        return;
    strip.HidePanel();
    Game.PlateHit = false;
    Game.PlateFlying = true;
    Game.ShotOpen = true;
    Game.ShellsLeft = 2;
    strip.Disp();
    strip.ShowPanel(Panel::Ready);
    forms::DoEvents();

    // The wait blocks: presses made meanwhile are handled by the pump after it.
    forms::Sleep(kReadyWaitMs + static_cast<std::uint32_t>(forms::Int(forms::Rnd() * float{kReadyWaitMs})));
    forms::DoEvents();
    strip.HidePanel();

    // Four draws in a fixed order: wait, side, horizontal step, vertical step.
    Game.PlateY = forms::CLng(strip.StripHeight() - strip.PlateHeight());
    Game.PlateX = forms::CLng(strip.StripWidth() - strip.PlateWidth()) / 2;
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
    modMove::MovePlate(strip, stepX, stepY);
}

void StripPressed(StripView &strip, std::int16_t button)
{
    if (button == forms::vbRightButton) {
        strip.OpenMenu();
        return;
    }
    // No look at ShellsLeft: spending below zero acts like zero.
    if (Game.Playing && Game.PlateFlying && Game.ShotOpen) {
        Game.ShellsLeft = Game.ShellsLeft - 1;
        strip.Disp();
    }
}

void PlatePressed(StripView &strip)
{
    if (!Game.ShotOpen || Game.ShellsLeft < 1 || Game.PlateHit)
        return;
    Game.ShellsLeft = Game.ShellsLeft - 1;
    strip.Disp();
    // Hiding the plate also ends the press's implicit mouse grab, so presses during the
    // burst reach the strip.
    strip.HidePlate();
    const ScreenPoint origin = strip.PlateOnScreen();
    modBarn::Burst(origin.x, origin.y);
    Game.PlateHit = true;
    Game.HitCount = Game.HitCount + 1;
}

std::string ResultMessage(std::int32_t hits, std::int16_t place)
{
    std::string text;
    if (hits == kPerfectScore)
        text += forms::Tr("Perfect!!") + "\r\n";
    text += forms::Tr("スコアは%1点でした", std::to_string(hits));
    if (place > 0)
        text += "\r\n" + forms::Tr("あなたは、第%1位にランキングされました", std::to_string(place));
    else if (place == modSubroutine::kScoreNotSaved)
        text += "\r\n" + forms::Tr("スコアを保存できませんでした");
    return text;
}

void EndGame(StripView &strip)
{
    // Ranked before the message, so the entry is stored when the player reads it.
    const std::int16_t place = modSubroutine::UpdateHiScore(Game.HitCount);
    forms::MsgBox(ResultMessage(Game.HitCount, place));
    Game.Playing = false;
    strip.HidePlate();
    Game.PlateNo = 0;
    strip.ShowIdle();
}

} // namespace game
