// The sun swept over every place on the screen: the glow and the flare fade with the distance
// from the centre and never read as unfaded, also in the corners, where the strength would
// fall below nothing.
#include <gtest/gtest.h>

#include "app/SunAndFlare.h"
#include "tests/support/WorldFixture.h"

namespace {

class SunSweep : public WorldFixture {};

TEST_F(SunSweep, FlareFadesStayBetweenNothingAndFullEverywhereOnScreen) {
    const int32_t oldWidth = RenderWidth, oldHeight = RenderHeight;
    const float oldScale = PixelScale;
    for (const auto& [w, h] : {std::pair{320, 240}, {640, 480}}) {
        RenderWidth = w;
        RenderHeight = h;
        PixelScale = 2.0f / static_cast<float>(w);
        int drawn = 0, faded = 0;
        // Half-pixel steps, from just inside one edge to just inside the other.
        for (float sx = 0.25f; sx < w; sx += 0.5f * (sx < 4 || sx > w - 4 ? 1 : 7)) {
            for (float sy = 0.25f; sy < h; sy += 0.5f * (sy < 4 || sy > h - 4 ? 1 : 7)) {
                ResetDrawList();
                CameraState.Yaw = sx * 360.0f / (3.0f * static_cast<float>(w));
                CameraState.Pitch = sy * 360.0f / (3.33f * static_cast<float>(w)) - 25.0f;
                UpdateSunAndFlare();
                if (DrawItemCount != 7) continue;  // rounding put the sun just off screen
                ++drawn;
                const float strength = SceneParams[FlareStrength];
                ASSERT_GE(strength, 0) << w << ": " << sx << ", " << sy;
                ASSERT_LE(strength, 100) << w << ": " << sx << ", " << sy;
                for (int32_t n = 2; n <= 7; ++n) {
                    const float alpha = DrawList[static_cast<size_t>(n)].Alpha;
                    ASSERT_GE(alpha, 0) << "item " << n << " at " << sx << ", " << sy;
                    ASSERT_LE(alpha, 1) << "item " << n << " at " << sx << ", " << sy;
                }
                faded += DrawList[2].Alpha == 0 ? 1 : 0;
            }
        }
        EXPECT_GT(drawn, 1000) << w;
        EXPECT_GT(faded, 100) << w;  // the corners are dark, not flashing
    }
    RenderWidth = oldWidth;
    RenderHeight = oldHeight;
    PixelScale = oldScale;
}

}  // namespace
