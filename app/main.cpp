// Kestrin: clay-pigeon shooting on a strip along the bottom of the desktop.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/frmBG.h"
#include "forms/Form.h"
#include "forms/Runtime.h"
#include "forms/StartupTrace.h"
#include "scores/HiScoreLines.h"
#include "scores/ScoreFile.h"

namespace {

void printUsage()
{
    std::fputs("Usage: kestrin [OPTION]...\n"
               "Clay-pigeon shooting on a strip along the bottom of the desktop.\n"
               "Press the title to start a game of 25 plates, click the panel to throw a plate,\n"
               "press the plate to hit it. A right press on the strip opens the menu.\n"
               "\n"
               "  --scores        print the five best games and exit\n"
               "  --version       print the version and exit\n"
               "  -h, --help      print this help and exit\n"
               "  -platform NAME  use Qt's platform plugin NAME (the default is xcb)\n"
               "  -display NAME   show the game on the X display NAME instead of $DISPLAY\n",
               stdout);
}

void printVersion()
{
    std::printf("kestrin %s\n"
                "Copyright (c) 2026 the Kestrin developers.\n"
                "Released under the MIT licence.\n",
                KESTRIN_VERSION);
}

// Output is buffered, so a full disk or a closed pipe shows only when it is flushed: a
// command whose output was lost must not report success.
int finishOutput(int status)
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return status;
    std::fprintf(stderr, "kestrin: cannot write the output: %s\n", std::strerror(errno));
    return 1;
}

// The high-score table as the menu shows it, one line each, from the game's score file;
// a table that exists but cannot be read is reported after the lines, with exit status 1.
int printScores()
{
    for (const std::string &line : modSubroutine::HiScoreLines())
        std::printf("%s\n", line.c_str());
    if (const auto trouble = modSubroutine::ScoreFileTrouble()) {
        std::fflush(stdout);
        std::fprintf(stderr, "kestrin: %s\n", trouble->c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    startupTrace::mark("main");
    const CommandLine line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
    case CommandLine::Action::Refuse:
        std::fprintf(stderr, "kestrin: %s (try --help)\n", line.error.c_str());
        return 2;
    case CommandLine::Action::Help:
        printUsage();
        return finishOutput(0);
    case CommandLine::Action::Version:
        printVersion();
        return finishOutput(0);
    case CommandLine::Action::Scores:
        return finishOutput(printScores());
    case CommandLine::Action::Play:
        break;
    }
    // The window system reads its own options (the display, say) from the command line.
    return forms::Run(argc, argv, [] {
        frmBG &strip = forms::Default<frmBG>();
        startupTrace::mark("strip-controls");
        strip.Load();
        strip.Show();
        startupTrace::mark("shown");
    });
}
