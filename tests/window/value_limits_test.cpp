// The editor's numbers at the edges of a Single: what the editor shows for a value reads back
// as that value, also for the largest ones.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "window/ValueText.h"

namespace {

TEST(ValueLimits, ShownTextOfEveryExtremeSingleReadsBack) {
    const float largest = std::numeric_limits<float>::max();
    for (float f : {largest, -largest, std::numeric_limits<float>::min(),
                    std::numeric_limits<float>::denorm_min(), std::nextafter(largest, 0.0f),
                    -std::numeric_limits<float>::denorm_min(), 1.5f}) {
        const auto back = ToSingle(Val(SingleText(f)));
        ASSERT_TRUE(back.has_value()) << SingleText(f);
        EXPECT_EQ(*back, f) << SingleText(f);
    }
}

TEST(ValueLimits, SinglesEndHalfAStepPastTheLargest) {
    const double largest = std::numeric_limits<float>::max();
    const double halfStep = std::ldexp(1.0, 103);
    EXPECT_EQ(ToSingle(largest + halfStep * 0.99), std::numeric_limits<float>::max());
    EXPECT_EQ(ToSingle(-(largest + halfStep * 0.99)), -std::numeric_limits<float>::max());
    EXPECT_FALSE(ToSingle(largest + halfStep).has_value());
    EXPECT_FALSE(ToSingle(1e39).has_value());
    EXPECT_FALSE(ToSingle(Val("1E400")).has_value());  // infinite
}

}  // namespace
