// Value functions: rounding, number reading and formatting, time stamps.

#include "forms/Values.h"

#include <cctype>
#include <cstdio>

#include "forms/Language.h"

namespace forms {

double Val(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    double sign = 1.0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        sign = text[i] == '-' ? -1.0 : 1.0;
        ++i;
    }
    double value = 0.0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = value * 10.0 + (text[i] - '0');
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
            value += (text[i] - '0') * scale;
            scale /= 10.0;
        }
    }
    return sign * value;
}

std::string FormatDigits(std::int32_t n, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", digits, static_cast<int>(n));
    return buf;
}

std::string FormatStamp(const DateTime &t)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

std::string FormatDisplay(const DateTime &t)
{
    return Tr("%1年%2月%3日 %4:%5:%6", FormatDigits(t.year, 4), FormatDigits(t.month, 2), FormatDigits(t.day, 2),
              FormatDigits(t.hour, 2), FormatDigits(t.minute, 2), FormatDigits(t.second, 2));
}

namespace {

// Reads 1 to maxDigits digits at text[i]; advances i.
std::optional<int> readNumber(std::string_view text, std::size_t &i, std::size_t maxDigits)
{
    std::size_t start = i;
    int n = 0;
    while (i < text.size() && i - start < maxDigits && std::isdigit(static_cast<unsigned char>(text[i])))
        n = n * 10 + (text[i++] - '0');
    if (i == start)
        return std::nullopt;
    return n;
}

bool expect(std::string_view text, std::size_t &i, char c)
{
    if (i >= text.size() || text[i] != c)
        return false;
    ++i;
    return true;
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace

std::optional<DateTime> ParseStamp(std::string_view text)
{
    std::size_t i = 0;
    DateTime t;
    auto year = readNumber(text, i, 4);
    if (!year || !expect(text, i, '/'))
        return std::nullopt;
    auto month = readNumber(text, i, 2);
    if (!month || !expect(text, i, '/'))
        return std::nullopt;
    auto day = readNumber(text, i, 2);
    if (!day || !expect(text, i, ' '))
        return std::nullopt;
    auto hour = readNumber(text, i, 2);
    if (!hour || !expect(text, i, ':'))
        return std::nullopt;
    auto minute = readNumber(text, i, 2);
    if (!minute || !expect(text, i, ':'))
        return std::nullopt;
    auto second = readNumber(text, i, 2);
    if (!second || i != text.size())
        return std::nullopt;
    t = {*year, *month, *day, *hour, *minute, *second};
    if (t.year < 100 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > daysInMonth(t.year, t.month)
        || t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

} // namespace forms
