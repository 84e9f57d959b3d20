// Child process for the score tests: ranks scores into the score file of a folder at a
// fixed time and reports each place on stdout as it goes, so that a test can kill it,
// limit its file size or run several copies at once.
//
// Usage: score_writer FOLDER FIRST COUNT STEP [--fsize BYTES] [--die-before-rename NAME]
//   ranks FIRST, FIRST + STEP, ... (COUNT scores), printing "SCORE PLACE" for each;
//   --fsize limits the size of files it writes (SIGXFSZ ignored, so writes fail instead);
//   --die-before-rename kills the process just before its temporary is renamed over the
//   table, having named the temporary NAME if it had no name yet, as a kill between the
//   two calls that put an unnamed temporary in place would.

#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "forms/Runtime.h"
#include "scores/FileReplace.h"
#include "scores/Ranking.h"

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fputs("usage: score_writer FOLDER FIRST COUNT STEP [--fsize BYTES] [--die-before-rename NAME]\n", stderr);
        return 2;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kestrin");
    const std::string folder = argv[1];
    const int first = std::atoi(argv[2]), count = std::atoi(argv[3]), step = std::atoi(argv[4]);
    std::string dieAs;
    for (int i = 5; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--fsize")) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(std::atoll(argv[i + 1])), rlim_t(std::atoll(argv[i + 1]))};
            setrlimit(RLIMIT_FSIZE, &limit);
        } else if (!std::strcmp(argv[i], "--die-before-rename")) {
            dieAs = folder + "/" + argv[i + 1];
        }
    }
    forms::hooks().appPath = [folder] { return folder; };
    forms::hooks().now = [] { return forms::DateTime{2024, 3, 9, 21, 7, 45}; };
    if (!dieAs.empty()) {
        profile::saveFault() = [dieAs](profile::SaveStep step, int handle) {
            if (step == profile::SaveStep::Rename) {
                // An unnamed temporary gets its name now, as commit() would name it.
                struct stat st;
                const std::string self = "/proc/self/fd/" + std::to_string(handle);
                if (fstat(handle, &st) == 0 && st.st_nlink == 0
                    && linkat(AT_FDCWD, self.c_str(), AT_FDCWD, dieAs.c_str(), AT_SYMLINK_FOLLOW) != 0)
                    std::perror("linkat");
                std::raise(SIGKILL);
            }
            return false;
        };
    }
    for (int k = 0; k < count; ++k) {
        const int score = first + k * step;
        std::printf("%d %d\n", score, modSubroutine::RankScore(score));
        std::fflush(stdout);
    }
    return 0;
}
