#include "core/Declarations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

class ScreenHelpers : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        RenderWidth = GetParam();
        RenderHeight = RenderWidth * 3 / 4;
        PixelScale = 2.0f / static_cast<float>(RenderWidth);
    }
};

TEST_P(ScreenHelpers, ScreenCentreAndCornerMapToTheViewEdges) {
    const D3DVECTOR centre = ScreenToWorld(RenderWidth / 2.0f, RenderHeight / 2.0f, 5);
    EXPECT_FLOAT_EQ(centre.x, 0);
    EXPECT_FLOAT_EQ(centre.y, 0);
    EXPECT_FLOAT_EQ(centre.z, 5);
    const D3DVECTOR corner = ScreenToWorld(0, 0, 4);
    EXPECT_FLOAT_EQ(corner.x, -4);
    EXPECT_FLOAT_EQ(corner.y, 3);  // 0.75 z in both modes
}

TEST_P(ScreenHelpers, RoundedVariantKeepsAtMostSixDecimals) {
    for (int x = 0; x < RenderWidth; x += 37) {
        const D3DVECTOR p = ScreenToWorldRounded(static_cast<float>(x), 17.0f, 1.0f);
        char text[64];
        std::snprintf(text, sizeof text, "%.9f", static_cast<double>(p.x));
        // Printed with nine places, the value agrees with its six-place rounding.
        const double six = std::round(p.x * 1e6) / 1e6;
        EXPECT_NEAR(p.x, six, 1e-7) << text;
        const D3DVECTOR raw = ScreenToWorld(static_cast<float>(x), 17.0f, 1.0f);
        // Half a millionth from the rounding, plus one step of a Single near 1.
        EXPECT_NEAR(p.x, raw.x * 1.33, 6.3e-7);
        EXPECT_NEAR(p.y, raw.y * 1.33, 6.3e-7);
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, ScreenHelpers, ::testing::Values(640, 320));

TEST(AngleBetween, UsesTheTruncatedPiConstants) {
    const D3DVECTOR origin{0, 0, 0};
    EXPECT_EQ(AngleBetween(origin, origin, 1), 0.0f);
    EXPECT_EQ(AngleBetween(origin, origin, 0), 0.0f);
    EXPECT_FLOAT_EQ(AngleBetween({0, 3, 0}, origin, 1), 1.5707963267945f);
    EXPECT_FLOAT_EQ(AngleBetween({0, -3, 0}, origin, 1), 4.7123889803835f);
    // Behind the viewer is pi, not -pi.
    EXPECT_FLOAT_EQ(AngleBetween({0, 0, -2}, origin, 0), 3.141592653589f);
    EXPECT_FLOAT_EQ(AngleBetween({2, 0, 0}, origin, 0), 1.5707963267945f);
    EXPECT_FLOAT_EQ(AngleBetween({-2, 0, 0}, origin, 0), 4.7123889803835f);
    EXPECT_NEAR(AngleBetween({1, 0, 1}, origin, 0), 0.7853981f, 1e-6f);
    EXPECT_NEAR(AngleBetween({-1, 0, -1}, origin, 0), 3.141592653589f + 0.7853981f, 1e-6f);
    // Pitch measures against the horizontal distance, whichever way it lies.
    EXPECT_NEAR(AngleBetween({3, 4, -4}, {0, 0, 0}, 1), std::atan(4.0f / 5.0f), 1e-6f);
}

TEST(MatrixHelpers, TranslationPatchLeavesTheRestAlone) {
    const D3DMATRIX m = MakeMatrix(1.5f, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1.02f, 1, 0, 0, -1, 0);
    EXPECT_EQ(m.rc33, 1.02f);
    EXPECT_EQ(m.rc34, 1.0f);
    EXPECT_EQ(m.rc43, -1.0f);
    const D3DMATRIX t = SetMatrixTranslation(m, 1, 2, 3);
    EXPECT_EQ(t.rc41, 1);
    EXPECT_EQ(t.rc42, 2);
    EXPECT_EQ(t.rc43, 3);
    EXPECT_EQ(t.rc11, 1.5f);
    EXPECT_EQ(t.rc34, 1.0f);
    EXPECT_EQ(t.rc44, 0.0f);
}

}  // namespace
