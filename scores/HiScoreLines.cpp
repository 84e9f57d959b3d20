// The high-score lines as the popup menu shows them, made from the score file.

#include "scores/HiScoreLines.h"

#include <array>
#include <optional>
#include <string_view>

#include "forms/Language.h"
#include "forms/Values.h"
#include "scores/ScoreFile.h"

namespace modSubroutine {

namespace {

// Each place in a text of its own: languages write their ordinals differently.
constexpr std::array<std::string_view, 5> kPlaceLines = {forms::TrNoop("１位：%1"), forms::TrNoop("２位：%1"),
                                                         forms::TrNoop("３位：%1"), forms::TrNoop("４位：%1"),
                                                         forms::TrNoop("５位：%1")};

// The length of the valid UTF-8 sequence at the start of text; 0 when there is none.
// Overlong forms, surrogates and code points beyond U+10FFFF are not valid.
std::size_t utf8SequenceAt(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    }
    // The second byte's range that keeps the sequence short, off the surrogates and in range.
    const unsigned char second = length > 1 ? byte(1) : 0x80;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90)
        || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

bool isUtf8(std::string_view text)
{
    while (!text.empty()) {
        const std::size_t length = utf8SequenceAt(text);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

// The file holds 8-bit text: UTF-8 when it is valid UTF-8 (a leading byte-order mark is no
// part of the caption), otherwise each byte one Latin-1 character, so that any bytes make a
// valid caption.
std::string captionText(std::string_view bytes)
{
    if (isUtf8(bytes))
        return std::string(bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes);
    std::string text;
    for (const char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return text;
}

std::string entryText(std::string_view entry)
{
    if (entry.empty())
        return forms::Tr("(なし)");
    const auto firstComma = entry.find(',');
    const auto stamp = firstComma == entry.npos ? std::nullopt : forms::ParseStamp(entry.substr(0, firstComma));
    if (!stamp)
        return captionText(entry);
    return forms::Tr("%1  HIT数:%2", forms::FormatDisplay(*stamp), captionText(entry.substr(entry.rfind(',') + 1)));
}

} // namespace

HiScoreLineSet HiScoreLines()
{
    HiScoreLineSet lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string entry = ReadIni("Data", "HISCORE" + std::to_string(i + 1));
        lines[i] = forms::Tr(kPlaceLines[i], entryText(entry));
    }
    return lines;
}

} // namespace modSubroutine
