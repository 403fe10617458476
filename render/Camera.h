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

// Samples the keys, moves the camera and sets the device's view matrix.
void UpdateCamera();
// The position, angles and look-at point advanced by one frame of the keys; no device calls.
void StepCamera(CameraStateRecord& camera);
