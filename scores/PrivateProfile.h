#pragma once
// Private-profile (INI) text, read and written the way the Windows functions
// GetPrivateProfileStringA and WritePrivateProfileStringA do, on a file's whole text in
// memory. File bytes are 8-bit text; section and key names compare without regard to ASCII
// case.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace profile {

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

// True for text that starts with a UTF-16 byte-order mark: its keys cannot be read or
// written as 8-bit lines.
bool isUtf16(std::string_view text);

} // namespace profile
