#include "animation/Animations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "animation/FollowedDrawItem.h"
#include "core/Random.h"
#include "display/Display.h"
#include "resources/Surfaces.h"
#include "tests/support/AnimationFixture.h"
#include "tests/support/ResourceTestSupport.h"

namespace {

class Animations_ : public AnimationFixture {};

TEST_F(Animations_, SpawnsJoinAtTheNextPassAndAreRefusedWhilePaused) {
    EXPECT_EQ(Animations[0].State, AnimationSentinel);
    EXPECT_EQ(SpawnAnimation(Particle(1, 10)), 1);
    EXPECT_EQ(SpawnAnimation(Particle(2, 10)), 2);
    EXPECT_EQ(AnimationCount, 0);
    Frame();
    EXPECT_EQ(AnimationCount, 2);
    EXPECT_EQ(NewAnimations.size(), 1u);
    EXPECT_EQ(Record(2).Position.x, 2);
    EXPECT_EQ(DrawItemCount, 2);  // advanced and drawn in the pass that joined them
    EXPECT_EQ(SpawnAnimation(Particle(3, 10)), 3);
    PauseState = 2;
    EXPECT_EQ(SpawnAnimation(Particle(4, 10)), 0);
    EXPECT_EQ(NewAnimationCount, 1);
}

TEST_F(Animations_, KindSetUpsAndTheGroundRule) {
    ParticleDrift = {0.001f, 0, 0.002f};
    // Only x is scaled by its velocity; the part number's half goes to even.
    SpawnParams p{.kind = AnimParticle,
                  .velocityX = 2,
                  .velocityY = 3,
                  .accelerationX = 0.5f,
                  .accelerationY = 0.25f,
                  .spinX = 45,
                  .modelValue = 2,
                  .partValue = 8.5f,
                  .accelScaleBits = 1,
                  .holdDelay = 3,
                  .groundMode = GroundBounce};
    SpawnAnimation(p);
    const Animation& a = NewAnimations[1];
    EXPECT_EQ(a.Part, 8);
    EXPECT_FLOAT_EQ(a.Acceleration.x, 0.5f * 2 + 0.001f);
    EXPECT_FLOAT_EQ(a.Acceleration.y, -0.25f);  // a bouncing record always falls
    EXPECT_EQ(a.Acceleration.z, 0);             // no drift without speed along z
    EXPECT_EQ(a.Angle.x, 45);                   // model 2: the X spin is a start angle
    EXPECT_EQ(a.Spin.x, 0);
    EXPECT_EQ(a.DelayFlags, DelayHold);

    SpawnAnimation({.kind = AnimParticle,
                    .velocityY = -1,
                    .modelValue = 1,
                    .partValue = 9,
                    .groundMode = GroundBounce});
    EXPECT_FLOAT_EQ(NewAnimations[2].Angle.x, 270);  // pointing down its path
    EXPECT_FLOAT_EQ(NewAnimations[2].Angle.y, 180);
    EXPECT_FLOAT_EQ(NewAnimations[2].Acceleration.y, -0.02f);

    SpawnAnimation({.kind = AnimOverlay, .startDelay = 100});
    EXPECT_EQ(NewAnimations[3].ItemFlags, FlagScreenSpace);
    EXPECT_EQ(NewAnimations[3].DelayFlags, DelayStart);

    // A value too large for its field is refused before anything is queued.
    p.modelValue = 40000;
    ExpectRuntimeError([&] { SpawnAnimation(p); }, rt::Overflow, {});
    EXPECT_EQ(NewAnimationCount, 3);
}

TEST_F(Animations_, ScreenshotFadeCopiesTheBackBufferIntoItsTexture) {
    DDSURFACEDESC2 d;
    d.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.lWidth = d.lHeight = 64;
    SurfaceRecord shot{DirectDraw->CreateSurface(d), {SurfaceFrame{0, 0, 32, 16, 0, 0}}, 0, 1, ""};
    TextureList.push_back(shot);
    BackgroundTextures[1] = static_cast<int32_t>(TextureList.size() - 1);
    BackBuffer->BltColorFill(nullptr, 0xF800);
    SpawnAnimation({.kind = AnimOverlay, .style = 10});
    EXPECT_EQ(NewAnimations[1].Texture, BackgroundTextures[1]);
    const DirectDrawSurface7& s = *shot.Surface;
    EXPECT_EQ(s.Row(15)[31], 0xF800);
    EXPECT_EQ(s.Row(16)[0], 0);  // only the first frame's rectangle
    EXPECT_EQ(s.Row(0)[32], 0);
}

TEST_F(Animations_, ARecordWithoutDurationIsDrawnOnceThenRemoved) {
    SpawnAnimation(Particle(0, 0));
    Frame();
    EXPECT_EQ(DrawItemCount, 1);
    EXPECT_EQ(Record(1).State, AnimationFinished);
    EXPECT_EQ(Record(1).Elapsed, 0);
    Frame();
    EXPECT_EQ(AnimationCount, 0);
    EXPECT_EQ(Animations.size(), 1u);
    EXPECT_EQ(DrawItemCount, 0);
}

TEST_F(Animations_, RemovalMovesTheLastRecordInAndHandlesItInTheSameStep) {
    Animation a{.Duration = 100};
    for (float x : {1.0f, 2.0f, 3.0f}) {
        a.Position.x = x;
        Insert(a);
    }
    Record(1).State = AnimationFinished;
    Frame();
    ASSERT_EQ(AnimationCount, 2);
    EXPECT_EQ(Record(1).Position.x, 3);
    EXPECT_EQ(Record(1).Elapsed, 1);  // the moved record was advanced, not skipped
    EXPECT_EQ(Record(2).Elapsed, 1);

    // A moved record that had already finished waits for the next pass.
    a.Position.x = 4;
    Insert(a);
    Record(3).State = Record(1).State = AnimationFinished;
    Frame();
    ASSERT_EQ(AnimationCount, 2);
    EXPECT_EQ(Record(1).Position.x, 4);
    EXPECT_EQ(Record(1).State, AnimationFinished);

    // Removing the last record ends the pass.
    Record(1).State = AnimationRunning;
    Record(2).State = AnimationFinished;
    Frame();
    ASSERT_EQ(AnimationCount, 1);
    EXPECT_EQ(Record(1).Elapsed, 1);
    ExpectRuntimeError([] { RemoveAnimation(0); }, rt::SubscriptOutOfRange, {});
    ExpectRuntimeError([] { RemoveAnimation(2); }, rt::SubscriptOutOfRange, {});
}

TEST_F(Animations_, PauseAndDelaysStopTimeOrMotion) {
    SpawnAnimation({.kind = AnimParticle, .duration = 10, .velocityX = 1, .modelValue = 1});
    Frame();
    PauseState = 1;
    Frame();
    EXPECT_EQ(Record(1).Elapsed, 1);
    EXPECT_EQ(Record(1).Position.x, 1);
    EXPECT_EQ(DrawItemCount, 1);  // still drawn

    Animation a{.Velocity = {1, 0, 0},
                .Duration = 10,
                .StartDelay = 2,
                .HoldDelay = 1,
                .DelayFlags = DelayStart | DelayHold,
                .State = AnimationRunning};
    std::vector<std::pair<float, float>> seen;  // elapsed, x
    for (int i = 0; i < 3; ++i) {
        AdvanceAnimation(a);
        seen.emplace_back(a.Elapsed, a.Position.x);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<float, float>>{{0, 0}, {0, 1}, {1, 2}}));
    FrameScale = 20;
    AdvanceAnimation(a);
    EXPECT_EQ(a.Elapsed, 10);
    EXPECT_EQ(a.State, AnimationFinished);
}

