#include "animation/Animations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "animation/FollowedDrawItem.h"
#include "app/Declarations.h"
#include "app/Random.h"
#include "display/Display.h"
#include "display/Surfaces.h"
#include "tests/support/AnimationFixture.h"
#include "tests/support/ResourceTestSupport.h"

namespace {

class Animations_ : public AnimationFixture {};

TEST_F(Animations_, SpawnsQueueForTheNextPassAndAreRefusedWhilePaused) {
    EXPECT_EQ(Animations[0].State, AnimationSentinel);
    EXPECT_EQ(SpawnAnimation(Particle(1, 10)), 1);
    EXPECT_EQ(SpawnAnimation(Particle(2, 10)), 2);
    EXPECT_EQ(AnimationCount, 0);
    Frame();
    EXPECT_EQ(AnimationCount, 2);
    EXPECT_EQ(NewAnimationCount, 0);
    EXPECT_EQ(NewAnimations.size(), 1u);
    EXPECT_EQ(Record(1).Position.x, 1);
    EXPECT_EQ(Record(2).Position.x, 2);
    EXPECT_EQ(DrawItemCount, 2);  // advanced and drawn in the pass that joined them
    EXPECT_EQ(SpawnAnimation(Particle(3, 10)), 3);

    PauseState = 2;
    EXPECT_EQ(SpawnAnimation(Particle(4, 10)), 0);
    EXPECT_EQ(NewAnimationCount, 1);
}

TEST_F(Animations_, KindSetUpsAndTheGroundRule) {
    ParticleDrift = {0.001f, 0, 0.002f};
    SpawnParams p = Particle(0, 10);
    p.modelValue = 2;
    p.partValue = 8.5f;  // halves go to even
    p.textureValue = 2.5f;
    p.velocityX = 2;
    p.velocityY = 3;
    p.accelerationX = 0.5f;
    p.accelerationY = 0.25f;
    p.accelScaleBits = 1;  // only x is scaled by its velocity
    p.spinX = 45;
    p.holdDelay = 3;
    p.groundMode = GroundBounce;
    SpawnAnimation(p);
    const Animation& a = NewAnimations[1];
    EXPECT_EQ(a.Model, 2);
    EXPECT_EQ(a.Part, 8);
    EXPECT_EQ(a.Texture, 2);
    EXPECT_FLOAT_EQ(a.Acceleration.x, 0.5f * 2 + 0.001f);
    EXPECT_FLOAT_EQ(a.Acceleration.y, -0.25f);  // a bouncing record always falls
    EXPECT_EQ(a.Acceleration.z, 0);             // no drift without speed along z
    EXPECT_EQ(a.Angle.x, 45);                   // model 2: the X spin is a start angle
    EXPECT_EQ(a.Spin.x, 0);
    EXPECT_EQ(a.DelayFlags, DelayHold);

    SpawnParams drop = Particle(0, 10);
    drop.partValue = 9;
    drop.velocityY = -1;
    drop.groundMode = GroundBounce;
    SpawnAnimation(drop);
    EXPECT_FLOAT_EQ(NewAnimations[2].Angle.x, 270);  // pointing straight down its path
    EXPECT_FLOAT_EQ(NewAnimations[2].Angle.y, 180);
    EXPECT_FLOAT_EQ(NewAnimations[2].Acceleration.y, -0.02f);

    SpawnParams fade;
    fade.kind = AnimOverlay;
    fade.style = 4;
    fade.startDelay = 100;
    SpawnAnimation(fade);
    EXPECT_EQ(NewAnimations[3].Model, CommonSets[0]);
    EXPECT_EQ(NewAnimations[3].ItemFlags, FlagScreenSpace);
    EXPECT_EQ(NewAnimations[3].DelayFlags, DelayStart);

    // A value too large for its field is refused before anything is queued.
    SpawnParams bad = Particle(0, 10);
    bad.modelValue = 40000;
    ExpectRuntimeError([&] { SpawnAnimation(bad); }, rt::Overflow, {});
    EXPECT_EQ(NewAnimationCount, 3);
}

TEST_F(Animations_, ScreenshotFadeCopiesTheBackBufferIntoItsTexture) {
    DDSURFACEDESC2 d;
    d.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.ddsCaps.lCaps = DDSCAPS_TEXTURE;
    d.lWidth = d.lHeight = 64;
    SurfaceRecord shot;
    shot.Surface = DirectDraw->CreateSurface(d);
    shot.Frames = {SurfaceFrame{0, 0, 32, 16, 0, 0}};
    shot.Loaded = 1;
    TextureList.push_back(shot);
    BackgroundTextures[1] = static_cast<int32_t>(TextureList.size() - 1);
    BackBuffer->BltColorFill(nullptr, 0xF800);

    SpawnParams p;
    p.kind = AnimOverlay;
    p.style = 10;
    p.duration = 50;
    SpawnAnimation(p);
    EXPECT_EQ(NewAnimations[1].Texture, BackgroundTextures[1]);
    const DirectDrawSurface7& s = *shot.Surface;
    EXPECT_EQ(s.Row(0)[0], 0xF800);
    EXPECT_EQ(s.Row(15)[31], 0xF800);
    EXPECT_EQ(s.Row(16)[0], 0);  // only the first frame's rectangle
    EXPECT_EQ(s.Row(0)[32], 0);
}

TEST_F(Animations_, RecordsEndRemovedOnThePassAfterTheirLastFrame) {
    SpawnAnimation(Particle(0, 0));
    Frame();
    EXPECT_EQ(DrawItemCount, 1);  // drawn in the frame it finished
    EXPECT_EQ(Record(1).State, AnimationFinished);
    EXPECT_EQ(Record(1).Elapsed, 0);
    Frame();
    EXPECT_EQ(AnimationCount, 0);
    EXPECT_EQ(Animations.size(), 1u);
    EXPECT_EQ(DrawItemCount, 0);
}

TEST_F(Animations_, RemovalMovesTheLastRecordInAndHandlesItInTheSameStep) {
    Animation a = Running();
    for (float x : {1.0f, 2.0f, 3.0f}) {
        a.Position.x = x;
        Insert(a);
    }
    Record(1).State = AnimationFinished;
    Frame();
    ASSERT_EQ(AnimationCount, 2);
    EXPECT_EQ(Animations.size(), 3u);
    EXPECT_EQ(Record(1).Position.x, 3);
    EXPECT_EQ(Record(1).Elapsed, 1);  // the moved record was advanced once, not skipped
    EXPECT_EQ(Record(2).Elapsed, 1);

    // A moved record that had already finished waits for the next pass.
    a.Position.x = 4;
    Insert(a);
    Record(3).State = AnimationFinished;
    Record(1).State = AnimationFinished;
    Frame();
    ASSERT_EQ(AnimationCount, 2);
    EXPECT_EQ(Record(1).Position.x, 4);
    EXPECT_EQ(Record(1).State, AnimationFinished);
    EXPECT_EQ(Record(2).Elapsed, 2);

    // Removing the last record ends the pass.
    Record(1).State = AnimationRunning;
    Record(2).State = AnimationFinished;
    Frame();
    ASSERT_EQ(AnimationCount, 1);
    EXPECT_EQ(Record(1).Position.x, 4);
    EXPECT_EQ(Record(1).Elapsed, 1);

    ExpectRuntimeError([] { RemoveAnimation(0); }, rt::SubscriptOutOfRange, {});
    ExpectRuntimeError([] { RemoveAnimation(2); }, rt::SubscriptOutOfRange, {});
    EXPECT_EQ(AnimationCount, 1);
}

TEST_F(Animations_, PausedRecordsStandStillButAreStillDrawn) {
    SpawnParams p = Particle(0, 10);
    p.velocityX = 1;
    SpawnAnimation(p);
    Frame();
    PauseState = 1;
    Frame();
    EXPECT_EQ(Record(1).Elapsed, 1);
    EXPECT_EQ(Record(1).Position.x, 1);
    EXPECT_EQ(DrawItemCount, 1);
}

TEST_F(Animations_, DelaysHoldTimeOrMotion) {
    Animation a = Running();
    a.Duration = 10;
    a.StartDelay = 2;
    a.HoldDelay = 1;
    a.DelayFlags = DelayStart | DelayHold;
    a.Velocity.x = 1;
    AdvanceAnimation(a);
    EXPECT_EQ(a.Elapsed, 0);
    EXPECT_EQ(a.Position.x, 0);  // held
    AdvanceAnimation(a);
    EXPECT_EQ(a.Elapsed, 0);
    EXPECT_EQ(a.Position.x, 1);
    AdvanceAnimation(a);
    EXPECT_EQ(a.Elapsed, 1);
    EXPECT_EQ(a.State, AnimationRunning);
    FrameScale = 20;
    AdvanceAnimation(a);
    EXPECT_EQ(a.Elapsed, 10);
    EXPECT_EQ(a.State, AnimationFinished);
}

TEST_F(Animations_, SpinWrapsOnceAndExactly360Stays) {
    Animation a = Running();
    a.Angle = {350, 10, 100};
    a.Spin = {10, -15, -500};
    AdvanceAnimation(a);
    EXPECT_EQ(a.Angle.x, 360);
    EXPECT_EQ(a.Angle.y, 355);
    EXPECT_EQ(a.Angle.z, -40);  // one correction only
    a.Spin = {1, 0, 0};
    AdvanceAnimation(a);
    EXPECT_EQ(a.Angle.x, 1);
    EXPECT_EQ(a.Angle.z, 320);
}

TEST_F(Animations_, BouncingReboundsUntilItRests) {
    Animation a = Running();
    a.GroundMode = GroundBounce;
    a.Position.y = -1;
    a.Velocity = {1, -0.5f, 1};
    a.Spin = {10, 10, 10};
    AdvanceAnimation(a);
    EXPECT_FLOAT_EQ(a.Velocity.y, 0.3f);
    EXPECT_FLOAT_EQ(a.Velocity.x, 0.75f);
    EXPECT_FLOAT_EQ(a.Spin.x, 7.5f);
    EXPECT_FLOAT_EQ(a.Spin.y, 9);
    EXPECT_FLOAT_EQ(a.Spin.z, 9.5f);
    EXPECT_FLOAT_EQ(a.Position.y, -0.7f);

    a.Acceleration.y = -0.02f;
    a.Spin = {};
    int frames = 0;
    while (a.Velocity.y != 0 && frames < 1000) {
        AdvanceAnimation(a);
        ++frames;
        ASSERT_GT(a.Position.y, -2);
    }
    EXPECT_LT(frames, 1000);
    EXPECT_EQ(a.Acceleration.y, 0);
    EXPECT_EQ(a.Position.y, -1);
    AdvanceAnimation(a);  // at rest it stays at rest
    EXPECT_EQ(a.Position.y, -1);

    // On the ground a spinning record never rolls slower than 2 degrees a unit.
    for (auto [spin, after] : {std::pair{1.0f, 2.0f}, {-1.5f, -2.0f}, {2.4f, 2.0f}, {4.0f, 3.0f}}) {
        a.Spin.x = spin;
        a.Angle.x = 0;
        AdvanceAnimation(a);
        EXPECT_FLOAT_EQ(a.Spin.x, after) << spin;
    }
}

TEST_F(Animations_, LandingStopsAtTheGroundOnFirstContact) {
    Animation b = Running();
    b.GroundMode = GroundLand;
    b.Position.y = -1.2f;
    b.Velocity.y = -0.8f;
    b.Angle.x = 89;
    b.Spin.x = 0.5f;
    AdvanceAnimation(b);
    EXPECT_EQ(b.Position.y, -1);
    EXPECT_EQ(b.Velocity.y, 0);
    EXPECT_EQ(b.Angle.x, 90);  // nearly flat: laid flat
    EXPECT_EQ(b.Spin.x, 0);

    // Resting at an angle it rolls on for a while, then stops short of lying flat.
    ResetRandom();
    b.Angle.x = 100;
    b.Spin.x = 2;
    for (int i = 0; i < 60 && b.Spin.x != 0; ++i) AdvanceAnimation(b);
    EXPECT_EQ(b.Spin.x, 0);
    EXPECT_GT(b.Angle.x, 100);
    EXPECT_LT(b.Angle.x, 268);
    EXPECT_EQ(b.Position.y, -1);

    // Above the ground nothing responds.
    b.Position.y = -0.5f;
    b.Velocity.y = -0.1f;
    AdvanceAnimation(b);
    EXPECT_FLOAT_EQ(b.Position.y, -0.6f);
}

TEST_F(Animations_, FollowedItemIsOnlyOneMadeThisFrame) {
    SpawnAnimation(Particle(0, 10));
    SpawnParams text;
    text.kind = AnimText;
    text.text = "A";
    text.duration = 10;
    SpawnAnimation(text);
    Frame();
    EXPECT_EQ(FollowedDrawItem(1), Record(1).DrawItemIndex);
    EXPECT_EQ(Item(FollowedDrawItem(1)).ObjectIndex, 1);
    EXPECT_EQ(FollowedDrawItem(2), 0);  // text makes no item to follow
    EXPECT_EQ(FollowedDrawItem(0), 0);
    EXPECT_EQ(FollowedDrawItem(3), 0);
    ResetDrawList();  // the render emptied the list: the old index names nothing
    EXPECT_EQ(FollowedDrawItem(1), 0);
}

}  // namespace
