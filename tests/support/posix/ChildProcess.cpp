// Child processes for tests on POSIX systems.

#include "tests/support/ChildProcess.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// This process's environment with the changes, as the child gets it.
std::vector<std::string> environmentFor(const ChildSetUp &setUp)
{
    std::vector<std::string> variables;
    for (char **variable = environ; *variable; ++variable) {
        const std::string entry = *variable;
        const std::string name = entry.substr(0, entry.find('='));
        const bool changed = std::any_of(setUp.environment.begin(), setUp.environment.end(),
                                         [&](const auto &change) { return change.first == name; });
        if (!changed)
            variables.push_back(entry);
    }
    for (const auto &[name, value] : setUp.environment)
        if (value)
            variables.push_back(name + '=' + *value);
    return variables;
}

std::vector<char *> pointersTo(std::vector<std::string> &strings)
{
    std::vector<char *> pointers;
    for (std::string &s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args, const ChildSetUp &setUp)
{
    int output[2];
    if (::pipe(output) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (setUp.outputFile.empty())
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, setUp.outputFile.c_str(), O_WRONLY, 0);
    if (!setUp.errorFile.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, setUp.errorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> variables = environmentFor(setUp);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, pointersTo(argStrings).data(),
                      pointersTo(variables).data())
        == 0)
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
    int status = 0;
    if (m_process > 0 && ::waitpid(pid_t(std::exchange(m_process, -1)), &status, 0) > 0 && WIFEXITED(status))
        m_status = WEXITSTATUS(status);
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

bool limitFileSize(std::uint64_t bytes)
{
    // Writes beyond the limit fail rather than the process ending on SIGXFSZ.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{rlim_t(bytes), rlim_t(bytes)};
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

void dieAtOnce()
{
    std::raise(SIGKILL);
    std::abort();
}
