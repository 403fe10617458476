#include "render/Camera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/host/HeadlessHost.h"

namespace {

class CameraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetActiveHost(&host);
        camera.CameraPosition = D3DVECTOR{0, 4, 0};
        camera.UpVector = D3DVECTOR{0, 1, 0};
        camera.Yaw = 55;
    }
    void TearDown() override { SetActiveHost(nullptr); }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) StepCamera(camera);
    }
    HeadlessHost host{HeadlessOptions{}};
    CameraStateRecord camera;
};

TEST_F(CameraTest, ReleasingEveryKeyBringsTheCameraToAFullStop) {
    host.SetKey('A', true);
    host.SetKey(vk::RIGHT, true);
    host.SetKey(vk::UP, true);
    Frames(30);
    EXPECT_NEAR(camera.MoveSpeed, 0.4f, 1e-5f);
    host.SetKey('A', false);
    host.SetKey(vk::RIGHT, false);
    host.SetKey(vk::UP, false);
    Frames(40);
    EXPECT_EQ(camera.MoveSpeed, 0.0f);
    EXPECT_EQ(camera.TurnSpeed, 0.0f);
    EXPECT_EQ(camera.PitchSpeed, 0.0f);
    const D3DVECTOR still = camera.CameraPosition;
    Frames(1);
    EXPECT_EQ(camera.CameraPosition.x, still.x);
    EXPECT_EQ(camera.CameraPosition.z, still.z);
}

TEST_F(CameraTest, HoldingRightHoversJustBeyondMinusOne) {
    host.SetKey(vk::RIGHT, true);
    float lowest = 0;
    for (int i = 0; i < 50; ++i) {
        StepCamera(camera);
        lowest = std::min(lowest, camera.TurnSpeed);
    }
    EXPECT_LT(camera.TurnSpeed, -1.0f + 1e-6f);
    EXPECT_GT(lowest, -1.2f);
    EXPECT_NE(camera.Yaw, 55.0f);
    // With Alt it strafes instead: yaw holds still.
    HeadlessHost other{HeadlessOptions{}};
    SetActiveHost(&other);
    CameraStateRecord c;
    c.Yaw = 90;  // facing +z: strafing right moves towards +x
    other.SetKey(vk::RIGHT, true);
    other.SetKey(vk::MENU, true);
    StepCamera(c);
    EXPECT_EQ(c.Yaw, 90.0f);
    EXPECT_NEAR(c.CameraPosition.x, 0.05f, 1e-6f);
    EXPECT_NEAR(c.CameraPosition.z, 0.0f, 1e-6f);
    SetActiveHost(&host);
}

TEST_F(CameraTest, PitchIsClampedAndMotionAtNinetyIsVertical) {
    host.SetKey(vk::UP, true);
    Frames(200);
    EXPECT_EQ(camera.Pitch, -90.0f);
    const float speed = camera.PitchSpeed;
    StepCamera(camera);  // at -90 Up adds no more pitch speed
    EXPECT_GE(camera.PitchSpeed, speed);
    host.SetKey(vk::UP, false);
    Frames(20);
    host.SetKey('A', true);
    const D3DVECTOR before = camera.CameraPosition;
    Frames(10);
    EXPECT_EQ(camera.CameraPosition.x, before.x);
    EXPECT_EQ(camera.CameraPosition.z, before.z);
    EXPECT_LT(camera.CameraPosition.y, before.y);  // nose down: flying forward sinks
}

TEST_F(CameraTest, LookAtPointLiesAlongTheYaw) {
    camera.Yaw = 0;
    Frames(1);
    EXPECT_NEAR(camera.LookAtPoint.x - camera.CameraPosition.x, 0.1f, 1e-6f);
    EXPECT_NEAR(camera.LookAtPoint.z - camera.CameraPosition.z, 0.0f, 1e-6f);
    camera.Yaw = 90;
    Frames(1);
    EXPECT_NEAR(camera.LookAtPoint.z - camera.CameraPosition.z, 0.1f, 1e-6f);
}

