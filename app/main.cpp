// Kestrin: clay-pigeon shooting on a strip along the bottom of the desktop.

#include <QApplication>
#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/forms/Form.h"
#include "app/frmBG.h"
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
int printScores(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kestrin");
    for (const std::string &line : modSubroutine::HiScoreLines())
        std::printf("%s\n", line.c_str());
    if (const auto trouble = modSubroutine::ScoreFileTrouble()) {
        std::fflush(stdout);
        std::fprintf(stderr, "kestrin: %s\n", trouble->c_str());
        return 1;
    }
    return 0;
}

// Top-level windows are placed by the program itself, which only X11 allows: on a
// Wayland session the game runs through XWayland unless the user chose a platform.
// Returns false when there is no display to run on.
bool choosePlatform()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    }
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char **argv)
{
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
        return finishOutput(printScores(argc, argv));
    case CommandLine::Action::Play:
        break;
    }
    // Qt reads -platform and -display from argv itself; the environment says the same so
    // that the platform choice below sees them.
    if (!line.platform.empty())
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(line.platform));
    if (!line.display.empty())
        qputenv("DISPLAY", QByteArray::fromStdString(line.display));
    if (!choosePlatform()) {
        std::fputs("kestrin: no display found (DISPLAY is not set); start it from a desktop session\n", stderr);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("kestrin");

    frmBG &strip = forms::Default<frmBG>();
    strip.Load();
    strip.Show();
    const int status = QApplication::exec();
    forms::DestroyDefaultInstances();
    return status;
}
