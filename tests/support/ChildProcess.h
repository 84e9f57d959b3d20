#pragma once
// A child process for a test: started with arguments, its standard output collected, and
// killed or waited for.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How a child starts, beyond its arguments.
struct ChildSetUp {
    // Changes to this process's environment for the child; nothing removes the variable.
    std::vector<std::pair<std::string, std::optional<std::string>>> environment;
    // Where its standard output goes instead of being collected, and its standard error
    // instead of this process's; empty for neither.
    std::string outputFile, errorFile;
};

class ChildProcess {
public:
    // Starts program with args; its standard error is this process's.
    ChildProcess(const std::string &program, const std::vector<std::string> &args, const ChildSetUp &setUp = {});
    // Kills the child if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Waits at most timeoutMs for output; true once there is some.
    bool waitForOutput(int timeoutMs);
    // Ends the child at once, as a crash would.
    void kill();
    // Waits for the end; everything the child wrote to its standard output.
    std::string finish();
    // After finish: the child's exit status, or nothing when a signal ended it.
    std::optional<int> status() const { return m_status; }

private:
    // Reads what the child wrote, waiting at most timeoutMs (-1: no limit); false at the
    // end of its output or when the time ran out.
    bool readSome(int timeoutMs);

    std::intptr_t m_process = -1, m_output = -1;
    std::string m_read;
    std::optional<int> m_status;
};

// Sets a variable in this process's environment, which its children inherit.
void setEnvironment(const std::string &name, const std::string &value);

// For a child itself: the files it writes may grow no larger than bytes, and a write beyond
// that fails. False where the system has no such limit.
bool limitFileSize(std::uint64_t bytes);
// For a child itself: ends the process at once, as a crash would; nothing is cleaned up.
[[noreturn]] void dieAtOnce();
