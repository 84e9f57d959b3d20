// The high-score lines as the popup menu shows them, made from the score file.

#include "scores/HiScoreLines.h"

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <array>
#include <optional>
#include <string_view>

#include "forms/Values.h"
#include "scores/ScoreFile.h"

namespace modSubroutine {

namespace {

constexpr std::array<std::string_view, 5> kPlaceNumbers = {"１", "２", "３", "４", "５"};

// The file holds 8-bit text: UTF-8 when it is valid UTF-8, otherwise each byte one Latin-1
// character, so that any bytes make a valid caption.
std::string captionText(std::string_view bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError())
        text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return text.toStdString();
}

std::string entryText(std::string_view entry)
{
    if (entry.empty())
        return "(なし)";
    const auto firstComma = entry.find(',');
    const auto stamp = firstComma == entry.npos ? std::nullopt : forms::ParseStamp(entry.substr(0, firstComma));
    if (!stamp)
        return captionText(entry);
    return forms::FormatDisplay(*stamp) + "  HIT数:" + captionText(entry.substr(entry.rfind(',') + 1));
}

} // namespace

HiScoreLineSet HiScoreLines()
{
    HiScoreLineSet lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string entry = ReadIni("Data", "HISCORE" + std::to_string(i + 1));
        lines[i] = std::string(kPlaceNumbers[i]) + "位：" + entryText(entry);
    }
    return lines;
}

} // namespace modSubroutine
