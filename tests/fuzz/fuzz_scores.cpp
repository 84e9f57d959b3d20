// libFuzzer target: any bytes as the score file, then a ranking and the menu lines.
// The first input byte picks the score, the rest is the file.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "forms/Language.h"
#include "forms/Runtime.h"
#include "forms/Values.h"
#include "scores/FileReplace.h"
#include "scores/HiScoreLines.h"
#include "scores/PrivateProfile.h"
#include "scores/Ranking.h"
#include "scores/ScoreFile.h"
#include "tests/support/TempDir.h"

namespace {

constexpr forms::DateTime kNow{2024, 3, 9, 21, 7, 45};

const TempDir &folder()
{
    static const TempDir dir;
    return dir;
}

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

} // namespace

// The only two runtime services the score code uses, without the windowing runtime.
std::string forms::AppPath() { return folder().path(); }
forms::DateTime forms::Now() { return kNow; }

// The menu lines are checked in the game's own Japanese, whatever the machine's language.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    forms::UseLanguage(forms::kSourceLanguage);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace modSubroutine;
    if (size == 0)
        return 0;
    const std::int32_t score = data[0] % 30;
    const std::string file(reinterpret_cast<const char *>(data) + 1, size - 1);
    const std::string path = ScoreFilePath();
    check(profile::saveFile(path, file), "the input could not be written");

    const std::int16_t place = RankScore(score);
    check(place >= kScoreNotSaved && place <= 5, "place out of range");
    if (place > 0) {
        const std::string entry = forms::FormatStamp(kNow) + ',' + std::to_string(score);
        check(ReadIni("Data", "HISCORE" + std::to_string(place)) == entry, "the reported place does not hold the entry");
    } else if (place == kScoreNotSaved) {
        check(profile::loadFile(path).bytes == file, "a failed update changed the file");
    }

    const auto lines = HiScoreLines();
    const char *const places[] = {"１位：", "２位：", "３位：", "４位：", "５位："};
    for (std::size_t i = 0; i < lines.size(); ++i)
        check(lines[i].starts_with(places[i]), "a menu line lost its place");
    return 0;
}
