// Checked, atomic, serialised replacement of a file, with the cleaning of leftovers.

#include "scores/FileReplace.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <algorithm>
#include <cstdint>
#include <vector>

#ifdef Q_OS_WIN
#define NOMINMAX
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace profile {

std::function<bool(SaveStep, int)> &saveFault()
{
    static std::function<bool(SaveStep, int)> fault;
    return fault;
}

namespace {

QString qs(const std::string &path) { return QString::fromStdString(path); }

bool faulty(SaveStep step, int handle) { return saveFault() && saveFault()(step, handle); }

// The file's data reach the disk before it is renamed over the old one: a rename of
// unsynced data can leave an empty file after a crash. QSaveFile::commit() syncs too but
// ignores the result.
bool syncToDisk(int handle)
{
#ifdef Q_OS_WIN
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(handle))) != 0;
#else
    return ::fsync(handle) == 0;
#endif
}

// Which leftovers a save may remove, and why that rule is exact.
//
// QSaveFile makes its temporary beside the target. Where the filesystem allows (Linux:
// ext4, tmpfs and most others) it is an unnamed O_TMPFILE file that vanishes with a killed
// process; at commit() it is linked straight to the table's name when there is no table
// yet, and otherwise to "<table>.XXXXXX" (six random ASCII letters) and renamed over the
// table, so a kill between those two calls leaves that name behind.
// Elsewhere the temporary carries such a name from the start. A player's own file may
// have a name of exactly that shape ("Qorvel.ini.backup"), so the name alone proves
// nothing. Each save therefore records what identifies its temporary in a journal beside
// the lock, before the temporary can be left behind under a name:
//   named   DEV INODE NAME        a temporary that has a name from the start, recorded
//                                 as soon as it exists;
//   unnamed DEV INODE SIZE MTIME  an unnamed one, recorded once its data are final, just
//                                 before commit() names it.
// A later successful save, under the lock, removes a file only when it has the temporaries'
// name shape, is a regular file and matches a record in every field; then it removes the
// journal. An unnamed record needs its size and modification time because a killed
// unnamed temporary frees its inode number for reuse by any new file. A failed save takes
// its own records back out. What this cannot remove: a named temporary killed in the
// moment between its creation and its record, which stays rather than risk a guess.
#ifndef Q_OS_WIN
struct Identity {
    bool named = false;
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = 0, mtimeNs = 0;
    QString name;

    static Identity of(const struct stat &st)
    {
        return {false, static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                static_cast<std::int64_t>(st.st_size),
                static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec, {}};
    }

    QByteArray record() const
    {
        const QByteArray id = QByteArray::number(device) + ' ' + QByteArray::number(inode) + ' ';
        if (named)
            return "named " + id + name.toUtf8() + '\n';
        return "unnamed " + id + QByteArray::number(size) + ' ' + QByteArray::number(mtimeNs) + '\n';
    }

    static std::optional<Identity> parse(const QByteArray &line)
    {
        const QList<QByteArray> f = line.split(' ');
        Identity id;
        bool ok[4] = {false, false, true, true};
        if (f.size() == 4 && f[0] == "named") {
            id.named = true;
            id.name = QString::fromUtf8(f[3]);
        } else if (f.size() == 5 && f[0] == "unnamed") {
            id.size = f[3].toLongLong(&ok[2]);
            id.mtimeNs = f[4].toLongLong(&ok[3]);
        } else {
            return std::nullopt;
        }
        id.device = f[1].toULongLong(&ok[0]);
        id.inode = f[2].toULongLong(&ok[1]);
        if (!(ok[0] && ok[1] && ok[2] && ok[3]))
            return std::nullopt;
        return id;
    }

    bool matches(const QString &entryName, const struct stat &st) const
    {
        const Identity other = of(st);
        if (device != other.device || inode != other.inode)
            return false;
        return named ? name == entryName : size == other.size && mtimeNs == other.mtimeNs;
    }
};

// "<table>." and six ASCII letters: the names QSaveFile gives its temporaries.
bool hasTemporaryShape(const QString &entry, const QString &table)
{
    constexpr qsizetype kRandomLetters = 6;
    if (entry.size() != table.size() + 1 + kRandomLetters || !entry.startsWith(table + '.'))
        return false;
    for (const QChar c : entry.sliced(table.size() + 1)) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    }
    return true;
}

// Regular files beside path whose names have the temporaries' shape, with their status.
std::vector<std::pair<QString, struct stat>> temporaryShapedFiles(const QString &path)
{
    const QFileInfo target(path);
    const QDir dir = target.absoluteDir();
    std::vector<std::pair<QString, struct stat>> found;
    const QStringList entries = dir.entryList({target.fileName() + ".??????"}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        struct stat st;
        if (hasTemporaryShape(entry, target.fileName())
            && ::lstat(QFile::encodeName(dir.filePath(entry)).constData(), &st) == 0 && S_ISREG(st.st_mode))
            found.emplace_back(entry, st);
    }
    return found;
}
#endif

// The journal of one save, beside the table's lock.
class Journal {
public:
    explicit Journal(const std::string &table) : m_table(qs(table)), m_file(m_table + ".journal")
    {
        m_existed = m_file.exists();
        m_sizeBefore = m_existed ? m_file.size() : 0;
    }

    // Records the temporary open on handle if it already has a name.
    bool recordIfNamed(int handle) { return record(handle, true); }
    // Records the temporary open on handle if it is unnamed; its data must be final.
    bool recordIfUnnamed(int handle) { return record(handle, false); }

    // Takes this save's records back out after it failed.
    void rollBack()
    {
        if (!m_existed)
            m_file.remove();
        else if (m_file.size() != m_sizeBefore)
            m_file.resize(m_sizeBefore);
    }

