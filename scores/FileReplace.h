#pragma once
// Replacing a small file so that it is always either the old file or the new one: every
// write checked to the end, copies of the program taking turns, and the temporaries of an
// earlier save that was killed removed by the next successful one.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "scores/PrivateProfile.h"

namespace profile {

// How long an update waits for another copy of the program to finish its own.
inline constexpr int kLockWaitMs = 2000;

// Replaces the file's contents: a new file beside it, written, flushed and synced to the
// disk, then renamed over it. False, with the old file byte for byte as it was and no
// temporary left, when any step fails. The caller holds the file's lock (updateFile).
bool saveFile(const std::string &path, std::string_view bytes);

// The new contents of a file computed from what it holds; nothing refuses the change.
using Change = std::function<std::optional<std::string>(const FileBytes &before)>;

// Under the lock beside writePath (waiting at most lockWaitMs for it): reads readPath,
// computes the change and, when it alters anything, replaces writePath once with it. False
// when the lock is not had in time, readPath exists but cannot be read, the change is
// refused or makes the file larger than kMaxFileSize, or the replacement fails.
bool updateFile(const std::string &readPath, const std::string &writePath, const Change &change,
                int lockWaitMs = kLockWaitMs);

// A step of saveFile that tests can make fail.
enum class SaveStep { Write, Flush, Sync, Rename };

// Test seam, called with the open temporary's handle before each step; true makes the step
// fail as if the system had refused it. Empty in the program.
std::function<bool(SaveStep step, int handle)> &saveFault();

} // namespace profile
