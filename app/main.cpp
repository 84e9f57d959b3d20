// Kestrin: clay-pigeon shooting on a strip along the bottom of the desktop.

#include <algorithm>
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

using forms::OutputStream;

// Option lines line up their explanations in one column.
std::string optionLine(const std::string &option, const std::string &help)
{
    constexpr std::size_t kOptionWidth = 16;
    return "  " + option + std::string(kOptionWidth - std::min(option.size(), kOptionWidth - 2), ' ') + help + "\n";
}

std::string usage()
{
    std::string text = "Usage: kestrin [OPTION]...\n"
                       "Clay-pigeon shooting on a strip along the bottom of the desktop.\n"
                       "Press the title to start a game of 25 plates, click the panel to throw a plate,\n"
                       "press the plate to hit it. A right press on the strip opens the menu.\n"
                       "\n" +
                       optionLine("--scores", "print the five best games and exit") +
                       optionLine("--version", "print the version and exit") +
                       optionLine("-h, --help", "print this help and exit");
    for (const forms::CommandLineOption &option : forms::WindowSystemOptions())
        text += optionLine("-" + option.name + " " + option.value, option.help);
    return text;
}

std::string version()
{
    return std::string("kestrin ") + KESTRIN_VERSION +
           "\n"
           "Copyright (c) 2026 the Kestrin developers.\n"
           "Released under the MIT licence.\n";
}

// A command whose output was lost (a full disk, a closed pipe) must not report success.
int print(const std::string &text, int status)
{
    if (const auto trouble = forms::Print(OutputStream::Output, text)) {
        forms::Print(OutputStream::Error, "kestrin: cannot write the output: " + *trouble + "\n");
        return 1;
    }
    return status;
}

// The high-score table as the menu shows it, one line each, from the game's score file;
// a table that exists but cannot be read is reported after the lines, with exit status 1.
int printScores()
{
    std::string lines;
    for (const std::string &line : modSubroutine::HiScoreLines())
        lines += line + "\n";
    const auto trouble = modSubroutine::ScoreFileTrouble();
    const int status = print(lines, trouble ? 1 : 0);
    if (trouble)
        forms::Print(OutputStream::Error, "kestrin: " + *trouble + "\n");
    return status;
}

std::vector<std::string> windowSystemOptionNames()
{
    std::vector<std::string> names;
    for (const forms::CommandLineOption &option : forms::WindowSystemOptions())
        names.push_back(option.name);
    return names;
}

} // namespace

int main(int argc, char **argv)
{
    startupTrace::mark("main");
    const CommandLine line =
        parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), windowSystemOptionNames());
    switch (line.action) {
    case CommandLine::Action::Refuse:
        forms::Print(OutputStream::Error, "kestrin: " + line.error + " (try --help)\n");
        return 2;
    case CommandLine::Action::Help:
        return print(usage(), 0);
    case CommandLine::Action::Version:
        return print(version(), 0);
    case CommandLine::Action::Scores:
        return printScores();
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
