#include <gtest/gtest.h>

#include <cmath>

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
