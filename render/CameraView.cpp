#include "core/Declarations.h"
#include "core/LoopState.h"
#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "render/Camera.h"
#include "render/DeviceSetup.h"

CameraStateRecord UpdateCamera() {
    AdvanceCamera(FrameUs);
    const CameraStateRecord view = ViewedCamera();
    DX->ViewMatrix(ViewMatrix, view.CameraPosition, view.LookAtPoint, view.UpVector, 0);
    Device->SetTransform(D3DTRANSFORMSTATE_VIEW, ViewMatrix);
    return view;
}
