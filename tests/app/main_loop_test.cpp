#include <gtest/gtest.h>

#include "app/MainLoop.h"
#include "core/Declarations.h"
#include "platform/host/HeadlessHost.h"

namespace {

class MainLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetActiveHost(&host);
        ResetMainLoopState();
        SpeedFactor = 0.04f;
    }
    void TearDown() override { SetActiveHost(nullptr); }
    HeadlessHost host{HeadlessOptions{}};
};

TEST_F(MainLoopTest, FrameTimerMeasuresElapsedTimeAcrossTheWrap) {
    host.SetTickCount(0xFFFFFFF0u);
    LastTick = static_cast<int32_t>(host.GetTickCount());
    host.AdvanceClock(0x30);  // the counter wraps to 0x20
    UpdateFrameTimer();
    EXPECT_EQ(FrameMs, 0x30);
    EXPECT_FLOAT_EQ(FrameScale, 0.04f * 48);
    EXPECT_EQ(FrameCount, 1);
    EXPECT_EQ(static_cast<uint32_t>(LastTick), 0x20u);

    host.AdvanceClock(25);
    UpdateFrameTimer();
    EXPECT_EQ(FrameMs, 25);
    EXPECT_FLOAT_EQ(FrameScale, 1.0f);
    EXPECT_EQ(FrameCount, 2);
}

TEST_F(MainLoopTest, PauseGoesThroughItsFourStates) {
    host.SetKey(KeyP, true);
    AdvancePauseState();
    EXPECT_EQ(PauseState, 1);
    AdvancePauseState();  // still held
    EXPECT_EQ(PauseState, 1);
    host.SetKey(KeyP, false);
    AdvancePauseState();
    EXPECT_EQ(PauseState, 2);
    AdvancePauseState();
    EXPECT_EQ(PauseState, 2);
    host.SetKey(KeyP, true);
    AdvancePauseState();
    EXPECT_EQ(PauseState, 3);
    AdvancePauseState();
    EXPECT_EQ(PauseState, 3);
    host.SetKey(KeyP, false);
    AdvancePauseState();
    EXPECT_EQ(PauseState, 0);
}

TEST_F(MainLoopTest, QuickTapIsNotYetAReleaseButPausesAtOnce) {
    PauseState = 1;
    // Pressed and released between two reads: only the low bit is set, so not yet released.
    host.SetKey(KeyP, true);
    host.SetKey(KeyP, false);
    AdvancePauseState();
    EXPECT_EQ(PauseState, 1);
    AdvancePauseState();  // that read cleared the low bit: now exactly 0
    EXPECT_EQ(PauseState, 2);

    // A tap is not "down" either, so it does not resume a paused program.
    host.SetKey(KeyP, true);
    host.SetKey(KeyP, false);
    AdvancePauseState();
    EXPECT_EQ(PauseState, 2);
}

TEST_F(MainLoopTest, KeyStateBitsFollowTheWindowsRules) {
    EXPECT_EQ(host.GetAsyncKeyState(vk::ESCAPE), 0);
    host.SetKey(vk::ESCAPE, true);
    EXPECT_EQ(static_cast<uint16_t>(host.GetAsyncKeyState(vk::ESCAPE)), 0x8001u);
    EXPECT_EQ(static_cast<uint16_t>(host.GetAsyncKeyState(vk::ESCAPE)), 0x8000u);
    EXPECT_TRUE(KeyDown(vk::ESCAPE));
    host.SetKey(vk::ESCAPE, false);
    host.SetKey(vk::ESCAPE, true);
    host.SetKey(vk::ESCAPE, false);
    EXPECT_FALSE(KeyDown(vk::ESCAPE));  // a tap between reads is not down
    host.SetKey(vk::ESCAPE, true);
    host.SetKey(vk::ESCAPE, false);
    EXPECT_FALSE(KeyReleased(vk::ESCAPE));  // ... nor released: the low bit is still set
    EXPECT_TRUE(KeyReleased(vk::ESCAPE));
}

}  // namespace
