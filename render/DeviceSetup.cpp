#include "render/DeviceSetup.h"

#include "core/Declarations.h"
#include "display/Display.h"
#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "render/Camera.h"
#include "render/RenderState.h"

namespace {
constexpr int32_t kTrue = -1;
constexpr const char* kHalDevice = "IID_IDirect3DHALDevice";
}  // namespace

void SetUpDevice() {
    Direct3D = DirectDraw->GetDirect3D();
    DeviceEnum = Direct3D->GetDevicesEnum();

    // The first 16-bit depth format; without one the last format enumerated stays.
    ZBufferFormats = Direct3D->GetEnumZBufferFormats(kHalDevice);
    for (int32_t i = 1; i <= ZBufferFormats->GetCount(); ++i) {
        ZBufferFormats->GetItem(i, SurfaceDesc.ddpfPixelFormat);
        if (SurfaceDesc.ddpfPixelFormat.lFlags == DDPF_ZBUFFER &&
            SurfaceDesc.ddpfPixelFormat.lRGBBitCount == 16) {
            break;
        }
    }
    SurfaceDesc.lFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    SurfaceDesc.ddsCaps.lCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
    SurfaceDesc.lWidth = RenderWidth;
    SurfaceDesc.lHeight = RenderHeight;
    ZBuffer = DirectDraw->CreateSurface(SurfaceDesc);
    BackBuffer->AddAttachedSurface(ZBuffer);

    Device = Direct3D->CreateDevice(kHalDevice, BackBuffer);
    Device->SetRenderTarget(BackBuffer, 0);

    DDSURFACEDESC2 backDesc;
    BackBuffer->GetSurfaceDesc(backDesc);
    Viewport = D3DVIEWPORT7{0, 0, RenderWidth, RenderHeight, 0.0f, 1.0f};
    Device->SetViewport(Viewport);
    ClearRect = D3DRECT{0, 0, RenderWidth, RenderHeight};
    PixelScale = 2.0f / static_cast<float>(RenderWidth);

    SunLight = D3DLIGHT7{};
    SunLight.dltType = D3DLIGHT_DIRECTIONAL;
    SunLight.diffuse = D3DCOLORVALUE{4.0f, 2.2f, 0.75f, 0.0f};
    SunLight.ambient = D3DCOLORVALUE{0.75f, 0.6f, 0.5f, 0.0f};
    SunLight.direction = D3DVECTOR{0.5f, 0.25f, -0.75f};
    DX->VectorNormalize(SunLight.direction);
    Device->SetLight(0, SunLight);
    Device->LightEnable(0, true);

    // A darkening light: its negative ambient pulls colour out near the burning palm.
    SceneLight = D3DLIGHT7{};
    SceneLight.dltType = D3DLIGHT_POINT;
    SceneLight.ambient = D3DCOLORVALUE{-0.4f, -0.9f, -1.2f, 0.0f};
    SceneLight.position = D3DVECTOR{27.0f, 6.0f, -17.5f};
    SceneLight.range = 4.0f;
    SceneLight.attenuation0 = 0.0f;
    SceneLight.attenuation1 = 1.0f;
    SceneLight.attenuation2 = 0.0f;
    Device->SetLight(1, SceneLight);
    Device->LightEnable(1, true);

    SceneMaterial = D3DMATERIAL7{};
    SceneMaterial.diffuse = D3DCOLORVALUE{1, 1, 1, 1};
    SceneMaterial.ambient = D3DCOLORVALUE{1, 1, 1, 1};

    Device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    Device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, 0);
    Device->SetRenderState(D3DRENDERSTATE_LIGHTING, kTrue);
    Device->SetRenderState(D3DRENDERSTATE_AMBIENT, DX->CreateColorRGBA(0.2f, 0.2f, 0.2f, 0.0f));
    Device->SetRenderState(D3DRENDERSTATE_ZENABLE, 1);
    Device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, kTrue);
    Device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, kTrue);
    Device->SetRenderState(D3DRENDERSTATE_CLIPPING, kTrue);
    SetColorKeyEnable(0);
    SetAlphaBlendEnable(kTrue);
    SetBlendFactors(D3DBLEND_ONE, D3DBLEND_ONE);
    SetStageTexture(-1);
    SetVertexColorMode(kTrue);
    Device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    Device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);

    DX->IdentityMatrix(WorldMatrix);
    DX->IdentityMatrix(ViewMatrix);
    DX->IdentityMatrix(ProjectionMatrix);
    ProjectionMatrix = MakeMatrix(1.5f, 0, 0, 0, 0, 2.0f, 0, 0, 0, 0, 1.02f, 1.0f, 0, 0, -1.0f, 0);
    DX->ViewMatrix(ViewMatrix, D3DVECTOR{0, 0, 0}, D3DVECTOR{0, 0, 1}, D3DVECTOR{0, 1, 0}, 0);

    CameraState = CameraStateRecord{};
    CameraState.CameraPosition = D3DVECTOR{0, 4, 0};
    CameraState.UpVector = D3DVECTOR{0, 1, 0};
    CameraState.Yaw = 55;
    DefaultCameraState = CameraState;
    ResetCameraClock();

    Device->SetTransform(D3DTRANSFORMSTATE_WORLD, WorldMatrix);
    Device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, ProjectionMatrix);
    Device->SetTransform(D3DTRANSFORMSTATE_VIEW, ViewMatrix);
    RenderWorldMatrix = WorldMatrix;

    const int32_t fogColour = static_cast<int32_t>(0xFF5F83CCu);
    SetFog(fogColour, D3DFOG_LINEAR, kTrue, 28.0f, 32.0f, 0.0f);
}
