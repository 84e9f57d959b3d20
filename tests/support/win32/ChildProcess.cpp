// Child processes for tests on Windows, through the wide functions: paths and arguments are
// UTF-8 text.

#include "tests/support/ChildProcess.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <utility>

namespace {

// What TerminateProcess leaves as the exit code of a child that kill() ended.
constexpr UINT kKilled = 0xDEAD;

std::wstring wide(const std::string &text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(std::size_t(std::max(size, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size);
    return out;
}

// One argument as the C runtime splits a command line: quoted when it has to be, its
// backslashes doubled only before a quote.
std::wstring quoted(const std::wstring &arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L'"';
}

bool sameName(std::wstring_view a, std::wstring_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](wchar_t x, wchar_t y) { return std::towupper(x) == std::towupper(y); });
}

// This process's environment with the changes, as the child gets it: NAME=VALUE strings,
// each ended by a null, the block by another. Names are compared without case.
std::wstring environmentFor(const ChildSetUp &setUp)
{
    std::wstring block;
    wchar_t *const strings = GetEnvironmentStringsW();
    for (const wchar_t *entry = strings; *entry; entry += std::wcslen(entry) + 1) {
        const std::wstring_view variable(entry);
        // Entries such as "=C:=C:\..." keep each drive's folder: their name starts after the '='.
        const std::wstring_view name = variable.substr(0, variable.find(L'=', 1));
        const bool changed = std::any_of(setUp.environment.begin(), setUp.environment.end(),
                                         [&](const auto &change) { return sameName(wide(change.first), name); });
        if (!changed)
            block.append(variable).push_back(L'\0');
    }
    FreeEnvironmentStringsW(strings);
    for (const auto &[name, value] : setUp.environment)
        if (value)
            block.append(wide(name + '=' + *value)).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

// A file that the child inherits as a standard handle.
HANDLE inheritableFile(const std::string &path)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE inheritableCopy(HANDLE handle)
{
    HANDLE copy = INVALID_HANDLE_VALUE;
    DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS);
    return copy;
}

void closeIfOpen(HANDLE handle)
{
    if (handle && handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
}

HANDLE asHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

} // namespace

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args, const ChildSetUp &setUp)
{
    HANDLE read = nullptr, write = nullptr;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherit, 0))
        return;
    // Only the child's end is inherited; this one is ours alone.
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = inheritableCopy(GetStdHandle(STD_INPUT_HANDLE));
    start.hStdOutput = setUp.outputFile.empty() ? write : inheritableFile(setUp.outputFile);
    start.hStdError = setUp.errorFile.empty() ? inheritableCopy(GetStdHandle(STD_ERROR_HANDLE))
                                              : inheritableFile(setUp.errorFile);
    std::wstring line = quoted(wide(program));
    for (const std::string &arg : args)
        line += L' ' + quoted(wide(arg));
    std::wstring environment = environmentFor(setUp);
    PROCESS_INFORMATION started{};
    if (CreateProcessW(wide(program).c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                       environment.data(), nullptr, &start, &started)) {
        CloseHandle(started.hThread);
        m_process = reinterpret_cast<std::intptr_t>(started.hProcess);
    }
    // The child holds its own copies: the pipe ends when the child's ends.
    closeIfOpen(start.hStdInput);
    closeIfOpen(start.hStdError);
    if (start.hStdOutput != write)
        closeIfOpen(start.hStdOutput);
    closeIfOpen(write);
    m_output = reinterpret_cast<std::intptr_t>(read);
}

ChildProcess::~ChildProcess()
{
    kill();
    finish();
    closeIfOpen(asHandle(m_output));
}

bool ChildProcess::waitForOutput(int timeoutMs) { return !m_read.empty() || readSome(timeoutMs); }

void ChildProcess::kill()
{
    if (m_process != -1)
        TerminateProcess(asHandle(m_process), kKilled);
}

std::string ChildProcess::finish()
{
    while (readSome(-1)) {
    }
    if (m_process == -1)
        return m_read;
    const HANDLE process = asHandle(std::exchange(m_process, -1));
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process, &code) && code != kKilled)
        m_status = int(code);
    CloseHandle(process);
    return m_read;
}

bool ChildProcess::readSome(int timeoutMs)
{
    // A pipe cannot be waited on: it is looked at every millisecond until the time is up.
    const HANDLE output = asHandle(m_output);
    const ULONGLONG end = GetTickCount64() + ULONGLONG(std::max(timeoutMs, 0));
    DWORD available = 0;
    while (PeekNamedPipe(output, nullptr, 0, nullptr, &available, nullptr) && available == 0) {
        if (timeoutMs >= 0 && GetTickCount64() >= end)
            return false;
        Sleep(1);
    }
    char buffer[4096];
    DWORD got = 0;
    if (!ReadFile(output, buffer, sizeof buffer, &got, nullptr))
        return false;
    m_read.append(buffer, got);
    return got > 0;
}

void setEnvironment(const std::string &name, const std::string &value)
{
    // Both the C runtime's copy, which getenv reads, and the system's, which children get.
    _putenv((name + '=' + value).c_str());
    SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str());
}

bool limitFileSize(std::uint64_t) { return false; }

void dieAtOnce()
{
    TerminateProcess(GetCurrentProcess(), kKilled);
    std::abort();
}
