// The plate's flight: the frame step, the frame loop and the end of each plate.

#include "game/modMove.h"

#include "forms/Runtime.h"
#include "forms/Values.h"
#include "game/Game.h"

namespace modMove {

namespace {
constexpr std::uint32_t kPauseBeforeNextMs = 1000;
constexpr std::int32_t kPlatesPerGame = 25;
} // namespace

bool FlightStep(GameState &state, float stripHeight)
{
    state.PlateSpeedY = state.PlateSpeedY + 1;
    state.PlateX = forms::CLng(static_cast<double>(state.PlateX) + state.PlateSpeedX);
    state.PlateY = forms::CLng(static_cast<double>(state.PlateY) + state.PlateSpeedY);
    // Only falling out at the bottom ends a flight: a plate off to the side or above the
    // strip is merely out of sight.
    return !(stripHeight < static_cast<float>(state.PlateY));
}

void MovePlate(game::StripView &strip, float stepX, float stepY)
{
    forms::Randomize();
    Game.PlateSpeedY = stepY;
    Game.PlateSpeedX = stepX;
    strip.ShowPlateAt(Game.PlateX, Game.PlateY);

    // A hit hides the plate but does not end the loop: the hidden plate flies on.
    bool flying = true;
    while (flying) {
        flying = FlightStep(Game, strip.StripHeight());
        forms::DoEvents();
        strip.MovePlateTo(Game.PlateX, Game.PlateY);
        forms::DoEvents();
        forms::Sleep(kFrameMs);
    }
    Game.ShotOpen = false;

    if (!Game.PlateHit) {
        strip.ShowPanel(game::Panel::Miss);
        forms::DoEvents();
        forms::Sleep(kMissNoticeMs);
        forms::DoEvents();
        strip.HidePanel();
    }

    if (Game.PlateNo == kPlatesPerGame) {
        game::EndGame(strip);
        Game.PlateFlying = false;
        return;
    }

    Game.PlateNo = Game.PlateNo + 1;
    forms::DoEvents();
    forms::Sleep(kPauseBeforeNextMs);
    forms::DoEvents();
    // No pump between showing the panel and clearing PlateFlying: a click on the new
    // panel always throws the next plate.
    strip.ShowPanel(game::Panel::Click);
    Game.ShellsLeft = 2;
    strip.Disp();
    Game.PlateFlying = false;
}

} // namespace modMove
