#pragma once
// The score file: one INI file holding the high-score table, opened anew on every call.
// Trouble with it is soft: a file that cannot be read reads as empty values, a write that
// fails returns false and leaves the file as it was.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace modSubroutine {

// True in a build made to be installed system-wide.
#ifdef KESTRIN_INSTALLED
inline constexpr bool kInstalledBuild = true;
#else
inline constexpr bool kInstalledBuild = false;
#endif

// The score file's path inside folder; a folder given with a trailing separator (a root)
// gets no second one.
std::string ScoreFileIn(std::string_view folder);

// What decides where the table lives.
struct ScoreFolderFacts {
    bool installed = false;          // a build made to be installed
    std::string programFolder;       // the executable's folder
    bool programFolderWritable = false;
    std::string dataFolder;          // the user's data folder; empty when there is none
    bool programTableExists = false; // a score file in the program's folder
    bool dataTableExists = false;    // a score file in the data folder
};

// The file the table is read from and the file a save writes; they differ only while an
// unwritable program folder still holds the table that the first save carries over.
struct ScoreFiles {
    std::string read;
    std::string write;
    friend bool operator==(const ScoreFiles &, const ScoreFiles &) = default;
};

// Where the table lives: always the data folder in an installed build; otherwise the
// program's folder when it is writable (or when there is no data folder), else the data
// folder, reading the program folder's table until the data folder has one of its own.
ScoreFiles ChooseScoreFiles(const ScoreFolderFacts &facts);

// ChooseScoreFiles for this machine now.
ScoreFiles ScoreFilesNow(bool installed = kInstalledBuild);

// The file the table is read from now.
std::string ScoreFilePath();

// ReadIni on a score file's text: the value of key in section without surrounding spaces,
// empty text when the section or the key is missing. Values are cut at 510 bytes.
std::string ReadIniIn(std::string_view text, std::string_view section, std::string_view key);

// WriteIni on a score file's text: the new text, or nothing when the value is refused.
std::optional<std::string> WriteIniIn(std::string_view text, std::string_view section, std::string_view key,
                                      std::string_view value);

// ReadIniIn on the score file; a missing or unreadable file reads as empty text.
std::string ReadIni(std::string_view section, std::string_view key);

// Replaces the table with what change makes of its text (empty for a missing file), once and
// under the table's lock, in the folder where saves go. False, with the table as it was,
// when the table cannot be read or written, the change is refused, or another copy of the
// program holds the table too long.
bool UpdateScoreFile(const ScoreFiles &files,
                     const std::function<std::optional<std::string>(const std::string &text)> &change);

// Why the table exists but cannot be read ("cannot read PATH: REASON"); nothing when it
// can be read or does not exist.
std::optional<std::string> ScoreFileTrouble();

} // namespace modSubroutine
