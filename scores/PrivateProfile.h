#pragma once
// Private-profile (INI) files, read and written the way the Windows functions
// GetPrivateProfileStringA and WritePrivateProfileStringA do. The rules work on a file's
// whole text in memory; the two functions are thin wrappers that load and replace a file.
// File bytes are 8-bit text; section and key names compare without regard to ASCII case.
// Failures are soft: a file that cannot be read reads as empty, a write that fails
// returns false and leaves the file as it was.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace profile {

// Files larger than this are neither read nor rewritten: both hold the whole file in
// memory, and no file this program writes comes anywhere near it.
inline constexpr std::int64_t kMaxFileSize = 16 * 1024 * 1024;

// GetPrivateProfileStringA on a file's text: copies the value of key in section into
// buffer, cut to size - 1 bytes and ended by a NUL; returns the number of bytes copied. A
// missing section or key, or a key line without "=", gives defaultValue (nullptr: empty
// text) without its trailing spaces. With size 0 the buffer is not touched.
std::uint32_t getProfileString(std::string_view text, std::string_view section, std::string_view key,
                               const char *defaultValue, char *buffer, std::uint32_t size);

// WritePrivateProfileStringA on a file's text: the text with value stored under key in
// section, the section appended when missing; every other line is kept as it was. Nothing
// when the text is UTF-16 or a name or the value would break the file's line structure.
std::optional<std::string> putProfileString(std::string_view text, std::string_view section,
                                            std::string_view key, std::string_view value);

// getProfileString on the file at path; a missing or unreadable file has no sections.
std::uint32_t GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                       const char *defaultValue, char *buffer, std::uint32_t size,
                                       const std::string &path);

// putProfileString on the file at path, which is then replaced once (see updateFile); an
// unchanged value leaves the file untouched. False, with the file as it was, when it
// cannot be read or replaced or the value is refused.
bool WritePrivateProfileStringA(std::string_view section, std::string_view key,
                                std::string_view value, const std::string &path);

// The whole contents of a file, or why there are none.
struct FileBytes {
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    std::string bytes;
    std::string reason; // why an unreadable file could not be read
};

// Reads a file whole; one larger than kMaxFileSize counts as unreadable.
FileBytes loadFile(const std::string &path);

// True for text that starts with a UTF-16 byte-order mark: its keys cannot be read or
// written as 8-bit lines.
bool isUtf16(std::string_view text);

} // namespace profile
