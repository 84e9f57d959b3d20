#include "scores/Ranking.h"

#include <string>
#include <string_view>

#include "app/forms/Values.h"
#include "scores/PrivateProfile.h"
#include "scores/ScoreFile.h"

namespace modSubroutine {

namespace {

constexpr std::string_view kSection = "Data";
constexpr int kPlaces = 5;

std::string placeKey(int place) { return "HISCORE" + std::to_string(place); }

// The score of a stored entry: the number after its last comma.
double storedScore(std::string_view entry)
{
    const auto comma = entry.rfind(',');
    return forms::Val(comma == entry.npos ? entry : entry.substr(comma + 1));
}

// The table update; gives up at the first write that fails.
std::int16_t enterScore(std::int32_t score)
{
    const auto store = [score](int place) {
        const std::string entry = forms::FormatStamp(forms::Now()) + ',' + std::to_string(score);
        return WriteIni(kSection, placeKey(place), entry) ? static_cast<std::int16_t>(place) : kScoreNotSaved;
    };
    for (int i = 1; i <= kPlaces; ++i) {
        const std::string held = ReadIni(kSection, placeKey(i));
        if (held.empty())
            return store(i);
        if (score > storedScore(held)) {
            // Empty places move too, leaving their key present with an empty value.
            for (int j = kPlaces - 1; j >= i; --j) {
                if (!WriteIni(kSection, placeKey(j + 1), ReadIni(kSection, placeKey(j))))
                    return kScoreNotSaved;
            }
            return store(i);
        }
    }
    return 0;
}

} // namespace

std::int16_t RankScore(std::int32_t score)
{
    const std::string path = ScoreFilePath();
    const profile::FileBytes before = profile::loadFile(path);
    const std::int16_t place = enterScore(score);
    // A table moved half-way would lose or double entries: put the old file back. (Without a
    // file there is nothing to move, so the one write either made the file or made nothing.)
    if (place == kScoreNotSaved && before.state == profile::FileBytes::State::Read)
        profile::saveFile(path, before.bytes);
    return place;
}

} // namespace modSubroutine
