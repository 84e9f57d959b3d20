// The hit burst: the particle pool, the motion step and the animation loop.

#include "burst/modBarn.h"

#include <cmath>
#include <memory>

#include "forms/Platform.h"
#include "forms/Runtime.h"
#include "forms/Screen.h"
#include "forms/Values.h"

namespace modBarn {

namespace {

// Not 180/pi: a sideways particle drifts slightly downwards besides its gravity.
constexpr double kDegreesPerRadian = 57.32484076433;
constexpr double kTimeStep = 0.15;
constexpr double kHalfGravity = 5.0;
constexpr int kBaseAngleStep = 20;
constexpr int kFullTurn = 360;

} // namespace

std::array<frmDot *, kDotCount> Dots{};

void InitDots()
{
    for (auto &dot : Dots) {
        dot = &forms::Adopt(std::make_unique<frmDot>());
        dot->setWidth(30);
        dot->setHeight(30);
    }
}

void LaunchDot(int index, double StX, double StY, double Angle, double Spd)
{
    forms::Randomize();
    frmDot &dot = *Dots.at(static_cast<std::size_t>(index));
    if (dot.Flag)
        return;
    dot.Flag = true;
    dot.StX = StX;
    dot.StY = StY;
    dot.Spd = Spd;
    dot.Angle = forms::CLng(Angle);
    dot.T = 0;
    dot.Color = 255;
    dot.ColMSpd = forms::Int(forms::Rnd() * 7) + 4;
}

Edges ScreenEdges()
{
    const forms::PixelRect screen = forms::PrimaryScreen().geometry;
    const float twips = forms::Screen::TwipsPerPixelX();
    return {static_cast<float>(screen.left) * twips, static_cast<float>(screen.top) * twips,
            static_cast<float>(screen.right()) * twips, static_cast<float>(screen.bottom()) * twips};
}

bool StepDot(frmDot &dot, const Edges &edges)
{
    const double theta = dot.Angle / kDegreesPerRadian;
    dot.Y = dot.StY + dot.Spd * dot.T * std::cos(theta) + kHalfGravity * dot.T * dot.T;
    dot.X = dot.StX + dot.Spd * dot.T * std::sin(theta);
    dot.T = dot.T + kTimeStep;
    const auto x = static_cast<float>(dot.X), y = static_cast<float>(dot.Y);
    bool retired = false;
    if (x > edges.right || y > edges.bottom || x < edges.left || y < edges.top) {
        dot.Flag = false;
        retired = true;
    }
    dot.Color = dot.Color - dot.ColMSpd;
    if (dot.Color < 0) {
        dot.Flag = false;
        retired = true;
    }
    return retired;
}

void MoveDots()
{
    const Edges edges = ScreenEdges();
    for (auto &dot : Dots) {
        if (dot->Flag && StepDot(*dot, edges))
            dot->setVisible(false);
    }
}

void Burst(double X, double Y)
{
    forms::DoEvents();
    const double X0 = X, Y0 = Y;
    forms::Randomize();

    // Slot 0 takes no part; base angles 0 and 360 both fly, each with its own jitter.
    int k = 1;
    for (int a = 0; a <= kFullTurn; a += kBaseAngleStep) {
        const float r1 = forms::Rnd(), r2 = forms::Rnd(), r3 = forms::Rnd();
        const float speed = (r3 * 36 + 4) * forms::Screen::TwipsPerPixelX();
        const float angle = r2 * -30 + r1 * 30 + static_cast<float>(a);
        LaunchDot(k, X0, Y0, angle, speed);
        ++k;
    }

    bool drawn = true;
    while (drawn) {
        drawn = false;
        const std::uint32_t t0 = forms::GetTickCount();
        MoveDots();
        for (auto &dot : Dots) {
            if (!dot->Flag)
                continue;
            dot->Move(static_cast<float>(dot->X), static_cast<float>(dot->Y));
            dot->setBackColor(forms::RGB(dot->Color, dot->Color, dot->Color));
            if (!dot->Visible()) {
                dot->setVisible(true);
                SetTopmost(dot->hWnd());
            }
            drawn = true;
        }
        // Unsigned difference: a wrap of the tick counter does not matter.
        const std::uint32_t elapsed = forms::GetTickCount() - t0;
        if (elapsed <= kFrameMs)
            forms::Sleep(kFrameMs - elapsed);
        forms::DoEvents();
    }
    for (auto &dot : Dots)
        dot->setVisible(false);
}

bool SetTopmost(forms::HWND window)
{
    return forms::SetWindowPos(window, forms::HWND_TOPMOST, 0, 0, 0, 0,
                               forms::SWP_NOSIZE | forms::SWP_NOMOVE | forms::SWP_SHOWWINDOW)
        != 0;
}

} // namespace modBarn
