#include <gtest/gtest.h>

#include "animation/AnimationKinds.h"
#include "animation/Animations.h"
#include "render/Camera.h"
#include "tests/support/AnimationFixture.h"

namespace {

class AnimationKinds_ : public AnimationFixture {};

constexpr float kDeg = 0.01745329f;

TEST(FadeRules, TurningPoints) {
    struct Case {
        FadeRule rule;
        float elapsed, duration;
        int32_t fade;
    };
    const Case cases[] = {
        {FadeRule::Rise, 10, 10, 100},    {FadeRule::Fall, 10, 10, 0},
        {FadeRule::HalfRise, 5, 10, 25},  {FadeRule::HalfFall, 0, 10, 50},
        {FadeRule::UpDown, 4.9f, 10, 98}, {FadeRule::UpDown, 5, 10, 100},  // turns at E = D / 2
        {FadeRule::UpDown, 7.5f, 10, 50}, {FadeRule::DownUp, 4.9f, 10, 2},
        {FadeRule::DownUp, 5, 10, 0},     {FadeRule::DownUp, 10, 10, 100},
        {FadeRule::Rise, 1.5f, 100, 2},   {FadeRule::Rise, 2.5f, 100, 2},  // halves to even
        {FadeRule::Fall, 0, 0, 0},        {FadeRule::UpDown, 0, 0, 0},  // no duration: at the end
        {FadeRule::DownUp, 0, 0, 100},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FadeValue(c.rule, c.elapsed, c.duration), c.fade)
            << static_cast<int>(c.rule) << " at " << c.elapsed << " of " << c.duration;
    }
}

TEST_F(AnimationKinds_, TextTypesAQuarterCharacterPerFramePausedOrNot) {
    SpawnParams p{.kind = AnimText,
                  .duration = 100,
                  .style = 2,
                  .itemFlags = FlagScreenSpace,
                  .spinY = 10,
                  .text = "ABC"};
    SpawnAnimation(p);
    p.size = 3;  // shown whole at once
    p.fadeValue = 5;
    SpawnAnimation(p);
    std::vector<std::string> typed;
    for (int frame = 1; frame <= 14; ++frame) {
        if (frame == 6) PauseState = 2;
        Frame();
        typed.push_back(Item(1).Text);
        EXPECT_EQ(Item(2).Text, "ABC");
    }
    EXPECT_EQ(typed[2], "");
    EXPECT_EQ(typed[3], "A");  // the first character after four frames
    EXPECT_EQ(typed[7], "AB");
    EXPECT_EQ(typed[11], "ABC");
    EXPECT_EQ(typed[13], "ABC");

    const DrawItem& t = Item(1);
    EXPECT_EQ(t.Kind, ItemText);
    EXPECT_EQ(t.SourceRect.Left, 2);
    EXPECT_EQ(t.SrcBlend + t.DestBlend, 4);  // additive
    EXPECT_EQ(t.Flags, FlagScreenSpace);
    EXPECT_FLOAT_EQ(t.Rotation.y, 50 * kDeg);     // five unpaused frames of spin
    EXPECT_FLOAT_EQ(t.Alpha, 0.1f);               // up-down, 5 of 100 units in
    EXPECT_FLOAT_EQ(t.Material.diffuse.r, 0.1f);  // white, faded
    EXPECT_EQ(Item(2).Alpha, -1);                 // fade mode 5: no fading
}

TEST_F(AnimationKinds_, OverlayStyles) {
    for (float style : {2.0f, 5.0f, 4.0f, 8.0f, 7.0f}) {
        SpawnAnimation({.kind = AnimOverlay, .duration = 4, .style = style});
    }
    Frame();
    ASSERT_EQ(DrawItemCount, 4);  // style 8 draws nothing
    // Styles 2 and 5 are drawn at full strength and leave the record's fade alone.
    EXPECT_FLOAT_EQ(Item(1).Alpha, 1);
    EXPECT_FLOAT_EQ(Item(2).Alpha, 1);
    EXPECT_EQ(Record(1).Fade + Record(2).Fade, 0);
    EXPECT_EQ(Item(1).DestBlend, 2);
    EXPECT_EQ(Item(2).SrcBlend, 1);
    EXPECT_EQ(Item(2).DestBlend, 4);
    EXPECT_EQ(Record(3).Fade, 75);  // style 4 falls: a quarter through
    EXPECT_EQ(Item(3).DestBlend, 6);
    EXPECT_EQ(Record(5).Fade, 50);  // style 7, down-up at a quarter
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(Item(n).Position.z, 1);
        EXPECT_EQ(Item(n).Flags, FlagScreenSpace);
        EXPECT_EQ(Item(n).TextureIndex, -1);
    }
}

