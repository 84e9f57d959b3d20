// The score file: where it lives, and reading and writing its values.

#include "scores/ScoreFile.h"

#include <algorithm>
#include <array>

#include "forms/Runtime.h"
#include "scores/FileReplace.h"
#include "scores/FileSystem.h"
#include "scores/PrivateProfile.h"

namespace modSubroutine {

namespace {

// The file keeps this name whatever the executable is called.
constexpr std::string_view kScoreFileName = "Qorvel.ini";

// Makes folder and the folders it is in, as far as they are missing.
void makeFolders(const std::string &folder)
{
    for (auto separator = folder.find_first_of("/\\", 1); separator != std::string::npos;
         separator = folder.find_first_of("/\\", separator + 1))
        disk::makeFolder(folder.substr(0, separator));
    disk::makeFolder(folder);
}

std::string folderOf(const std::string &path) { return path.substr(0, path.find_last_of("/\\")); }

} // namespace

std::string ScoreFileIn(std::string_view folder)
{
    std::string path(folder);
    if (path.empty() || (path.back() != '/' && path.back() != '\\'))
        path += '/';
    return path.append(kScoreFileName);
}

ScoreFiles ChooseScoreFiles(const ScoreFolderFacts &facts)
{
    const std::string inProgram = ScoreFileIn(facts.programFolder);
    const std::string inData = facts.dataFolder.empty() ? std::string() : ScoreFileIn(facts.dataFolder);
    // An installed copy never keeps its table beside the program; without a data folder
    // it has nowhere to keep one.
    if (facts.installed)
        return {inData, inData};
    // A portable copy keeps its table with it whenever it can.
    if (facts.programFolderWritable || inData.empty())
        return {inProgram, inProgram};
    // The player's table must not seem lost when the program's folder turns read-only:
    // it is shown until the first save carries it, ranked, into the data folder.
    if (facts.programTableExists && !facts.dataTableExists)
        return {inProgram, inData};
    return {inData, inData};
}

ScoreFiles ScoreFilesNow(bool installed)
{
    ScoreFolderFacts facts;
    facts.installed = installed;
    facts.programFolder = forms::AppPath();
    facts.programFolderWritable = disk::isWritableFolder(facts.programFolder);
    facts.dataFolder = disk::dataFolder();
    facts.programTableExists = disk::exists(ScoreFileIn(facts.programFolder));
    facts.dataTableExists = !facts.dataFolder.empty() && disk::exists(ScoreFileIn(facts.dataFolder));
    return ChooseScoreFiles(facts);
}

std::string ScoreFilePath() { return ScoreFilesNow().read; }

std::string ReadIniIn(std::string_view text, std::string_view section, std::string_view key)
{
    std::array<char, 512> buffer;
    buffer.fill(' ');
    profile::getProfileString(text, section, key, nullptr, buffer.data(), 511);
    const auto end = std::find(buffer.begin(), buffer.end(), '\0');
    if (end == buffer.end())
        return {};
    std::string_view value(buffer.data(), static_cast<std::size_t>(end - buffer.begin()));
    const auto first = value.find_first_not_of(' ');
    if (first == value.npos)
        return {};
    return std::string(value.substr(first, value.find_last_not_of(' ') - first + 1));
}

std::optional<std::string> WriteIniIn(std::string_view text, std::string_view section, std::string_view key,
                                      std::string_view value)
{
    return profile::putProfileString(text, section, key, value);
}

std::string ReadIni(std::string_view section, std::string_view key)
{
    return ReadIniIn(profile::loadFile(ScoreFilePath()).bytes, section, key);
}

bool UpdateScoreFile(const ScoreFiles &files,
                     const std::function<std::optional<std::string>(const std::string &text)> &change)
{
    if (files.write.empty())
        return false;
    // The data folder does not exist before the first save.
    makeFolders(folderOf(files.write));
    return profile::updateFile(files.read, files.write,
                               [&](const profile::FileBytes &before) { return change(before.bytes); });
}

std::optional<std::string> ScoreFileTrouble()
{
    const std::string path = ScoreFilePath();
    const profile::FileBytes file = profile::loadFile(path);
    if (file.state == profile::FileBytes::State::Unreadable)
        return "cannot read " + path + ": " + file.reason;
    if (profile::isUtf16(file.bytes))
        return "cannot read " + path + ": UTF-16 text is not supported";
    return std::nullopt;
}

} // namespace modSubroutine
