// Handing the high-score lines to the popup menu.

#include "scores/HiScoreMenu.h"

#include <utility>

namespace modSubroutine {

namespace {

std::function<void(const HiScoreLineSet &)> &destination()
{
    static std::function<void(const HiScoreLineSet &)> lines;
    return lines;
}

} // namespace

void SetHiScoreDestination(std::function<void(const HiScoreLineSet &lines)> to) { destination() = std::move(to); }

void ListHiScore()
{
    if (destination())
        destination()(HiScoreLines());
}

} // namespace modSubroutine
