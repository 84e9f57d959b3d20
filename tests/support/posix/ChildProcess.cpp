// Child processes for tests on POSIX systems.

#include "tests/support/ChildProcess.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <utility>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args)
{
    int output[2];
    if (::pipe(output) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0)
        m_process = pid;
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    m_output = output[0];
}

ChildProcess::~ChildProcess()
{
    kill();
    finish();
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
    if (m_process > 0)
        ::waitpid(pid_t(std::exchange(m_process, -1)), nullptr, 0);
    return m_read;
}

bool ChildProcess::readSome(int timeoutMs)
{
    pollfd ready{int(m_output), POLLIN, 0};
    char buffer[4096];
    const ssize_t got = ::poll(&ready, 1, timeoutMs) > 0 ? ::read(int(m_output), buffer, sizeof buffer) : 0;
    m_read.append(buffer, std::size_t(std::max<ssize_t>(got, 0)));
    return got > 0;
}

void setEnvironment(const std::string &name, const std::string &value) { ::setenv(name.c_str(), value.c_str(), 1); }
