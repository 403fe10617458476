#include <gtest/gtest.h>

#include "animation/AnimationKinds.h"
#include "animation/Animations.h"
#include "render/Camera.h"
#include "tests/support/AnimationFixture.h"

namespace {

class AnimationKinds_ : public AnimationFixture {};

TEST(FadeRules, TurningPoints) {
    EXPECT_EQ(FadeValue(FadeRule::Rise, 0, 10), 0);
    EXPECT_EQ(FadeValue(FadeRule::Rise, 10, 10), 100);
    EXPECT_EQ(FadeValue(FadeRule::Fall, 10, 10), 0);
    EXPECT_EQ(FadeValue(FadeRule::HalfRise, 5, 10), 25);
    EXPECT_EQ(FadeValue(FadeRule::HalfFall, 0, 10), 50);
    EXPECT_EQ(FadeValue(FadeRule::HalfFall, 10, 10), 0);
    // Up-down turns in the first frame where elapsed reaches half the duration.
    EXPECT_EQ(FadeValue(FadeRule::UpDown, 4.9f, 10), 98);
    EXPECT_EQ(FadeValue(FadeRule::UpDown, 5, 10), 100);
    EXPECT_EQ(FadeValue(FadeRule::UpDown, 7.5f, 10), 50);
    EXPECT_EQ(FadeValue(FadeRule::UpDown, 10, 10), 0);
    EXPECT_EQ(FadeValue(FadeRule::DownUp, 4.9f, 10), 2);
    EXPECT_EQ(FadeValue(FadeRule::DownUp, 5, 10), 0);
    EXPECT_EQ(FadeValue(FadeRule::DownUp, 10, 10), 100);
    // Halves go to even.
    EXPECT_EQ(FadeValue(FadeRule::Rise, 1.5f, 100), 2);
    EXPECT_EQ(FadeValue(FadeRule::Rise, 2.5f, 100), 2);
    // Without a duration the record is at its end.
    EXPECT_EQ(FadeValue(FadeRule::Fall, 0, 0), 0);
    EXPECT_EQ(FadeValue(FadeRule::UpDown, 0, 0), 0);
    EXPECT_EQ(FadeValue(FadeRule::DownUp, 0, 0), 100);
}

TEST_F(AnimationKinds_, TextTypesAQuarterCharacterPerFramePausedOrNot) {
    SpawnParams p;
    p.kind = AnimText;
    p.text = "ABC";
    p.duration = 100;
    p.style = 2;
    p.itemFlags = FlagScreenSpace;
    p.spinY = 10;
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
    EXPECT_EQ(typed[3], "A");  // Int(1.0) after four frames
    EXPECT_EQ(typed[7], "AB");
    EXPECT_EQ(typed[11], "ABC");
    EXPECT_EQ(typed[13], "ABC");
    EXPECT_EQ(Record(1).Size, 3);

    const DrawItem& t = Item(1);
    EXPECT_EQ(t.Kind, ItemText);
    EXPECT_EQ(t.SourceRect.Left, 2);
    EXPECT_EQ(t.SrcBlend, 2);
    EXPECT_EQ(t.DestBlend, 2);
    EXPECT_EQ(t.AlphaBlendEnable, -1);
    EXPECT_EQ(t.ColorKeyEnable, -1);
    EXPECT_EQ(t.Flags, FlagScreenSpace);
    EXPECT_FLOAT_EQ(t.Rotation.y, 50 * 0.01745329f);  // five unpaused frames of spin
    EXPECT_FLOAT_EQ(t.Alpha, 0.1f);                   // up-down, 5 of 100 units in
    EXPECT_FLOAT_EQ(t.Material.diffuse.r, 0.1f);      // white, faded
    EXPECT_EQ(Item(2).Alpha, -1);                     // fade mode 5: no fading
}

TEST_F(AnimationKinds_, OverlayStyles) {
    auto overlay = [](float style) {
        SpawnParams p;
        p.kind = AnimOverlay;
        p.style = style;
        p.duration = 4;
        SpawnAnimation(p);
    };
    for (float style : {2.0f, 5.0f, 4.0f, 8.0f, 7.0f}) overlay(style);
    Frame();
    ASSERT_EQ(DrawItemCount, 4);  // style 8 draws nothing
    // Styles 2 and 5 are drawn at full strength and leave the record's fade alone.
    EXPECT_FLOAT_EQ(Item(1).Alpha, 1);
    EXPECT_EQ(Record(1).Fade, 0);
    EXPECT_EQ(Item(1).DestBlend, 2);
    EXPECT_FLOAT_EQ(Item(2).Alpha, 1);
    EXPECT_EQ(Record(2).Fade, 0);
    EXPECT_EQ(Item(2).SrcBlend, 1);
    EXPECT_EQ(Item(2).DestBlend, 4);
    // Style 4 falls: a quarter through, 75 percent.
    EXPECT_EQ(Record(3).Fade, 75);
    EXPECT_EQ(Item(3).DestBlend, 6);
    EXPECT_EQ(Record(5).Fade, 50);  // style 7, down-up at a quarter
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(Item(n).Position.z, 1);
        EXPECT_EQ(Item(n).Flags, FlagScreenSpace);
        EXPECT_EQ(Item(n).TextureIndex, -1);
        EXPECT_EQ(Item(n).ObjectIndex, CommonSets[0]);
    }
}

