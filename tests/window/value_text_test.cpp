#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "window/ValueText.h"

namespace {

TEST(Val, ReadsTheLeadingDecimalNumberAndIgnoresTheRest) {
    EXPECT_DOUBLE_EQ(Val("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(Val("-.5"), -0.5);
    EXPECT_DOUBLE_EQ(Val("1.5.3"), 1.5);
    EXPECT_DOUBLE_EQ(Val("12-3"), 12);
    EXPECT_DOUBLE_EQ(Val(" 1 2\t3"), 123);  // blanks anywhere are skipped
    EXPECT_DOUBLE_EQ(Val("1E3"), 1000);
    EXPECT_DOUBLE_EQ(Val("25D-1"), 2.5);
    EXPECT_DOUBLE_EQ(Val("2E"), 2);  // an exponent letter without digits ends the number
    EXPECT_DOUBLE_EQ(Val("-"), 0);
    EXPECT_DOUBLE_EQ(Val("FF"), 0);
    EXPECT_TRUE(std::isinf(Val("1E999")));
}

TEST(Val, ReadsHexadecimalAndOctalAsAThirtyTwoBitPattern) {
    EXPECT_DOUBLE_EQ(Val("&HFF00"), 65280);
    EXPECT_DOUBLE_EQ(Val("&hff0000"), 16711680);
    EXPECT_DOUBLE_EQ(Val("&HFFFFFFFF"), -1);
    EXPECT_DOUBLE_EQ(Val("&H80000000"), -2147483648.0);
    EXPECT_DOUBLE_EQ(Val("&H000000001"), 1);  // leading zeros are not significant
    EXPECT_DOUBLE_EQ(Val("&H-1"), 0);
    EXPECT_DOUBLE_EQ(Val("&O17"), 15);
    EXPECT_DOUBLE_EQ(Val("&17"), 15);
    // Nine significant digits fit no Long: the full value says so.
    EXPECT_DOUBLE_EQ(Val("&H100000000"), 4294967296.0);
    EXPECT_FALSE(ToLong(Val("&H100000000")));
}

TEST(ValueText, NumbersBecomeTheShortestTextThatReadsBack) {
    EXPECT_EQ(SingleText(1.5f), "1.5");
    EXPECT_EQ(SingleText(-0.1f), "-0.1");
    EXPECT_EQ(SingleText(0.0f), "0");
    EXPECT_EQ(SingleText(-0.0f), "0");
    EXPECT_EQ(SingleText(1e-5f), "1E-05");
    for (float f : {0.1f, 1.2345678f, 3.4e38f, -7.006e-39f, 12345678.0f}) {
        EXPECT_EQ(static_cast<float>(Val(SingleText(f))), f) << SingleText(f);
    }
    EXPECT_EQ(HexText(0), "0");
    EXPECT_EQ(HexText(0xFF00FF00u), "FF00FF00");
}

// The browser's C++ library has no float to_chars: the program's own writes the same text on
// every build, as the native library's does here.
TEST(ValueText, ShortestTextIsWhatToCharsWrites) {
    auto reference = [](float f) {
        char buffer[64];
        return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, f).ptr);
    };
    std::mt19937 random(7);
    std::vector<float> values = {1.0f,  100.0f,  1e10f,      123456790.0f,  0.001f,   1e-4f,
                                 1e-5f, 0.3f,    -2.5e-7f,   3.4028235e38f, 1.4e-45f, 65536.0f,
                                 1e7f,  1.5e16f, 0.0001234f, 16777216.0f};
    for (int i = 0; i < 200000; ++i) {
        const uint32_t bits = random();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (std::isfinite(f)) values.push_back(f);
    }
    // Whole numbers and short decimals, where plain and exponent forms are closest in length.
    for (int i = 0; i < 20000; ++i)
        values.push_back(static_cast<float>(random() % 100000) * 0.001f);
    for (int e = -45; e <= 38; ++e) values.push_back(std::pow(10.0f, static_cast<float>(e)));
    for (float f : values) ASSERT_EQ(ShortestText(f), reference(f)) << "bits of " << reference(f);
}

TEST(ValueText, RoundingToWholeNumbersGoesToEvenAndRefusesWhatDoesNotFit) {
    EXPECT_EQ(ToLong(2.5), 2);
    EXPECT_EQ(ToLong(3.5), 4);
    EXPECT_EQ(ToLong(2147483647.4), 2147483647);
    EXPECT_FALSE(ToLong(2147483647.5));
    EXPECT_EQ(ToInteger(-32768.4), -32768);
    EXPECT_FALSE(ToInteger(32767.5));
    EXPECT_EQ(ToSingle(1.5), 1.5f);
    EXPECT_FALSE(ToSingle(1e39));
}

}  // namespace
