#pragma once
// A child process for a test: started with arguments, its standard output collected, and
// killed or waited for.

#include <cstdint>
#include <string>
#include <vector>

class ChildProcess {
public:
    // Starts program with args; its standard error is this process's.
    ChildProcess(const std::string &program, const std::vector<std::string> &args);
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

private:
    // Reads what the child wrote, waiting at most timeoutMs (-1: no limit); false at the
    // end of its output or when the time ran out.
    bool readSome(int timeoutMs);

    std::intptr_t m_process = -1, m_output = -1;
    std::string m_read;
};

// Sets a variable in this process's environment, which its children inherit.
void setEnvironment(const std::string &name, const std::string &value);
