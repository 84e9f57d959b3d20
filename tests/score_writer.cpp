// Child process for the score tests: ranks scores into the score file of a folder at a
// fixed time and reports each place on stdout as it goes, so that a test can kill it,
// limit its file size or run several copies at once.
//
// Usage: score_writer FOLDER FIRST COUNT STEP [--fsize BYTES] [--die-before-rename]
//   ranks FIRST, FIRST + STEP, ... (COUNT scores), printing "SCORE PLACE" for each;
//   --fsize limits the size of files it writes, so that writes fail (exit status 77 where
//   the system has no such limit);
//   --die-before-rename kills the process just before its written temporary would be
//   moved over the table.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "forms/Runtime.h"
#include "scores/FileSystem.h"
#include "scores/Ranking.h"
#include "tests/support/ChildProcess.h"

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fputs("usage: score_writer FOLDER FIRST COUNT STEP [--fsize BYTES] [--die-before-rename]\n", stderr);
        return 2;
    }
    const std::string folder = argv[1];
    const int first = std::atoi(argv[2]), count = std::atoi(argv[3]), step = std::atoi(argv[4]);
    for (int i = 5; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--fsize") && i + 1 < argc) {
            if (!limitFileSize(std::strtoull(argv[i + 1], nullptr, 10)))
                return 77;
        } else if (!std::strcmp(argv[i], "--die-before-rename")) {
            disk::saveFault() = [](disk::SaveStep step) {
                if (step == disk::SaveStep::Replace)
                    dieAtOnce();
                return false;
            };
        }
    }
    forms::hooks().appPath = [folder] { return folder; };
    forms::hooks().now = [] { return forms::DateTime{2024, 3, 9, 21, 7, 45}; };
    for (int k = 0; k < count; ++k) {
        const int score = first + k * step;
        std::printf("%d %d\n", score, modSubroutine::RankScore(score));
        std::fflush(stdout);
    }
    return 0;
}
