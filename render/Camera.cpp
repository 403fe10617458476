#include "render/Camera.h"

#include <algorithm>
#include <cmath>

#include "core/Declarations.h"
#include "platform/host/Host.h"

namespace {

constexpr int KeyA = 65, KeyZ = 90;

int16_t Read(int key) {
    return ActiveHost().GetAsyncKeyState(key);
}
bool Held(int16_t value) {
    return value < -1;
}

double Rad(double degrees) {
    return degrees * DegToRad;
}

// Moves v towards 0 by step.
float Decay(float v, float step) {
    return v > 0 ? v - step : (v < 0 ? v + step : v);
}

// The look-at point 0.1 ahead of the eye; tan makes it tend to straight down or up near
// +-90 degrees of pitch.
void AimCamera(CameraStateRecord& c) {
    c.LookAtPoint = D3DVECTOR{static_cast<float>(c.CameraPosition.x + std::cos(Rad(c.Yaw)) * 0.1),
                              static_cast<float>(c.CameraPosition.y + std::tan(Rad(c.Pitch)) * 0.1),
                              static_cast<float>(c.CameraPosition.z + std::sin(Rad(c.Yaw)) * 0.1)};
}

}  // namespace

namespace {

// One step of CameraState, remembering its change for drawing between steps; a yaw that
// wrapped past 0 or 360 changed by the short way round.
void TakeStep(CameraClockRecord& clock) {
    const CameraStateRecord before = CameraState;
    StepCamera(CameraState);
    const CameraStateRecord& after = CameraState;
    clock.StepMove = D3DVECTOR{after.CameraPosition.x - before.CameraPosition.x,
                               after.CameraPosition.y - before.CameraPosition.y,
                               after.CameraPosition.z - before.CameraPosition.z};
    clock.StepPitch = after.Pitch - before.Pitch;
    float yaw = after.Yaw - before.Yaw;
    if (yaw > 180) yaw -= 360;
    if (yaw < -180) yaw += 360;
    clock.StepYaw = yaw;
}

}  // namespace

void StepCamera(CameraStateRecord& c) {
    // Every condition of a rule reads its keys afresh, so the rules see the keys exactly as a
    // chain of full tests would.
    {
        const bool right = Held(Read(vk::RIGHT)), altUp = Read(vk::MENU) == 0;
        if (right && altUp && c.TurnSpeed > -1) {
            c.TurnSpeed -= 0.2f;
        } else {
            const bool left = Held(Read(vk::LEFT)), altUp2 = Read(vk::MENU) == 0;
            if (left && altUp2 && c.TurnSpeed < 1) {
                c.TurnSpeed += 0.2f;
            } else {
                const bool right2 = Held(Read(vk::RIGHT)), alt = Held(Read(vk::MENU));
                if (right2 && alt) {
                    c.CameraPosition.x += static_cast<float>(std::cos(Rad(c.Yaw - 90)) * 0.05);
                    c.CameraPosition.z += static_cast<float>(std::sin(Rad(c.Yaw - 90)) * 0.05);
                } else {
                    const bool left2 = Held(Read(vk::LEFT)), alt2 = Held(Read(vk::MENU));
                    if (left2 && alt2) {
                        c.CameraPosition.x += static_cast<float>(std::cos(Rad(c.Yaw + 90)) * 0.05);
                        c.CameraPosition.z += static_cast<float>(std::sin(Rad(c.Yaw + 90)) * 0.05);
                    }
                }
            }
        }
    }

    c.TurnSpeed = Decay(c.TurnSpeed, 0.05f);
    if (std::fabs(c.TurnSpeed) < 0.1f) c.TurnSpeed = 0;
    if (c.TurnSpeed != 0) {
        c.Yaw += c.TurnSpeed;
        if (c.Yaw < 0) {
            c.Yaw += 360;
        } else if (c.Yaw > 360) {
            c.Yaw -= 360;
        }
    }

    const int16_t a = Read(KeyA);
    int16_t z = 0;
    if (Held(a) && c.MoveSpeed < 0.4f) {
        c.MoveSpeed += 0.02f;
    } else {
        z = Read(KeyZ);
        if (Held(z) && c.MoveSpeed > -0.4f) c.MoveSpeed -= 0.02f;
    }
    if (a == 0 && z == 0) {
        c.MoveSpeed = Decay(c.MoveSpeed, 0.02f);
        if (std::fabs(c.MoveSpeed) < 0.04f) c.MoveSpeed = 0;
    }

    if (c.MoveSpeed != 0) {
        const double p = c.Pitch, y = c.Yaw, level = (90 - std::fabs(p)) / 90;
        c.CameraPosition.x += static_cast<float>(level * c.MoveSpeed * std::cos(Rad(y)));
        c.CameraPosition.y +=
            static_cast<float>(std::fabs(p) / 90 * c.MoveSpeed * std::sin(Rad(p)));
        c.CameraPosition.z += static_cast<float>(level * c.MoveSpeed * std::sin(Rad(y)));
    }

    {
        const bool up = Held(Read(vk::UP)), altUp = Read(vk::MENU) == 0;
        if (up && altUp && c.Pitch > -90 && c.PitchSpeed > -1) {
            c.PitchSpeed -= 0.2f;
        } else {
            const bool down = Held(Read(vk::DOWN)), altUp2 = Read(vk::MENU) == 0;
            if (down && altUp2 && c.Pitch < 90 && c.PitchSpeed < 1) {
                c.PitchSpeed += 0.2f;
            } else {
                const bool up2 = Held(Read(vk::UP)), alt = Held(Read(vk::MENU));
                if (up2 && alt && c.ClimbSpeed < 0.24f) {
                    c.ClimbSpeed += 0.04f;
                } else {
                    const bool down2 = Held(Read(vk::DOWN)), alt2 = Held(Read(vk::MENU));
                    if (down2 && alt2 && c.ClimbSpeed > -0.24f) c.ClimbSpeed -= 0.04f;
                }
            }
        }
    }

    c.ClimbSpeed = Decay(c.ClimbSpeed, 0.01f);
    if (std::fabs(c.ClimbSpeed) <= 0.01f) c.ClimbSpeed = 0;
    if (c.ClimbSpeed != 0) c.CameraPosition.y += c.ClimbSpeed;

    c.PitchSpeed = Decay(c.PitchSpeed, 0.05f);
    if (std::fabs(c.PitchSpeed) < 0.1f) c.PitchSpeed = 0;
    if (c.PitchSpeed != 0) {
        c.Pitch += c.PitchSpeed;
        if (c.Pitch < -90) {
            c.Pitch = -90;
        } else if (c.Pitch > 90) {
            c.Pitch = 90;
        }
    }

    AimCamera(c);
}