TEST_F(AnimationKinds_, ParticleFadesSizesAndBlends) {
    SpawnAnimation({.kind = AnimParticle, .duration = 8, .modelValue = 1, .fadeValue = 1.5f});
    SpawnAnimation(
        {.kind = AnimParticle, .duration = 8, .modelValue = 3, .partValue = 1, .fadeValue = 50});
    SpawnAnimation({.kind = AnimParticle,
                    .duration = 4,
                    .colour = int32_t(0xFF00FF00u),
                    .style = 2,
                    .itemFlags = FlagShrink | FlagCameraRelative | FlagBillboard,
                    .modelValue = 1,
                    .size = 2});
    CameraState.Yaw = 30;
    Frame();
    EXPECT_EQ(Item(1).Alpha, -1);  // a fixed alpha below 2 means no fading
    EXPECT_EQ(Item(1).DestBlend, 2);
    EXPECT_FLOAT_EQ(Item(2).Alpha, 0.5f);
    EXPECT_EQ(Item(2).DestBlend, 4);  // model 3 darkens what is behind it
    EXPECT_EQ(Item(3).AlphaBlendEnable, 0);
    EXPECT_FLOAT_EQ(Item(3).Scale.x, 1.5f);  // a quarter of its life shrunk away
    EXPECT_FLOAT_EQ(Item(3).Rotation.z, 15 * kDeg);
    EXPECT_FLOAT_EQ(Item(3).Material.ambient.g, 0.75f);  // green, falling fade
    EXPECT_EQ(Record(3).DrawItemIndex, 3);
    for (int i = 0; i < 3; ++i) Frame();
    EXPECT_EQ(Record(3).State, AnimationFinished);
    EXPECT_EQ(Record(3).Fade, 0);  // the last frame of a falling fade
    EXPECT_EQ(Item(3).Scale.x, 0);
}

TEST_F(AnimationKinds_, RainDropRipplesOnlyBelowTheSurface) {
    SpawnAnimation({.kind = AnimParticle,
                    .x = 2,
                    .y = 0.5f,
                    .z = 3,
                    .duration = 10,
                    .style = 2,
                    .velocityX = 0.4f,
                    .velocityY = -0.5f,
                    .modelValue = 1,
                    .partValue = 9,
                    .fadeValue = 1});
    Frame();  // now exactly at y = 0: still drawn as itself
    ASSERT_EQ(DrawItemCount, 1);
    EXPECT_EQ(Item(1).PartIndex, 9);
    Frame();  // below: two rings on the surface instead
    ASSERT_EQ(DrawItemCount, 2);
    EXPECT_EQ(Record(1).Fade, 80);
    for (int n = 1; n <= 2; ++n) {
        EXPECT_EQ(Item(n).PartIndex, 8);
        EXPECT_EQ(Item(n).Position.y, 0);
        EXPECT_FLOAT_EQ(Item(n).Position.x, 2.8f);
        EXPECT_FLOAT_EQ(Item(n).Alpha, 1.6f);
        EXPECT_FLOAT_EQ(Item(n).Scale.y, 0.2f);
    }
    EXPECT_FLOAT_EQ(Item(1).Rotation.x, 270 * kDeg);
    EXPECT_FLOAT_EQ(Item(2).Rotation.x, 90 * kDeg);
    EXPECT_FLOAT_EQ(Record(1).Velocity.x, 0.2f);
    EXPECT_EQ(Record(1).DrawItemIndex, 0);
}

TEST_F(AnimationKinds_, EmitterThrowsSparksThatJoinAtTheNextPass) {
    const int32_t index = Insert(
        {.Kind = AnimEmitter, .Position = {1, 2, 3}, .Velocity = {1, 0, -1}, .Duration = 99});
    for (int i = 0; i < 400; ++i) AnimateEmitter(index);
    // Three of four frames on average.
    EXPECT_GT(NewAnimationCount, 260);
    EXPECT_LT(NewAnimationCount, 340);
    const Animation& spark = NewAnimations[1];
    EXPECT_EQ(spark.Kind, AnimParticle);
    EXPECT_EQ(spark.Duration, 16);
    EXPECT_EQ(spark.Colour, static_cast<int32_t>(0xFFFFC080u));
    EXPECT_EQ(spark.Part, 8);
    EXPECT_FLOAT_EQ(spark.Velocity.x, 0.08f);
    EXPECT_FLOAT_EQ(spark.Velocity.z, -0.08f);

    // In a pass the emitter draws nothing, and its new sparks wait for the next pass.
    Frame();
    EXPECT_EQ(DrawItemCount, AnimationCount - 1);
    EXPECT_LE(NewAnimationCount, 1);
    PauseState = 1;
    const int32_t before = NewAnimationCount;
    for (int i = 0; i < 20; ++i) AnimateEmitter(index);
    EXPECT_EQ(NewAnimationCount, before);
}

}  // namespace
