#include "window/ValueText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/WholeNumbers.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 99;
}

// Digits of the base after "&H" or "&O". A pattern of up to 32 bits is a signed Long.
double RadixValue(const std::string& s, size_t start, int base) {
    const size_t patternDigits = base == 16 ? 8 : 11;
    double full = 0;
    uint64_t pattern = 0;
    size_t significant = 0;
    for (size_t i = start; i < s.size(); ++i) {
        const int d = DigitValue(s[i]);
        if (d >= base) break;
        full = full * base + d;
        if (significant > 0 || d != 0) ++significant;
        if (significant <= patternDigits) pattern = pattern * static_cast<uint64_t>(base) + d;
    }
    if (significant > patternDigits || pattern > 0xFFFFFFFFull) return full;
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(pattern)));
}

}  // namespace

double Val(std::string_view text) {
    std::string s;
    for (char c : text) {
        if (!IsBlank(c)) s += c;
    }
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h') return RadixValue(s, 2, 16);
        if (s[1] == 'O' || s[1] == 'o') return RadixValue(s, 2, 8);
        return RadixValue(s, 1, 8);
    }
    // Copy the longest leading number, with D as an exponent letter, and let strtod read it.
    std::string number;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) number += s[i++];
    bool digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        number += s[i++];
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        number += s[i++];
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            number += s[i++];
            digits = true;
        }
    }
    if (!digits) return 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::string exponent = "E";
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
        bool exponentDigits = false;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            exponent += s[j++];
            exponentDigits = true;
        }
        if (exponentDigits) number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

std::string HexText(uint32_t value) {
    char buffer[9];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
    std::string text(buffer, result.ptr);
    for (char& c : text) {
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string ShortestText(float value) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    // The fewest significant digits that read back as the same float...
    char scientific[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(scientific, sizeof scientific, "%.*e", digits - 1,
                      static_cast<double>(value));
        if (std::strtof(scientific, nullptr) == value) break;
    }
    // ...written plainly where that is no longer than with an exponent.
    const std::string sci = scientific;
    const size_t e = sci.find('e');
    const bool negative = sci[0] == '-';
    std::string digits;
    for (size_t i = negative ? 1 : 0; i < e; ++i) {
        if (sci[i] != '.') digits += sci[i];
    }
    const int exponent = std::atoi(sci.c_str() + e + 1);
    const int count = static_cast<int>(digits.size());
    std::string fixed;
    if (exponent >= count - 1) {
        // A whole number is written with all its digits, as printf's %.0f does.
        char whole[64];
        std::snprintf(whole, sizeof whole, "%.0f", std::fabs(static_cast<double>(value)));
        fixed = whole;
    } else if (exponent >= 0) {
        fixed = digits.substr(0, static_cast<size_t>(exponent + 1)) + "." +
                digits.substr(static_cast<size_t>(exponent + 1));
    } else {
        fixed = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
    if (negative) fixed = "-" + fixed;
    return fixed.size() <= sci.size() ? fixed : sci;
}

std::string SingleText(float value) {
    if (value == 0) return "0";  // never "-0"
    std::string text = ShortestText(value);
    // Upper case, so the shown text stays within the characters the editor accepts.
    for (char& c : text) {
        if (c == 'e') c = 'E';
    }
    return text;
}

std::optional<int32_t> ToLong(double value) {
    return TryRoundToWhole<int32_t>(value);
}

std::optional<int16_t> ToInteger(double value) {
    return TryRoundToWhole<int16_t>(value);
}

std::optional<float> ToSingle(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    // Up to half a step past the largest Single still rounds to it: the largest Single's own
    // shortest text (3.4028235E38) reads as slightly more and must be taken back.
    constexpr double kLargest = std::numeric_limits<float>::max();
    const double halfStep = std::ldexp(1.0, std::numeric_limits<float>::max_exponent - 25);
    if (std::fabs(value) >= kLargest + halfStep) return std::nullopt;
    if (std::fabs(value) > kLargest) return static_cast<float>(std::copysign(kLargest, value));
    return static_cast<float>(value);
}