void AdvanceCamera(int64_t elapsedUs) {
    CameraClockRecord& clock = CameraClock;
    if (!clock.Started) {
        // The first frame draws the first step, whatever time passed before it.
        clock = CameraClockRecord{};
        clock.Started = true;
        TakeStep(clock);
        return;
    }
    clock.LeadUs -= static_cast<int32_t>(
        std::clamp<int64_t>(elapsedUs, 0, int64_t{kMaxCameraStepsPerFrame} * kCameraStepUs));
    while (clock.LeadUs < 0) {
        TakeStep(clock);
        clock.LeadUs += kCameraStepUs;
    }
}

namespace {

// CameraState moved back along its last step, the look-at point left as it is.
CameraStateRecord MovedBack() {
    CameraStateRecord c = CameraState;
    const CameraClockRecord& clock = CameraClock;
    // At a step exactly (LeadUs 0) the camera is drawn as stepped, bit for bit.
    if (clock.LeadUs != 0) {
        const float back = static_cast<float>(clock.LeadUs) / kCameraStepUs;
        c.CameraPosition.x -= clock.StepMove.x * back;
        c.CameraPosition.y -= clock.StepMove.y * back;
        c.CameraPosition.z -= clock.StepMove.z * back;
        c.Pitch -= clock.StepPitch * back;
        c.Yaw -= clock.StepYaw * back;
        if (c.Yaw < 0) {
            c.Yaw += 360;
        } else if (c.Yaw > 360) {
            c.Yaw -= 360;
        }
    }
    return c;
}

}  // namespace

CameraStateRecord ViewedCamera() {
    CameraStateRecord c = MovedBack();
    AimCamera(c);  // also after TAB, which puts the camera back without its look-at point
    return c;
}

D3DVECTOR ViewedPosition() {
    return MovedBack().CameraPosition;
}

float ViewedYaw() {
    return MovedBack().Yaw;
}

void ForgetCameraStep() {
    CameraClock.StepMove = D3DVECTOR{};
    CameraClock.StepPitch = CameraClock.StepYaw = 0;
}

void ResetCameraClock() {
    CameraClock = CameraClockRecord{};
}
