#pragma once
// Value functions of the forms runtime: rounding, number reading and formatting,
// and the two time-stamp patterns the program writes and reads.

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "forms/Types.h"

namespace forms {

// Conversion to a whole number: nearest, a half going to the even neighbour.
inline std::int32_t CLng(double x) { return static_cast<std::int32_t>(std::lrint(x)); }

// Largest whole number not above x.
inline std::int32_t Int(double x) { return static_cast<std::int32_t>(std::floor(x)); }

// Reads the number at the start of the text: leading blanks, an optional sign,
// digits and an optional decimal fraction; anything else ends it. No number reads as 0.
double Val(std::string_view text);

// Decimal text of n with at least `digits` digits, filled with leading zeros.
std::string FormatDigits(std::int32_t n, int digits);

// "yyyy/mm/dd hh:mm:ss", the stored form of a time stamp.
std::string FormatStamp(const DateTime &t);
// "YYYY年MM月DD日 HH:MM:SS", the displayed form, in the player's language (UTF-8).
std::string FormatDisplay(const DateTime &t);
// Reads a stored time stamp back; nothing for text that is not a valid date and time.
std::optional<DateTime> ParseStamp(std::string_view text);

} // namespace forms
