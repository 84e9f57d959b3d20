#pragma once
// What the game needs of the strip window: the verbs that show a game on it, and the sizes
// and places the game computes with. The strip implements it.

#include <cstdint>

namespace game {

// The faces of the ready panel in the middle of the strip.
enum class Panel {
    Click, // green "Click!": a plate is offered
    Ready, // yellow "Ready...": the throw is on its way
    Miss,  // yellow "Miss!!": the plate fell unhit
};

// A point on the screen, twips.
struct ScreenPoint {
    double x = 0;
    double y = 0;
};

class StripView {
public:
    virtual ~StripView() = default;

    // The strip's size, twips: the plate flies and the panel is centred in it.
    virtual float StripWidth() const = 0;
    virtual float StripHeight() const = 0;
    // The plate's size, twips.
    virtual float PlateWidth() const = 0;
    virtual float PlateHeight() const = 0;

    // Redraws the plate counter and the shell icons from the game state.
    virtual void Disp() = 0;
    // Shows the ready panel, centred in the strip, with the given face.
    virtual void ShowPanel(Panel panel) = 0;
    virtual void HidePanel() = 0;
    // Moves the plate's top-left corner to a point of the strip (twips) and shows it.
    virtual void ShowPlateAt(std::int32_t x, std::int32_t y) = 0;
    // Moves the plate; a hidden plate stays hidden.
    virtual void MovePlateTo(std::int32_t x, std::int32_t y) = 0;
    virtual void HidePlate() = 0;
    // The plate's top-left corner on the screen, where a hit's burst starts.
    virtual ScreenPoint PlateOnScreen() const = 0;
    // Moves the title out of the strip for a game, where it cannot be pressed.
    virtual void ParkTitle() = 0;
    // The idle strip: title in the middle, read-outs blank, shell icons hidden.
    virtual void ShowIdle() = 0;
    // Opens the popup menu at the press; returns when it has closed.
    virtual void OpenMenu() = 0;
};

} // namespace game
