// Numbers to text and back the way the editor's users have always typed them: Val's leading-
// number reading (with "&H" hexadecimal), Hex, and the shortest text of a Single.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The leading number of text: blanks, tabs and line feeds anywhere are skipped; then an optional
// sign, digits, a point and an exponent (E or D), or "&H" / "&O" and digits. Anything else ends
// the number; no number at all is 0. Up to eight hexadecimal or eleven octal digits are a 32-bit
// pattern read as signed (FF00 is 65280, FFFFFFFF is -1); more give their full value, which
// fits no Long. A decimal too large for a Double is infinite.
double Val(std::string_view text);

// The float as std::to_chars writes it by default: the fewest digits that read back as the same
// float, plainly or with an exponent, whichever is shorter (plainly on a tie). The browser
// build's C++ library has no float to_chars.
std::string ShortestText(float value);

// Upper-case hexadecimal digits without leading zeros ("0" for 0).
std::string HexText(uint32_t value);
// The shortest text that reads back as the same Single, without a leading blank.
std::string SingleText(float value);

// The value rounded to the nearest whole number (halves to even) when it fits the type.
std::optional<int32_t> ToLong(double value);
std::optional<int16_t> ToInteger(double value);
// The value as the nearest Single when it is finite and rounds to a finite Single.
std::optional<float> ToSingle(double value);
