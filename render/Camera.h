// The free-flying first-person camera: arrow keys turn and pitch, A and Z fly, Alt turns the
// arrows into strafing and climbing. Amounts are per frame, not scaled by the frame time.
#pragma once

#include "platform/dx/DxTypes.h"

struct CameraStateRecord {
    D3DVECTOR CameraPosition;
    D3DVECTOR LookAtPoint;
    D3DVECTOR UpVector;
    float ClimbSpeed = 0;
    float MoveSpeed = 0;
    float PitchSpeed = 0;
    float TurnSpeed = 0;
    float Pitch = 0;  // degrees, -90 to 90
    float Yaw = 0;    // degrees, 0 to 360
    float Roll = 0;
};

inline CameraStateRecord CameraState;
inline CameraStateRecord DefaultCameraState;  // what TAB restores

// The camera steps at a fixed 25 ms of measured time, each step the same amounts, so a flight
// feels the same at any refresh rate; frames are drawn between the last two steps. With one
// 25 ms frame per step (the headless default) every frame is drawn at a step exactly. Time is
// counted in microseconds, so that frames of 6.94 ms (144 Hz) each move the same.
constexpr int32_t kCameraStepUs = 25000;
constexpr int32_t kMaxCameraStepsPerFrame = 8;  // a stall is not flown through afterwards

struct CameraClockRecord {
    bool Started = false;
    int32_t LeadUs = 0;    // how far the last step lies ahead of the frame's time, 0 to 24999
    D3DVECTOR StepMove{};  // what the last step changed
    float StepPitch = 0;
    float StepYaw = 0;
};

inline CameraClockRecord CameraClock;

// Runs the steps due by this frame (FrameUs after the previous one), samples the keys for
// each, sets the device's view matrix from the camera as drawn, and returns that camera.
CameraStateRecord UpdateCamera();
// The position, angles and look-at point advanced by one step of the keys; no device calls.
void StepCamera(CameraStateRecord& camera);
// The steps of elapsedUs (at least one on the first call); no device calls.
void AdvanceCamera(int64_t elapsedUs);
// The camera as this frame shows it: CameraState moved back along its last step by the part
// of the step that lies ahead of the frame's time. Until the next frame moves the camera on,
// this is the camera drawn last: what the world's under-water state, ripple, sun and
// particles follow, so that they never run ahead of the eye.
CameraStateRecord ViewedCamera();
// Its position and yaw alone (the same values, without working out the look-at point).
D3DVECTOR ViewedPosition();
float ViewedYaw();
// After the camera is put somewhere new (TAB): nothing to draw between.
void ForgetCameraStep();
void ResetCameraClock();
