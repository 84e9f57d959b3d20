#pragma once
// What the score file needs of the operating system, with one body per platform: reading a
// file whole, the folders a table may live in, a lock beside the table and a durable
// replacement. Paths are UTF-8 text.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace disk {

// Files larger than this are neither read nor rewritten: both hold the whole file in
// memory, and no file this program writes comes anywhere near it.
inline constexpr std::int64_t kMaxFileSize = 16 * 1024 * 1024;

// The whole contents of a file, or why there are none.
struct FileBytes {
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    std::string bytes;
    std::string reason; // why an unreadable file could not be read
};

// Reads a file whole, without ever blocking another copy's replacement of it: at most
// kMaxFileSize + 1 bytes, the one more telling a file over the limit. A file that is not a
// regular file counts as unreadable.
FileBytes readFile(const std::string &path);

// True when something (a file, a folder, ...) exists at path.
bool exists(const std::string &path);

// True when folder is a folder in which this process can make files.
bool isWritableFolder(const std::string &folder);

// Makes one folder whose parent exists; true when it exists afterwards.
bool makeFolder(const std::string &folder);

// The user's own folder for the program's data; empty when the user has none.
std::string dataFolder();

enum class LockAttempt { Taken, Busy, Failed };

// A lock on a file, held until it is destroyed, which also removes the file. A process that
// ends, however it ends, holds no lock any more.
class Lock {
public:
    Lock() = default;
    Lock(Lock &&other) noexcept { *this = std::move(other); }
    // The lock held before goes with other.
    Lock &operator=(Lock &&other) noexcept
    {
        std::swap(m_handle, other.m_handle);
        std::swap(m_path, other.m_path);
        return *this;
    }
    ~Lock();

    explicit operator bool() const { return m_handle != kNoHandle; }

private:
    static constexpr std::intptr_t kNoHandle = -1;
    Lock(std::intptr_t handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}
    friend LockAttempt tryLock(const std::string &path, Lock &lock);

    std::intptr_t m_handle = kNoHandle;
    std::string m_path;
};

// One attempt at the lock on the file at path, which is made when missing: Busy while
// another holder has it, Failed when it cannot be had at all.
LockAttempt tryLock(const std::string &path, Lock &lock);

// Puts bytes in place of the file at path so that it is always either the old file or the
// new one, also after a crash: written to a temporary beside it (its name with
// temporarySuffix), flushed to the disk, then moved over it in one step. On POSIX systems a
// link at path is followed and its target replaced, keeping the old file's permissions. False,
// with the file as it was and no temporary left, when any step fails.
bool replaceFile(const std::string &path, std::string_view bytes, std::string_view temporarySuffix);

// A step of replaceFile that tests can make fail.
enum class SaveStep { Write, Sync, Replace };

// Test seam, asked before each step of replaceFile; true makes the step fail as if the
// system had refused it. Empty in the program.
std::function<bool(SaveStep step)> &saveFault();

} // namespace disk
