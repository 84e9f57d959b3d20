#pragma once
// The program's command line: every argument checked, then one thing to do.

#include <string>
#include <vector>

struct CommandLine {
    enum class Action { Play, Help, Version, Scores, Refuse };
    Action action = Action::Play;
    std::string error;    // why the arguments were refused; empty unless Refuse
    std::string platform; // Qt platform plugin given with -platform; empty for the default
    std::string display;  // X display given with -display; empty for $DISPLAY
};

// What the arguments (without the program name) ask for. Nothing is acted on here, so a
// mistake anywhere on the line refuses the whole line. --help wins over --version, which
// wins over --scores.
CommandLine parseCommandLine(const std::vector<std::string> &args);
