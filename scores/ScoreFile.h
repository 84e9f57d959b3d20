#pragma once
// The score file: one INI file holding the high-score table, opened anew on every call.
// Trouble with it is soft: a file that cannot be read reads as empty values, a write that
// fails returns false and leaves the file as it was.

#include <string>
#include <string_view>

namespace modSubroutine {

// The score file's path inside folder; a folder given with a trailing separator (a root)
// gets no second one.
std::string ScoreFileIn(std::string_view folder);

// Where the score file is read and written: beside the executable when that folder is
// writable, otherwise in the user's data folder.
std::string ScoreFilePath();

// The value of key in section of the score file without surrounding spaces; empty text when
// the file, the section or the key is missing. Values are cut at 510 bytes.
std::string ReadIni(std::string_view section, std::string_view key);

// Stores value under key in section of the score file, creating the file, its folder and the
// section as needed; false when it could not be stored.
bool WriteIni(std::string_view section, std::string_view key, std::string_view value);

} // namespace modSubroutine
