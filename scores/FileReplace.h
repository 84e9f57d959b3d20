#pragma once
// Replacing a small file so that it is always either the old file or the new one, with the
// copies of the program taking turns.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "scores/FileSystem.h"

namespace profile {

using disk::FileBytes;

// How long an update waits for another copy of the program to finish its own.
inline constexpr int kLockWaitMs = 2000;

// Reads a file whole; one larger than disk::kMaxFileSize counts as unreadable.
FileBytes loadFile(const std::string &path);

// Replaces the file's contents durably (see disk::replaceFile) through a temporary of a
// fixed name beside it, which only the holder of the file's lock (updateFile) writes. False,
// with the old file byte for byte as it was and no temporary left, when any step fails.
bool saveFile(const std::string &path, std::string_view bytes);

// The new contents of a file computed from what it holds; nothing refuses the change.
using Change = std::function<std::optional<std::string>(const FileBytes &before)>;

// Under the lock beside writePath (waiting at most lockWaitMs for it): reads readPath,
// computes the change and, when it alters anything, replaces writePath once with it. False
// when the lock is not had in time, readPath exists but cannot be read, the change is
// refused or makes the file larger than disk::kMaxFileSize, or the replacement fails.
bool updateFile(const std::string &readPath, const std::string &writePath, const Change &change,
                int lockWaitMs = kLockWaitMs);

// The lock beside a file that updateFile takes, waiting at most waitMs for another holder;
// it holds nothing when it was not had.
disk::Lock lockBeside(const std::string &path, int waitMs);

} // namespace profile