    // After a successful save: removes every leftover the journal records, then the journal.
    void cleanLeftovers()
    {
#ifndef Q_OS_WIN
        if (!m_file.open(QIODevice::ReadOnly))
            return;
        std::vector<Identity> records;
        // Only whole lines count: a save killed while writing one leaves a part line.
        for (const QByteArray &line : m_file.readAll().split('\n')) {
            if (const auto id = Identity::parse(line); id && !line.isEmpty())
                records.push_back(*id);
        }
        m_file.close();
        const QDir dir = QFileInfo(m_table).absoluteDir();
        for (const auto &[entry, st] : temporaryShapedFiles(m_table)) {
            for (const Identity &id : records) {
                if (id.matches(entry, st)) {
                    QFile::remove(dir.filePath(entry));
                    break;
                }
            }
        }
#endif
        m_file.remove();
    }

private:
    bool record(int handle, bool whenNamed)
    {
#ifdef Q_OS_WIN
        // Temporaries are not identified here; a killed save's temporary stays behind.
        (void)handle;
        (void)whenNamed;
        return true;
#else
        struct stat st;
        if (::fstat(handle, &st) != 0)
            return false;
        const bool named = st.st_nlink > 0;
        if (named != whenNamed)
            return true;
        Identity id = Identity::of(st);
        id.named = named;
        if (named) {
            const auto files = temporaryShapedFiles(m_table);
            const auto own = std::find_if(files.begin(), files.end(), [&](const auto &file) {
                return file.second.st_dev == st.st_dev && file.second.st_ino == st.st_ino;
            });
            // Not a temporary of the shape cleaned up, so nothing to record.
            if (own == files.end())
                return true;
            id.name = own->first;
        }
        if (!m_file.open(QIODevice::Append))
            return false;
        const QByteArray line = id.record();
        const bool written = m_file.write(line) == line.size() && m_file.flush();
        m_file.close();
        return written;
#endif
    }

    QString m_table;
    QFile m_file;
    bool m_existed = false;
    qint64 m_sizeBefore = 0;
};

// A lock file is made first and names its process a moment later; a copy killed in that
// moment leaves it empty, and QLockFile would then wait out its whole stale time (30 s)
// before taking it over. Such a file is taken for stale sooner: on POSIX systems when no
// process holds it (QLockFile flocks the file as soon as it has made it, and a killed
// process's flock is gone) and it is older than the moment between making and flocking;
// elsewhere when it is older than any making and naming takes.
#ifdef Q_OS_WIN
constexpr qint64 kEmptyLockAgeMs = 1000;
#else
constexpr qint64 kEmptyLockAgeMs = 20;
#endif

bool isAbandonedEmptyLock(const QString &path)
{
    qint64 pid = 0;
    QString host, app;
    const QFileInfo file(path);
    if (!file.exists() || QLockFile(path).getLockInfo(&pid, &host, &app)
        || file.lastModified().msecsTo(QDateTime::currentDateTime()) <= kEmptyLockAgeMs)
        return false;
#ifdef Q_OS_WIN
    return true;
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return !held;
#endif
}

// Waits up to waitMs for the lock, taking over stale ones.
bool takeLock(QLockFile &lock, int waitMs)
{
    constexpr int kRetryMs = 50;
    // QLockFile guards its own removal of a stale lock with this second lock, which a kill
    // can leave empty too.
    const QString removalLock = lock.fileName() + ".rmlock";
    QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (lock.tryLock(std::min<qint64>(kRetryMs, deadline.remainingTime())))
            return true;
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        if (isAbandonedEmptyLock(lock.fileName()))
            lock.removeStaleLockFile();
        if (isAbandonedEmptyLock(removalLock))
            QFile::remove(removalLock);
    }
}

} // namespace

bool saveFile(const std::string &path, std::string_view bytes)
{
    QSaveFile file(qs(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    Journal journal(path);
    const auto fail = [&] {
        file.cancelWriting();
        journal.rollBack();
        return false;
    };
    const int handle = file.handle();
    const auto size = static_cast<qint64>(bytes.size());
    // QSaveFile buffers writes: an error may only show at the flush, and commit() would
    // rename a short file over the table all the same, so each step is checked here.
    if (!journal.recordIfNamed(handle))
        return fail();
    if (faulty(SaveStep::Write, handle) || file.write(bytes.data(), size) != size)
        return fail();
    if (faulty(SaveStep::Flush, handle) || !file.flush())
        return fail();
    if (faulty(SaveStep::Sync, handle) || !syncToDisk(handle))
        return fail();
    if (!journal.recordIfUnnamed(handle))
        return fail();
    if (faulty(SaveStep::Rename, handle))
        return fail();
    // A failed commit() removes its temporary itself.
    if (!file.commit()) {
        journal.rollBack();
        return false;
    }
    journal.cleanLeftovers();
    return true;
}

bool updateFile(const std::string &readPath, const std::string &writePath, const Change &change, int lockWaitMs)
{
    QLockFile lock(qs(writePath) + ".lock");
    if (!takeLock(lock, lockWaitMs))
        return false;
    const FileBytes before = loadFile(readPath);
    // A file that exists but cannot be read must not be taken for a missing one and replaced.
    if (before.state == FileBytes::State::Unreadable)
        return false;
    const std::optional<std::string> after = change(before);
    // A file too large to be read back would lose the whole table.
    if (!after || static_cast<std::int64_t>(after->size()) > kMaxFileSize)
        return false;
    if (readPath == writePath && before.state == FileBytes::State::Read && *after == before.bytes)
        return true;
    return saveFile(writePath, *after);
}

} // namespace profile
