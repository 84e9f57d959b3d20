// Kestrin: clay-pigeon shooting on a strip along the bottom of the desktop.

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "app/Display.h"
#include "app/forms/Forms.h"
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

} // namespace

int main(int argc, char **argv)
{
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
    if (const std::optional<std::string> problem = chooseDisplay({})) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }

    QApplication app(argc, argv);
    const DisplayLossGuard guard;
    QApplication::setApplicationName("kestrin");

    frmBG &strip = forms::Default<frmBG>();
    strip.Load();
    strip.Show();
    const int status = QApplication::exec();
    forms::DestroyDefaultInstances();
    return status;
}
