#include "scores/ScoreFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <array>

#include "app/forms/Runtime.h"
#include "scores/PrivateProfile.h"

#ifdef Q_OS_WIN
extern Q_CORE_EXPORT int qt_ntfs_permission_lookup;
#endif

namespace modSubroutine {

namespace {

// The file keeps this name whatever the executable is called.
constexpr std::string_view kScoreFileName = "Qorvel.ini";

[[maybe_unused]] bool isWritableFolder(const std::string &folder)
{
#ifdef Q_OS_WIN
    // Without the ACL lookup Qt only checks the read-only attribute, which a folder such as
    // Program Files does not have.
    ++qt_ntfs_permission_lookup;
#endif
    const QFileInfo info(QString::fromStdString(folder));
    const bool writable = info.isDir() && info.isWritable();
#ifdef Q_OS_WIN
    --qt_ntfs_permission_lookup;
#endif
    return writable;
}

struct ScoreFileLocation {
    std::string path;
    bool inDataFolder = false;
};

ScoreFileLocation locateScoreFile()
{
    const std::string folder = forms::AppPath();
#ifdef KESTRIN_INSTALLED
    // An installed copy keeps the table in the user's data folder even when the program's
    // folder could be written (as root, say): the table belongs to the player.
    const bool besideProgram = false;
#else
    const bool besideProgram = isWritableFolder(folder);
#endif
    if (besideProgram)
        return {ScoreFileIn(folder), false};
    // An installed copy cannot keep its table beside the executable; a portable copy can,
    // and so always keeps it there.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty())
        return {ScoreFileIn(folder), false};
    return {ScoreFileIn(data.toStdString()), true};
}

} // namespace

std::string ScoreFileIn(std::string_view folder)
{
    std::string path(folder);
    if (path.empty() || (path.back() != '/' && path.back() != '\\'))
        path += '/';
    return path.append(kScoreFileName);
}

std::string ScoreFilePath() { return locateScoreFile().path; }

std::string ReadIni(std::string_view section, std::string_view key)
{
    std::array<char, 512> buffer;
    buffer.fill(' ');
    profile::GetPrivateProfileStringA(section, key, nullptr, buffer.data(), 511, ScoreFilePath());
    const auto end = std::find(buffer.begin(), buffer.end(), '\0');
    if (end == buffer.end())
        return {};
    std::string_view value(buffer.data(), static_cast<std::size_t>(end - buffer.begin()));
    const auto first = value.find_first_not_of(' ');
    if (first == value.npos)
        return {};
    return std::string(value.substr(first, value.find_last_not_of(' ') - first + 1));
}

bool WriteIni(std::string_view section, std::string_view key, std::string_view value)
{
    const ScoreFileLocation file = locateScoreFile();
    // The data folder does not exist before the first write.
    if (file.inDataFolder)
        QDir().mkpath(QFileInfo(QString::fromStdString(file.path)).absolutePath());
    return profile::WritePrivateProfileStringA(section, key, value, file.path);
}

} // namespace modSubroutine