TEST_F(CameraTest, AltWithUpAndDownClimbsAndSinksWithoutPitching) {
    host.SetKey(vk::MENU, true);
    host.SetKey(vk::UP, true);
    Frames(1);  // +0.04, then the decay of 0.01
    EXPECT_NEAR(camera.ClimbSpeed, 0.03f, 1e-6f);
    EXPECT_NEAR(camera.CameraPosition.y, 4.03f, 1e-5f);
    Frames(40);  // the speed is only raised while below 0.24
    EXPECT_GT(camera.ClimbSpeed, 0.2f);
    EXPECT_LT(camera.ClimbSpeed, 0.28f);
    EXPECT_EQ(camera.Pitch, 0.0f);
    EXPECT_EQ(camera.CameraPosition.x, 0.0f);
    const float top = camera.CameraPosition.y;

    host.SetKey(vk::UP, false);
    host.SetKey(vk::DOWN, true);
    Frames(60);
    EXPECT_LT(camera.ClimbSpeed, -0.2f);
    EXPECT_LT(camera.CameraPosition.y, top);
    EXPECT_EQ(camera.Pitch, 0.0f);
    host.SetKey(vk::DOWN, false);
    Frames(30);  // decays to the dead zone, then stops
    EXPECT_EQ(camera.ClimbSpeed, 0.0f);
}

TEST_F(CameraTest, AltWithLeftStrafesLeftAndTheYawWrapsBothWays) {
    camera.Yaw = 90;  // facing +z: left is -x
    host.SetKey(vk::LEFT, true);
    host.SetKey(vk::MENU, true);
    Frames(2);
    EXPECT_EQ(camera.Yaw, 90.0f);
    EXPECT_EQ(camera.TurnSpeed, 0.0f);
    EXPECT_NEAR(camera.CameraPosition.x, -0.1f, 1e-6f);
    EXPECT_NEAR(camera.CameraPosition.z, 0.0f, 1e-6f);

    // Turning left past 360 comes back above 0; turning right below 0 goes back under 360.
    host.SetKey(vk::MENU, false);
    camera.Yaw = 359.95f;
    Frames(1);  // speed 0.2, decayed to 0.15
    EXPECT_NEAR(camera.Yaw, 0.1f, 1e-4f);
    host.SetKey(vk::LEFT, false);
    Frames(10);
    host.SetKey(vk::RIGHT, true);
    camera.Yaw = 0.05f;
    camera.TurnSpeed = 0;
    Frames(1);
    EXPECT_NEAR(camera.Yaw, 359.9f, 1e-4f);
}

// The camera runs on measured time: a second with the same keys held ends in the same place at
// 40, 60 and 144 frames a second, and between its steps each frame is drawn part of the way
// along the last one, never ahead of it and never back.
TEST_F(CameraTest, OneSecondOfHeldKeysEndsInTheSamePlaceAtAnyFrameRate) {
    host.SetKey('A', true);
    host.SetKey(vk::RIGHT, true);  // yaw 55 falls towards 15: x keeps growing
    host.SetKey(vk::DOWN, true);
    std::vector<CameraStateRecord> ends;
    for (const int rate : {40, 60, 144}) {
        CameraState = camera;
        ResetCameraClock();
        AdvanceCamera(0);  // the first frame, at time 0
        float lastX = ViewedCamera().CameraPosition.x;
        for (int frame = 0; frame < rate; ++frame) {
            AdvanceCamera((frame + 1) * 1000000 / rate - frame * 1000000 / rate);
            const CameraStateRecord seen = ViewedCamera();
            const float stepStart = CameraState.CameraPosition.x - CameraClock.StepMove.x;
            EXPECT_GE(seen.CameraPosition.x, lastX) << rate << " Hz, frame " << frame;
            EXPECT_GE(seen.CameraPosition.x, std::min(stepStart, CameraState.CameraPosition.x));
            EXPECT_LE(seen.CameraPosition.x, std::max(stepStart, CameraState.CameraPosition.x));
            lastX = seen.CameraPosition.x;
        }
        EXPECT_EQ(CameraClock.LeadUs, 0) << rate << " Hz";
        ends.push_back(CameraState);
    }
    EXPECT_GT(ends[0].CameraPosition.x, camera.CameraPosition.x);
    for (const CameraStateRecord& end : ends) {
        EXPECT_EQ(end.CameraPosition.x, ends[0].CameraPosition.x);
        EXPECT_EQ(end.CameraPosition.y, ends[0].CameraPosition.y);
        EXPECT_EQ(end.CameraPosition.z, ends[0].CameraPosition.z);
        EXPECT_EQ(end.Yaw, ends[0].Yaw);
        EXPECT_EQ(end.Pitch, ends[0].Pitch);
        EXPECT_EQ(end.MoveSpeed, ends[0].MoveSpeed);
    }
}

}  // namespace
