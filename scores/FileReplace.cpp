// Serialised, durable replacement of a file.

#include "scores/FileReplace.h"

#include <chrono>
#include <cstdint>
#include <thread>

namespace disk {

std::function<bool(SaveStep)> &saveFault()
{
    static std::function<bool(SaveStep)> fault;
    return fault;
}

} // namespace disk

namespace profile {

namespace {

// Beside the file, under its lock. A save killed midway leaves it behind, and the next
// save simply writes over it; the name is one no player gives a file.
constexpr std::string_view kTemporarySuffix = ".kestrin-save";

} // namespace

FileBytes loadFile(const std::string &path)
{
    FileBytes file = disk::readFile(path);
    if (static_cast<std::int64_t>(file.bytes.size()) > disk::kMaxFileSize)
        return {FileBytes::State::Unreadable, {}, "larger than " + std::to_string(disk::kMaxFileSize >> 20) + " MiB"};
    return file;
}

bool saveFile(const std::string &path, std::string_view bytes)
{
    return disk::replaceFile(path, bytes, kTemporarySuffix);
}

disk::Lock lockBeside(const std::string &path, int waitMs)
{
    // Real time, not the game's clock: the holder is another process.
    constexpr auto kRetry = std::chrono::milliseconds(10);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    disk::Lock lock;
    for (;;) {
        const disk::LockAttempt attempt = disk::tryLock(path + ".lock", lock);
        if (attempt != disk::LockAttempt::Busy || std::chrono::steady_clock::now() >= deadline)
            return lock;
        std::this_thread::sleep_for(kRetry);
    }
}

bool updateFile(const std::string &readPath, const std::string &writePath, const Change &change, int lockWaitMs)
{
    const disk::Lock lock = lockBeside(writePath, lockWaitMs);
    if (!lock)
        return false;
    const FileBytes before = loadFile(readPath);
    // A file that exists but cannot be read must not be taken for a missing one and replaced.
    if (before.state == FileBytes::State::Unreadable)
        return false;
    const std::optional<std::string> after = change(before);
    // A file too large to be read back would lose the whole table.
    if (!after || static_cast<std::int64_t>(after->size()) > disk::kMaxFileSize)
        return false;
    if (readPath == writePath && before.state == FileBytes::State::Read && *after == before.bytes)
        return true;
    return saveFile(writePath, *after);
}

} // namespace profile
