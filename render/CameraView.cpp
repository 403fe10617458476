#include "core/Declarations.h"
#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "render/Camera.h"
#include "render/DeviceSetup.h"

void UpdateCamera() {
    StepCamera(CameraState);
    DX->ViewMatrix(ViewMatrix, CameraState.CameraPosition, CameraState.LookAtPoint,
                   CameraState.UpVector, 0);
    Device->SetTransform(D3DTRANSFORMSTATE_VIEW, ViewMatrix);
}
