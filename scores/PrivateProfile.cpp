// The private-profile rules on a file's text.

#include "scores/PrivateProfile.h"

#include <algorithm>
#include <optional>

namespace profile {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kLineBreak = "\r\n";

// The blanks trimmed from lines and names, Ctrl-Z included as the profile functions do.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1A';
}

std::string_view trimLeft(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s)
{
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view trimmed(std::string_view s) { return trimRight(trimLeft(s)); }

bool sameName(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lower(x) == lower(y);
           });
}

// One physical line: its text is [begin, end), the line break [end, next).
struct Line {
    std::size_t begin = 0, end = 0, next = 0;
};

// Splits text into lines at CRLF, CR or LF, starting at `from`.
class Lines {
public:
    Lines(std::string_view text, std::size_t from) : m_text(text), m_pos(from) {}

    bool next(Line &line)
    {
        if (m_pos >= m_text.size())
            return false;
        line.begin = m_pos;
        const auto lineBreak = std::find_if(m_text.begin() + std::ptrdiff_t(m_pos), m_text.end(),
                                            [](char c) { return c == '\r' || c == '\n'; });
        line.end = std::size_t(lineBreak - m_text.begin());
        line.next = line.end;
        if (line.next < m_text.size())
            line.next += m_text.compare(line.next, 2, kLineBreak) == 0 ? 2 : 1;
        m_pos = line.next;
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_pos;
};

// What one trimmed line of a profile file says.
struct Parsed {
    enum class Kind { Blank, Section, Entry } kind = Kind::Blank;
    std::string_view name;                 // section or key name, trimmed
    std::optional<std::string_view> value; // none for an entry without "="
};

Parsed parseLine(std::string_view raw)
{
    const std::string_view text = trimmed(raw);
    if (text.empty())
        return {};
    // A comment is kept like an entry that never has a value, so no lookup finds one.
    if (text.front() == ';')
        return {Parsed::Kind::Entry, text, {}};
    // A header runs to the last "]"; a "[" line without one is an ordinary entry.
    if (const auto close = text.rfind(']'); text.front() == '[' && close != std::string_view::npos)
        return {Parsed::Kind::Section, trimmed(text.substr(1, close - 1)), {}};
    const auto equals = text.find('=');
    if (equals == std::string_view::npos)
        return {Parsed::Kind::Entry, text, {}};
    return {Parsed::Kind::Entry, trimRight(text.substr(0, equals)), trimLeft(text.substr(equals + 1))};
}

// Where a key of a section stands in a file. Only the first section of that name counts,
// and in it only the first line of that key: the search ends with that section.
struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    Line keyLine;
    std::string_view keyName; // as spelled in the file
    std::optional<std::string_view> value;
    std::size_t insertAt = 0;       // just after the section's last non-blank line
    bool insertNeedsBreak = false; // that line ends the file without a line break
};

std::size_t textStart(std::string_view text) { return text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0; }

Location locate(std::string_view text, std::string_view section, std::string_view key)
{
    Location at;
    bool inSection = false;
    Lines lines(text, textStart(text));
    for (Line line; lines.next(line);) {
        const std::string_view raw = text.substr(line.begin, line.end - line.begin);
        // Until the section starts only headers matter; most lines of a large file are
        // passed over here without being parsed.
        if (!inSection && !trimLeft(raw).starts_with('['))
            continue;
        const Parsed parsed = parseLine(raw);
        if (parsed.kind == Parsed::Kind::Blank)
            continue;
        if (parsed.kind == Parsed::Kind::Section) {
            if (inSection)
                break;
            if (!sameName(parsed.name, section))
                continue;
            at.sectionFound = inSection = true;
        } else if (!inSection) {
            continue;
        }
        at.insertAt = line.next;
        at.insertNeedsBreak = line.next == line.end;
        if (parsed.kind == Parsed::Kind::Entry && sameName(parsed.name, key)) {
            at.keyFound = true;
            at.keyLine = line;
            at.keyName = parsed.name;
            at.value = parsed.value;
            break;
        }
    }
    return at;
}

std::string_view unquoted(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Names and values that would read back differently, or split or add lines, are refused.
bool canWrite(std::string_view section, std::string_view key, std::string_view value)
{
    constexpr std::string_view lineBreaking("\r\n\0", 3);
    const auto breaksLines = [&](std::string_view s) { return s.find_first_of(lineBreaking) != s.npos; };
    return !breaksLines(section) && !breaksLines(key) && !breaksLines(value) && !key.empty()
        && key.find('=') == key.npos && key.front() != ';' && key.front() != '[';
}

} // namespace

std::uint32_t getProfileString(std::string_view text, std::string_view section, std::string_view key,
                               const char *defaultValue, char *buffer, std::uint32_t size)
{
    if (size == 0)
        return 0;
    std::string_view result = defaultValue ? defaultValue : "";
    while (!result.empty() && result.back() == ' ')
        result.remove_suffix(1);

    if (!isUtf16(text)) {
        const Location at = locate(text, trimmed(section), trimmed(key));
        if (at.keyFound && at.value)
            result = unquoted(*at.value);
    }
    const std::size_t copied = std::min<std::size_t>(result.size(), size - 1);
    std::copy_n(result.data(), copied, buffer);
    buffer[copied] = '\0';
    return static_cast<std::uint32_t>(copied);
}

std::optional<std::string> putProfileString(std::string_view text, std::string_view section,
                                            std::string_view key, std::string_view value)
{
    section = trimmed(section);
    key = trimmed(key);
    // UTF-16 text would be corrupted by the 8-bit lines written into it.
    if (!canWrite(section, key, value) || isUtf16(text))
        return std::nullopt;

    const std::string entry = std::string(key) + '=' + std::string(value) + std::string(kLineBreak);
    const Location at = locate(text, section, key);
    std::string out;
    out.reserve(text.size() + entry.size() + section.size() + 4);
    if (at.keyFound) {
        if (at.value && *at.value == value)
            return std::string(text);
        out.append(text.substr(0, at.keyLine.begin));
        out.append(at.keyName).append(1, '=').append(value);
        out.append(text.substr(at.keyLine.end));
    } else if (at.sectionFound) {
        out.append(text.substr(0, at.insertAt));
        if (at.insertNeedsBreak)
            out.append(kLineBreak);
        out.append(entry);
        out.append(text.substr(at.insertAt));
    } else {
        out.append(text);
        if (text.size() > textStart(text) && text.back() != '\r' && text.back() != '\n')
            out.append(kLineBreak);
        out.append(1, '[').append(section).append(1, ']').append(kLineBreak).append(entry);
    }
    return out;
}

bool isUtf16(std::string_view text) { return text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"); }

} // namespace profile
