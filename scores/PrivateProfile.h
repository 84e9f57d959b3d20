#pragma once
// Private-profile (INI) files, read and written the way the Windows functions
// GetPrivateProfileStringA and WritePrivateProfileStringA do, on an explicit path.
// File bytes are 8-bit text; section and key names compare without regard to ASCII case.
// Failures are soft: a file that cannot be read reads as empty, a write that fails
// returns false and leaves the file as it was.

#include <cstdint>
#include <string>
#include <string_view>

namespace profile {

// Files larger than this are neither read nor rewritten: both hold the whole file in
// memory, and no file this program writes comes anywhere near it.
inline constexpr std::int64_t kMaxFileSize = 16 * 1024 * 1024;

// Copies the value of key in section into buffer, cut to size - 1 bytes and ended by a NUL;
// returns the number of bytes copied. A missing file, section or key, or a key line without
// "=", gives defaultValue (nullptr: empty text) without its trailing spaces. With size 0 the
// buffer is not touched.
std::uint32_t GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                       const char *defaultValue, char *buffer, std::uint32_t size,
                                       const std::string &path);

// Stores value under key in section, creating the file or the section when missing. Every
// other line of the file is kept as it was; an unchanged value leaves the file untouched.
// The file is replaced atomically. Returns false, with the file as it was, when it cannot be
// read or written, or when a name or the value would break the file's line structure.
bool WritePrivateProfileStringA(std::string_view section, std::string_view key,
                                std::string_view value, const std::string &path);

// The whole contents of a file, or why there are none.
struct FileBytes {
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    std::string bytes;
};

// Reads a file whole; one larger than kMaxFileSize counts as unreadable.
FileBytes loadFile(const std::string &path);

// Replaces the file's contents atomically: a new file beside it, then a rename.
bool saveFile(const std::string &path, std::string_view bytes);

} // namespace profile
