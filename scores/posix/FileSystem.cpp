// The score file's operating-system needs on POSIX systems.

#include "scores/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace disk {

namespace {

FileBytes unreadable(std::string reason) { return {FileBytes::State::Unreadable, {}, std::move(reason)}; }

bool faulty(SaveStep step) { return saveFault() && saveFault()(step); }

std::string folderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

FileBytes readOpenFile(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return unreadable(std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        return unreadable(std::strerror(EISDIR));
    if (!S_ISREG(st.st_mode))
        return unreadable("not a regular file");
    // Never more than the size seen now, plus one byte that tells a file grown meanwhile.
    std::string bytes(std::size_t(std::min<std::int64_t>(st.st_size, kMaxFileSize)) + 1, '\0');
    std::size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + have, bytes.size() - have);
        if (got == 0)
            break;
        if (got < 0 && errno != EINTR)
            return unreadable(std::strerror(errno));
        have += std::size_t(std::max<ssize_t>(got, 0));
    }
    bytes.resize(have);
    return {FileBytes::State::Read, std::move(bytes), {}};
}

// The file a link at path leads to, through links of links; path itself when it is no link.
std::string followLinks(std::string path)
{
    constexpr int kMaxLinks = 128;
    for (int i = 0; i < kMaxLinks; ++i) {
        char target[PATH_MAX];
        const ssize_t size = ::readlink(path.c_str(), target, sizeof target);
        if (size <= 0 || size == sizeof target)
            break;
        const std::string to(target, std::size_t(size));
        path = to.front() == '/' ? to : folderOf(path) + '/' + to;
    }
    return path;
}

// The new file is the old one's in all but its contents: it gets the same permissions, and
// it is refused where the old one may not be written.
int openTemporary(const std::string &target, const std::string &temporary)
{
    struct stat old;
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && ::access(target.c_str(), W_OK) != 0)
        return -1;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0 && replacing && ::fchmod(fd, old.st_mode & 07777) != 0) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return -1;
    }
    return fd;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(std::size_t(written));
    }
    return true;
}

// Written, synced and closed, each step checked: a rename of data that never reached the
// disk can leave an empty file after a crash.
bool writeDurably(int fd, std::string_view bytes)
{
    const bool synced = !faulty(SaveStep::Write) && writeAll(fd, bytes) && !faulty(SaveStep::Sync) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

// The rename reaches the disk with its folder. Where a folder cannot be synced the new file
// is in place all the same, so that is no failure.
void syncFolder(const std::string &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

FileBytes readFile(const std::string &path)
{
    // Non-blocking, so that a FIFO in the file's place cannot hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? FileBytes{} : unreadable(std::strerror(errno));
    FileBytes file = readOpenFile(fd);
    ::close(fd);
    return file;
}

bool exists(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool isWritableFolder(const std::string &folder)
{
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool makeFolder(const std::string &folder)
{
    struct stat st;
    return ::mkdir(folder.c_str(), 0777) == 0 || (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

std::string dataFolder()
{
    // A relative XDG_DATA_HOME is to be ignored.
    if (const char *data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
        return std::string(data) + "/kestrin";
    const char *home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd *user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || !*home)
        return {};
    return std::string(home) + "/.local/share/kestrin";
}

Lock::~Lock()
{
    if (m_handle == kNoHandle)
        return;
    // Removed while still held, so that a waiter never settles for a lock on a file that is gone.
    ::unlink(m_path.c_str());
    ::close(int(m_handle));
}

LockAttempt tryLock(const std::string &path, Lock &lock)
{
    // An flock, which a killed holder cannot leave behind: a leftover file is free at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return LockAttempt::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? LockAttempt::Busy : LockAttempt::Failed;
    }
    // The holder before may have removed the file between our open and our flock.
    struct stat held, named;
    if (::fstat(fd, &held) != 0 || ::stat(path.c_str(), &named) != 0 || held.st_dev != named.st_dev
        || held.st_ino != named.st_ino) {
        ::close(fd);
        return LockAttempt::Busy;
    }
    lock = Lock(fd, path);
    return LockAttempt::Taken;
}

bool replaceFile(const std::string &path, std::string_view bytes, std::string_view temporarySuffix)
{
    const std::string target = followLinks(path);
    const std::string temporary = target + std::string(temporarySuffix);
    const int fd = openTemporary(target, temporary);
    if (fd < 0)
        return false;
    if (!writeDurably(fd, bytes) || faulty(SaveStep::Replace) || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolder(folderOf(target));
    return true;
}

} // namespace disk
