// Kestrin: clay-pigeon shooting on a strip along the bottom of the desktop.

#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>

#include "app/forms/Forms.h"
#include "app/StartupTrace.h"
#include "app/frmBG.h"
#include "scores/HiScoreMenu.h"

namespace {

void printUsage()
{
    std::puts("Usage: kestrin [--scores | --version | --help]\n"
              "Clay-pigeon shooting on a strip along the bottom of the desktop.\n"
              "Press the title to start a game of 25 plates, click the panel to throw a plate,\n"
              "press the plate to hit it. A right press on the strip opens the menu.\n"
              "\n"
              "  --scores   print the five best games and exit\n"
              "  --version  print the version and exit\n"
              "  --help     print this help and exit");
}

// The high-score table as the menu shows it, one line each, from the game's score file.
int printScores(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kestrin");
    for (const std::string &line : modSubroutine::HiScoreLines())
        std::printf("%s\n", line.c_str());
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
    startupTrace::mark("main");
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            printUsage();
            return 0;
        }
        if (!std::strcmp(argv[i], "--scores"))
            return printScores(argc, argv);
        if (!std::strcmp(argv[i], "--version")) {
            std::printf("kestrin %s\n", KESTRIN_VERSION);
            return 0;
        }
        std::fprintf(stderr, "kestrin: unknown option '%s' (try --help)\n", argv[i]);
        return 2;
    }
    if (!choosePlatform()) {
        std::fputs("kestrin: no display found (DISPLAY is not set); start it from a desktop session\n", stderr);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("kestrin");
    startupTrace::mark("application");

    frmBG &strip = forms::Default<frmBG>();
    startupTrace::mark("strip-controls");
    strip.Load();
    // Qt starts its accessibility bridge (a D-Bus connection) when the first widget is
    // shown; starting it here gives its cost a name of its own in the start-up trace.
    QAccessible::isActive();
    startupTrace::mark("accessibility");
    strip.Show();
    startupTrace::mark("shown");
    const int status = QApplication::exec();
    forms::DestroyDefaultInstances();
    return status;
}