TEST_F(Animations_, SpinWrapsOnceAndExactly360Stays) {
    Animation a{.Angle = {350, 10, 100}, .Spin = {10, -15, -500}, .Duration = 100};
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
    Animation a{.Position = {0, -1, 0},
                .Velocity = {1, -0.5f, 1},
                .Spin = {10, 10, 10},
                .Duration = 1000,
                .GroundMode = GroundBounce};
    AdvanceAnimation(a);
    EXPECT_FLOAT_EQ(a.Velocity.y, 0.3f);
    EXPECT_FLOAT_EQ(a.Velocity.x, 0.75f);
    EXPECT_FLOAT_EQ(a.Spin.x + a.Spin.y + a.Spin.z, 7.5f + 9 + 9.5f);
    EXPECT_FLOAT_EQ(a.Position.y, -0.7f);

    a.Acceleration.y = -0.02f;
    a.Spin = {};
    int frames = 0;
    for (; a.Velocity.y != 0 && frames < 1000; ++frames) AdvanceAnimation(a);
    EXPECT_LT(frames, 1000);
    EXPECT_EQ(a.Acceleration.y, 0);
    EXPECT_EQ(a.Position.y, -1);

    // A rebound slower than 0.001 is already rest.
    a.Velocity.y = -0.0015f;
    AdvanceAnimation(a);
    EXPECT_EQ(a.Velocity.y, 0);
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
    Animation b{.Position = {0, -1.2f, 0},
                .Velocity = {0, -0.8f, 0},
                .Angle = {89, 0, 0},
                .Spin = {0.5f, 0, 0},
                .Duration = 1000,
                .GroundMode = GroundLand};
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
}

TEST_F(Animations_, FollowedItemIsOnlyOneMadeThisFrame) {
    SpawnAnimation(Particle(0, 10));
    SpawnAnimation({.kind = AnimText, .duration = 10});
    Frame();
    EXPECT_EQ(FollowedDrawItem(1), 1);
    EXPECT_EQ(FollowedDrawItem(2), 0);  // text makes no item to follow
    EXPECT_EQ(FollowedDrawItem(0), 0);
    EXPECT_EQ(FollowedDrawItem(3), 0);
    ResetDrawList();  // the render emptied the list: the old index names nothing
    EXPECT_EQ(FollowedDrawItem(1), 0);
}

}  // namespace
