// The Win32 body's command line output: a program without a console window of its own
// prints on the console it was started from, or into the file or pipe it was given.

#include "forms/win32/Native.h"

#include <system_error>

namespace forms::win32 {

namespace {

// Started from a console, the program borrows it; started from Explorer or a shortcut
// there is none, and none is made (no window flashes up).
HANDLE parentConsole()
{
    static const HANDLE console = [] {
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return INVALID_HANDLE_VALUE;
        // Attaching leaves a GUI program's standard handles empty: the console's own buffer.
        return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }();
    return console;
}

// A handle given by whoever started the program (a redirection) wins over the console.
HANDLE outputHandle(OutputStream stream)
{
    const HANDLE given = GetStdHandle(stream == OutputStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (given != nullptr && given != INVALID_HANDLE_VALUE)
        return given;
    return parentConsole();
}

// A console shows UTF-16 whatever its code page; anything else gets UTF-8 bytes.
bool write(HANDLE handle, const std::string &text)
{
    DWORD mode;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = widen(text);
        DWORD written = 0;
        return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) &&
               written == wide.size();
    }
    for (std::size_t done = 0; done < text.size();) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data() + done, static_cast<DWORD>(text.size() - done), &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

} // namespace forms::win32

namespace forms::body {

// Qt's -platform and -display mean nothing here.
std::vector<CommandLineOption> windowSystemOptions() { return {}; }

std::optional<std::string> print(OutputStream stream, const std::string &text)
{
    const HANDLE handle = win32::outputHandle(stream);
    if (handle == INVALID_HANDLE_VALUE || text.empty() || win32::write(handle, text))
        return std::nullopt;
    return std::system_category().message(static_cast<int>(GetLastError()));
}

} // namespace forms::body
