#include <gtest/gtest.h>

#include <cmath>

#include "app/SunAndFlare.h"
#include "tests/support/WorldFixture.h"

namespace {

class SunAndFlare_ : public WorldFixture {
  protected:
    // At 320 x 240: 360 degrees of yaw span 960 pixels, of pitch 1065.6.
    static void Look(float yaw, float pitch) {
        ResetDrawList();
        CameraState.Yaw = yaw;
        CameraState.Pitch = pitch;
        UpdateSunAndFlare();
    }
    static const DrawItem& Item(int32_t n) { return DrawList[static_cast<size_t>(n)]; }
};

TEST_F(SunAndFlare_, NothingWhileTheSunIsOffScreen) {
    for (const auto& [yaw, pitch] : {std::pair{0.0f, 0.0f},
                                     {-10.0f, 0.0f},
                                     {120.0f, 0.0f},  // the right edge itself is off screen
                                     {60.0f, -25.0f},
                                     {60.0f, 56.2f}}) {
        Look(yaw, pitch);
        EXPECT_EQ(DrawItemCount, 0) << yaw << ", " << pitch;
    }
    Look(0.5f, 0);
    EXPECT_EQ(DrawItemCount, 7);
    Look(119.5f, 55.9f);
    EXPECT_EQ(DrawItemCount, 7);
}

TEST_F(SunAndFlare_, SunAtTheCentreGivesFullStrengthFlare) {
    Look(60, 120 * 360 / 1065.6f - 25);
    ASSERT_EQ(DrawItemCount, 7);
    for (int32_t n = 1; n <= 7; ++n) {
        EXPECT_EQ(Item(n).Flags, FlagScreenSpace | FlagFarDepth);
        EXPECT_EQ(Item(n).TextureIndex, EffectTextures[1]);
    }
    // The disc far away and unfaded, the glow at 80 percent turning with half the yaw.
    EXPECT_FLOAT_EQ(Item(1).Position.z, 5000);
    EXPECT_EQ(Item(1).Alpha, -1.0f);
    EXPECT_FLOAT_EQ(Item(2).Alpha, 0.8f);
    EXPECT_FLOAT_EQ(Item(2).Rotation.z, 30 * 0.01745329251993889f);
    // Five elements at full strength, all at the centre.
    const int parts[] = {1, 0, 2, 0, 3};
    for (int k = 0; k < 5; ++k) {
        const DrawItem& e = Item(3 + k);
        EXPECT_FLOAT_EQ(e.Alpha, 1.0f);
        EXPECT_EQ(e.PartIndex, MiniParts[static_cast<size_t>(parts[k])]);
        EXPECT_NEAR(e.Position.x, 0, 1e-4);
        EXPECT_NEAR(e.Position.y, 0, 1e-4);
    }
}

TEST_F(SunAndFlare_, FlareRunsFromTheMirrorPointThroughTheCentreToTheSun) {
    // Sun at (80, 74): 80 left of and 46 above the centre.
    Look(30, 0);
    ASSERT_EQ(DrawItemCount, 7);
    const D3DVECTOR glow = Item(2).Position;
    EXPECT_LT(glow.x, 0);
    EXPECT_GT(glow.y, 0);
    // 1 - (46 / 120 + 80 / 160) = 0.1167: twelve percent, the glow nine.
    EXPECT_FLOAT_EQ(Item(2).Alpha, 0.09f);
    const D3DVECTOR centre = Item(5).Position;
    EXPECT_NEAR(centre.x, 0, 1e-5);
    EXPECT_NEAR(centre.y, 0, 1e-5);
    for (int k : {0, 1}) {
        const D3DVECTOR mirror = Item(3 + k).Position, towards = Item(7 - k).Position;
        EXPECT_FLOAT_EQ(Item(3 + k).Alpha, 0.12f);
        EXPECT_NEAR(mirror.x, -towards.x, 1e-5);
        EXPECT_NEAR(mirror.y, -towards.y, 1e-5);
        EXPECT_LT(towards.x, 0);  // on the sun's side
        EXPECT_GT(towards.y, 0);
    }
    // The vertical spread is three quarters of the horizontal one.
    const D3DVECTOR outer = Item(7).Position;
    EXPECT_NEAR(outer.y / outer.x, 0.75f * 46 / -80, 1e-5);
    // The outermost element is 0.6 of the way to the sun.
    EXPECT_NEAR(outer.x / glow.x, 0.6f, 1e-5);
}

}  // namespace
