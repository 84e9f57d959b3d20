// Child processes for tests on POSIX systems.

#include "tests/support/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0)
        m_process = pid;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    m_output = pipeEnds[0];
}

ChildProcess::~ChildProcess()
{
    kill();
    finish();
    if (m_output >= 0)
        ::close(int(m_output));
}

bool ChildProcess::waitForOutput(int timeoutMs) { return !m_read.empty() || readSome(timeoutMs); }

void ChildProcess::kill()
{
    if (m_process > 0)
        ::kill(pid_t(m_process), SIGKILL);
}

std::string ChildProcess::finish()
{
    while (readSome(-1)) {
    }
    if (m_process > 0) {
        int status = 0;
        while (::waitpid(pid_t(m_process), &status, 0) < 0 && errno == EINTR) {
        }
        m_process = -1;
    }
    return m_read;
}

// Reads what the child has written, waiting at most timeoutMs (-1: until it writes or ends);
// false at the end of its output or when the time ran out.
bool ChildProcess::readSome(int timeoutMs)
{
    pollfd ready{int(m_output), POLLIN, 0};
    if (m_output < 0 || ::poll(&ready, 1, timeoutMs) <= 0)
        return false;
    char buffer[4096];
    const ssize_t got = ::read(int(m_output), buffer, sizeof buffer);
    if (got <= 0)
        return false;
    m_read.append(buffer, std::size_t(got));
    return true;
}

void setEnvironment(const std::string &name, const std::string &value) { ::setenv(name.c_str(), value.c_str(), 1); }
