#pragma once
// The program's command line: every argument checked, then one thing to do.

#include <string>
#include <vector>

struct CommandLine {
    enum class Action { Play, Help, Version, Scores, Refuse };
    Action action = Action::Play;
    std::string error; // why the arguments were refused; empty unless Refuse
};

// What the arguments (without the program name) ask for. Nothing is acted on here, so a
// mistake anywhere on the line refuses the whole line. --help wins over --version, which
// wins over --scores. The window system's own options (their names without the dash, each
// taking a value) are left to it.
CommandLine parseCommandLine(const std::vector<std::string> &args, const std::vector<std::string> &windowSystemOptions);