TEST_F(AnimationKinds_, ParticleFadesSizesAndBlends) {
    SpawnParams fixed = Particle(0, 8);
    fixed.style = 0;
    fixed.fadeValue = 1.5f;
    SpawnAnimation(fixed);
    fixed.fadeValue = 50;
    fixed.modelValue = 3;
    fixed.partValue = 1;
    SpawnAnimation(fixed);
    SpawnParams shrink = Particle(0, 4);
    shrink.size = 2;
    shrink.fadeValue = 0;
    shrink.itemFlags = FlagShrink | FlagCameraRelative | FlagBillboard;
    shrink.colour = static_cast<int32_t>(0xFF00FF00u);
    SpawnAnimation(shrink);
    CameraState.Yaw = 30;
    Frame();
    EXPECT_EQ(Item(1).Alpha, -1);  // a fixed alpha below 2 means no fading
    EXPECT_EQ(Item(1).DestBlend, 2);
    EXPECT_FLOAT_EQ(Item(2).Alpha, 0.5f);
    EXPECT_EQ(Item(2).DestBlend, 4);  // the sky blends over what is behind it
    EXPECT_EQ(Item(3).AlphaBlendEnable, 0);
    EXPECT_EQ(Item(3).ColorKeyEnable, -1);
    EXPECT_FLOAT_EQ(Item(3).Scale.x, 1.5f);  // a quarter of its life shrunk away
    EXPECT_FLOAT_EQ(Item(3).Rotation.z, 15 * 0.01745329f);
    EXPECT_FLOAT_EQ(Item(3).Material.ambient.g, 0.75f);  // green, falling fade
    EXPECT_EQ(Record(3).DrawItemIndex, 3);
    for (int i = 0; i < 3; ++i) Frame();
    EXPECT_EQ(Record(3).State, AnimationFinished);
    EXPECT_EQ(Record(3).Fade, 0);  // the last frame of a falling fade
    EXPECT_EQ(Item(3).Scale.x, 0);
}

TEST_F(AnimationKinds_, RainDropRipplesOnlyBelowTheSurface) {
    SpawnParams drop = Particle(2, 10);
    drop.partValue = 9;
    drop.y = 0.5f;
    drop.z = 3;
    drop.velocityX = 0.4f;
    drop.velocityY = -0.5f;
    SpawnAnimation(drop);
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
        EXPECT_EQ(Item(n).TextureIndex, 3);
        EXPECT_FLOAT_EQ(Item(n).Alpha, 1.6f);
        EXPECT_FLOAT_EQ(Item(n).Scale.y, 0.2f);
    }
    EXPECT_FLOAT_EQ(Item(1).Rotation.x, 270 * 0.01745329f);
    EXPECT_FLOAT_EQ(Item(2).Rotation.x, 90 * 0.01745329f);
    EXPECT_FLOAT_EQ(Record(1).Velocity.x, 0.2f);
    EXPECT_EQ(Record(1).DrawItemIndex, 0);
}

TEST_F(AnimationKinds_, EmitterThrowsSparksThatJoinAtTheNextPass) {
    Animation e = Running();
    e.Kind = AnimEmitter;
    e.Position = {1, 2, 3};
    e.Velocity = {1, 0, -1};
    const int32_t index = Insert(e);
    for (int i = 0; i < 400; ++i) AnimateEmitter(index);
    // Three of four frames on average.
    EXPECT_GT(NewAnimationCount, 260);
    EXPECT_LT(NewAnimationCount, 340);
    const Animation& spark = NewAnimations[1];
    EXPECT_EQ(spark.Kind, AnimParticle);
    EXPECT_EQ(spark.Duration, 16);
    EXPECT_EQ(spark.Colour, static_cast<int32_t>(0xFFFFC080u));
    EXPECT_EQ(spark.ItemFlags, FlagBillboard);
    EXPECT_EQ(spark.Model, 1);
    EXPECT_EQ(spark.Part, 8);
    EXPECT_EQ(spark.Texture, 2);
    EXPECT_FLOAT_EQ(spark.Velocity.x, 0.08f);
    EXPECT_FLOAT_EQ(spark.Velocity.z, -0.08f);
    EXPECT_GE(spark.Velocity.y, 0.02f);
    EXPECT_LT(spark.Velocity.y, 0.05f);

    // In a pass the emitter draws nothing, and its sparks are not advanced until the next.
    Frame();
    EXPECT_EQ(DrawItemCount, static_cast<int32_t>(AnimationCount) - 1);
    for (int n = 2; n <= AnimationCount; ++n) EXPECT_EQ(Record(n).Elapsed, 1);
    EXPECT_LE(NewAnimationCount, 1);  // this pass's spark waits in the queue
    PauseState = 1;
    const int32_t before = NewAnimationCount;
    for (int i = 0; i < 20; ++i) AnimateEmitter(index);
    EXPECT_EQ(NewAnimationCount, before);
}

}  // namespace
