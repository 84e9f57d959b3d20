// Score-file benchmark: one ranking that moves the whole table, on a table of 100 lines and
// on a table of 1 MiB (other keys and comments around it), each from reading the file to
// the synced replacement. Prints figures; asserts nothing.
//
// The tables live in a temporary folder (TMPDIR), so the figures include that disk's sync.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "forms/Runtime.h"
#include "scores/FileReplace.h"
#include "scores/Ranking.h"
#include "scores/ScoreFile.h"

namespace {

using Clock = std::chrono::steady_clock;

// The five places, full, after other keys and comments: at least `lines` lines of them and
// at least `size` bytes.
std::string tableOf(int lines, std::size_t size)
{
    std::string text;
    for (int n = 0; n < lines || text.size() < size; n += 2)
        text += "key" + std::to_string(n) + "=some value\r\n; a comment\r\n";
    text += "[Data]\r\n";
    for (int place = 1; place <= 5; ++place)
        text += "HISCORE" + std::to_string(place) + "=2001/01/0" + std::to_string(place) + " 10:00:00,"
              + std::to_string(20 - place) + "\r\n";
    return text;
}

// Median, lowest and highest time of one best-score ranking into a fresh copy of the table.
void measure(const char *what, const std::string &table, const std::string &path, const char *target)
{
    constexpr int kRuns = 21;
    std::vector<double> ms;
    for (int run = 0; run < kRuns; ++run) {
        profile::saveFile(path, table);
        const auto start = Clock::now();
        const int place = modSubroutine::RankScore(25);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (place != 1)
            std::printf("%s: the ranking was not saved (%d)\n", what, place);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-38s %9.3f %9.3f %9.3f   %s\n", what, ms[ms.size() / 2], ms.front(), ms.back(), target);
}

} // namespace

int main()
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("kestrin-bench-" + std::to_string(std::random_device()()));
    if (!fs::create_directory(folder)) {
        std::printf("cannot make %s\n", folder.string().c_str());
        return 1;
    }
    forms::hooks().appPath = [&] { return folder.string(); };
    forms::hooks().now = [] { return forms::DateTime{2024, 3, 9, 21, 7, 45}; };
    const std::string path = modSubroutine::ScoreFileIn(folder.string());

    std::printf("tables in %s\n\n", folder.string().c_str());
    std::printf("%-38s %9s %9s %9s   %s\n", "one ranking (ms)", "median", "min", "max", "target");
    measure("100-line table", tableOf(100 - 6, 0), path, "");
    measure("1 MiB table", tableOf(0, 1 << 20), path, "under 50");
    fs::remove_all(folder);
    return 0;
}
