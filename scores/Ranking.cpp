// Entering a finished game's score into the high-score table.

#include "scores/Ranking.h"

#include <string_view>

#include "forms/Runtime.h"
#include "forms/Values.h"
#include "scores/HiScoreMenu.h"

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

} // namespace

std::int16_t EnterScore(std::string &table, std::int32_t score)
{
    const auto read = [&](int place) { return ReadIniIn(table, kSection, placeKey(place)); };
    const auto write = [&](int place, std::string_view value) {
        std::optional<std::string> next = WriteIniIn(table, kSection, placeKey(place), value);
        if (next)
            table = std::move(*next);
        return next.has_value();
    };
    const auto store = [&](int place) {
        const std::string entry = forms::FormatStamp(forms::Now()) + ',' + std::to_string(score);
        return write(place, entry) ? static_cast<std::int16_t>(place) : kScoreNotSaved;
    };
    for (int i = 1; i <= kPlaces; ++i) {
        const std::string held = read(i);
        if (held.empty())
            return store(i);
        if (score > storedScore(held)) {
            // Empty places move too, leaving their key present with an empty value.
            for (int j = kPlaces - 1; j >= i; --j) {
                if (!write(j + 1, read(j)))
                    return kScoreNotSaved;
            }
            return store(i);
        }
    }
    return 0;
}

std::int16_t RankScoreIn(const ScoreFiles &files, std::int32_t score)
{
    std::optional<std::int16_t> place;
    const bool saved = UpdateScoreFile(files, [&](const std::string &text) -> std::optional<std::string> {
        std::string table = text;
        place = EnterScore(table, score);
        if (*place == kScoreNotSaved)
            return std::nullopt;
        return table;
    });
    // Without the table in hand (another copy held it, or it could not be read) nothing
    // tells whether the score earned a place: it was not saved.
    if (!place)
        return kScoreNotSaved;
    return saved || *place == 0 ? *place : kScoreNotSaved;
}

std::int16_t RankScore(std::int32_t score) { return RankScoreIn(ScoreFilesNow(), score); }

std::int16_t UpdateHiScore(std::int32_t score)
{
    const std::int16_t place = RankScore(score);
    ListHiScore();
    return place;
}

} // namespace modSubroutine
