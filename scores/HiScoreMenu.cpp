#include "scores/HiScoreMenu.h"

#include "app/forms/Form.h"
#include "app/frmMenu.h"
#include "scores/Ranking.h"

namespace modSubroutine {

void ListHiScore()
{
    const auto lines = HiScoreLines();
    auto &menu = forms::Default<frmMenu>();
    for (std::size_t i = 0; i < lines.size(); ++i)
        menu.mhiscore[i].setCaption(lines[i]);
}

std::int16_t UpdateHiScore(std::int32_t score)
{
    const std::int16_t place = RankScore(score);
    ListHiScore();
    return place;
}

} // namespace modSubroutine
