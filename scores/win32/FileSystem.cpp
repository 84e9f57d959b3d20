// The score file's operating-system needs on Windows, through the wide functions, so that
// folders with any name (C:\Users\山田\…) work.

#include "scores/FileSystem.h"

#include <algorithm>

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX 1
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace disk {

namespace {

FileBytes unreadable(std::string reason) { return {FileBytes::State::Unreadable, {}, std::move(reason)}; }

bool faulty(SaveStep step) { return saveFault() && saveFault()(step); }

std::wstring wide(std::string_view text)
{
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(std::size_t(std::max(size, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size);
    return out;
}

std::string narrow(std::wstring_view text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(std::max(size, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// The system's words for an error, in UTF-8, without the line break they end with.
std::string describe(DWORD error)
{
    wchar_t *message = nullptr;
    const DWORD size = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t *>(&message), 0, nullptr);
    std::string text = size ? narrow(std::wstring_view(message, size)) : "error " + std::to_string(error);
    ::LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Closes a handle when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle()
    {
        if (*this)
            ::CloseHandle(m_handle);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    explicit operator bool() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    // Closes now; false when closing failed.
    bool close() { return ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE)) != 0; }

private:
    HANDLE m_handle;
};

FileBytes readOpenFile(HANDLE file)
{
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size))
        return unreadable(describe(::GetLastError()));
    // Never more than the size seen now, plus one byte that tells a file grown meanwhile.
    std::string bytes(std::size_t(std::min<std::int64_t>(size.QuadPart, kMaxFileSize)) + 1, '\0');
    std::size_t have = 0;
    while (have < bytes.size()) {
        DWORD got = 0;
        if (!::ReadFile(file, bytes.data() + have, DWORD(bytes.size() - have), &got, nullptr))
            return unreadable(describe(::GetLastError()));
        if (got == 0)
            break;
        have += got;
    }
    bytes.resize(have);
    return {FileBytes::State::Read, std::move(bytes), {}};
}

bool writeAll(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// Written, flushed to the disk and closed, each step checked: a move of data that never
// reached the disk can leave an empty file after a crash.
bool writeDurably(Handle &file, std::string_view bytes)
{
    const bool flushed = !faulty(SaveStep::Write) && writeAll(file.get(), bytes) && !faulty(SaveStep::Sync)
                      && ::FlushFileBuffers(file.get());
    return file.close() && flushed;
}

// Puts the written temporary in the target's place in one step, a rename that replaces
// it: killed at any moment, the save leaves the old table or the new one. (ReplaceFileW
// takes several steps, between which the table exists under no name at all.) A reader's
// handle, shared as it is, may refuse the rename for the moment of its read: tried again.
bool moveOver(const std::wstring &temporary, const std::wstring &target)
{
    constexpr int kAttempts = 100;
    constexpr DWORD kPauseMs = 10;
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = ::GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == kAttempts)
            return false;
        ::Sleep(kPauseMs);
    }
}

} // namespace

FileBytes readFile(const std::string &path)
{
    // Shared for writing and deleting too, so that another copy can replace the file meanwhile.
    const Handle file(::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileBytes{} : unreadable(describe(error));
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        return unreadable("not a regular file");
    return readOpenFile(file.get());
}

bool exists(const std::string &path) { return ::GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isWritableFolder(const std::string &folder)
{
    const DWORD attributes = ::GetFileAttributesW(wide(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // Only making a file tells: the read-only attribute says nothing about a folder, and
    // the access rules (Program Files) are the system's to apply. The probe goes with its
    // handle, also when the process dies.
    const std::string probe = folder + "\\kestrin-probe-" + std::to_string(::GetCurrentProcessId());
    const Handle file(::CreateFileW(wide(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return bool(file);
}

bool makeFolder(const std::string &folder)
{
    const DWORD attributes = ::GetFileAttributesW(wide(folder).c_str());
    return ::CreateDirectoryW(wide(folder).c_str(), nullptr)
        || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

std::string dataFolder()
{
    // %APPDATA% as the user's environment has it, when it is a full path (a drive or a
    // share); else where the system keeps the roaming application data.
    std::wstring roaming(MAX_PATH, L'\0');
    roaming.resize(::GetEnvironmentVariableW(L"APPDATA", roaming.data(), DWORD(roaming.size())));
    const bool onDrive = roaming.size() >= 3 && roaming[1] == L':' && (roaming[2] == L'\\' || roaming[2] == L'/');
    if (roaming.size() >= MAX_PATH || !(onDrive || roaming.starts_with(L"\\\\")))
        roaming.clear();
    wchar_t *known = nullptr;
    if (roaming.empty() && ::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &known) == S_OK)
        roaming = known;
    ::CoTaskMemFree(known);
    return roaming.empty() ? std::string() : narrow(roaming) + "\\Kestrin";
}

Lock::~Lock()
{
    // The file is deleted as its handle closes.
    if (m_handle != kNoHandle)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

LockAttempt tryLock(const std::string &path, Lock &lock)
{
    // Opened without sharing: nobody else opens the file while it is held, and the system
    // closes the handle, and so deletes the file, of a holder that was killed.
    const HANDLE file = ::CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // A lock file that its holder is deleting refuses access until its handle is gone.
        const DWORD error = ::GetLastError();
        const bool busy = error == ERROR_SHARING_VIOLATION || (error == ERROR_ACCESS_DENIED && exists(path));
        return busy ? LockAttempt::Busy : LockAttempt::Failed;
    }
    lock = Lock(reinterpret_cast<std::intptr_t>(file), path);
    return LockAttempt::Taken;
}

bool replaceFile(const std::string &path, std::string_view bytes, std::string_view temporarySuffix)
{
    const std::wstring target = wide(path), temporary = wide(path + std::string(temporarySuffix));
    Handle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    if (!writeDurably(file, bytes) || faulty(SaveStep::Replace) || !moveOver(temporary, target)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace disk
