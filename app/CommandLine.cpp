// The program's command line: every argument checked, then one thing to do.

#include "app/CommandLine.h"

#include <algorithm>
#include <iterator>

namespace {

// The window system reads its options itself and accepts them with one dash or two.
bool isWindowSystemOption(const std::string &arg, const std::vector<std::string> &names)
{
    const std::size_t dashes = arg.starts_with("--") ? 2 : arg.starts_with("-") ? 1 : 0;
    return dashes > 0 && std::find(names.begin(), names.end(), arg.substr(dashes)) != names.end();
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string> &args, const std::vector<std::string> &windowSystemOptions)
{
    CommandLine line;
    bool help = false, version = false, scores = false;
    const auto refuse = [&line](std::string why) {
        line.action = CommandLine::Action::Refuse;
        line.error = std::move(why);
        return line;
    };
    for (auto arg = args.begin(); arg != args.end(); ++arg) {
        if (*arg == "--help" || *arg == "-h") {
            help = true;
        } else if (*arg == "--version") {
            version = true;
        } else if (*arg == "--scores") {
            scores = true;
        } else if (isWindowSystemOption(*arg, windowSystemOptions)) {
            if (std::next(arg) == args.end())
                return refuse("option '" + *arg + "' needs a value");
            ++arg;
        } else if (arg->size() > 1 && arg->front() == '-') {
            return refuse("unknown option '" + *arg + "'");
        } else {
            return refuse("unexpected argument '" + *arg + "'");
        }
    }
    if (help)
        line.action = CommandLine::Action::Help;
    else if (version)
        line.action = CommandLine::Action::Version;
    else if (scores)
        line.action = CommandLine::Action::Scores;
    return line;
}
