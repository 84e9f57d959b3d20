#include "burst/modBarn.h"

#include "forms/Values.h"

namespace modBarn {

std::array<std::unique_ptr<frmDot>, kDotCount> Dots;

void InitDots()
{
    static const bool registered = (forms::detail::registerDefaultInstance([] {
                                        for (auto &dot : Dots)
                                            dot.reset();
                                    }),
                                    true);
    (void)registered;
    for (auto &dot : Dots) {
        dot = std::make_unique<frmDot>();
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

} // namespace modBarn
