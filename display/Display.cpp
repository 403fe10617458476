#include "display/Display.h"

#include <vector>

#include "core/Declarations.h"
#include "core/clsDX7Err.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/DxError.h"
#include "platform/host/Host.h"
#include "resources/ModelBuffers.h"
#include "resources/Surfaces.h"
#include "sound/Sound.h"

void StartDisplay() {
    Host& host = ActiveHost();

    const int answer = host.MsgBox("Yes for Hi-res(640x480),No for Lo-res(320x240)",
                                   vbYesNo | vbInformation, "Velmora");
    if (answer == vbYes) {
        RenderWidth = 640;
        RenderHeight = 480;
    } else {
        RenderWidth = 320;
        RenderHeight = 240;
    }

    // The desktop as the user saw it, before the screen changes mode.
    GdiDC* screen = GetDC(0);
    DesktopDC = CreateCompatibleDC(screen);
    DesktopBitmap = CreateCompatibleBitmap(screen, RenderWidth, RenderHeight);
    DeleteObject(SelectObject(DesktopDC, DesktopBitmap));
    BitBlt(DesktopDC, 0, 0, RenderWidth, RenderHeight, screen, 0, 0, SRCCOPY);
    ReleaseDC(0, screen);

    ScreenRect = RECT{0, 0, RenderWidth, RenderHeight};

    DirectDraw = DX->DirectDrawCreate("");
    DirectDraw->GetCaps(HardwareCaps, EmulationCaps);

    host.ShowWindow();
    host.DoEvents();

    DirectDraw->SetCooperativeLevel(WindowHandle,
                                    DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE);
    DirectDraw->SetDisplayMode(RenderWidth, RenderHeight, 16, 0, 0);

    SurfaceDesc = DDSURFACEDESC2{};
    SurfaceDesc.lFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    SurfaceDesc.lBackBufferCount = 1;
    SurfaceDesc.ddsCaps.lCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    PrimarySurface = DirectDraw->CreateSurface(SurfaceDesc);

    DDSCAPS2 caps;
    caps.lCaps = DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE;
    SurfaceDesc.lFlags = DDSD_CAPS;
    SurfaceDesc.lBackBufferCount = 0;
    BackBuffer = PrimarySurface->GetAttachedSurface(caps);
    BackBuffer->SetForeColor(0x00FF00);

    PrimarySurface->GetPixelFormat(SurfaceDesc.ddpfPixelFormat);

    GammaControl = PrimarySurface->GetDirectDrawGammaControl();
    GammaControl->GetGammaRamp(0, GammaRamp);
    GammaControl->SetGammaRamp(0, GammaRamp);

    std::vector<SurfaceFrame> frames(3);
    frames[0] = SurfaceFrame{0, 0, RenderWidth, RenderHeight, 0, 0};
    frames[1] = SurfaceFrame{320, 0, RenderHeight, RenderHeight, 0, 0};
    frames[2] = SurfaceFrame{0, 240, 320, RenderHeight, 0, 0};
    int32_t width = RenderWidth, height = RenderHeight;
    const int32_t slot =
        LoadSurface("", frames, width, height, DDSCAPS_SYSTEMMEMORY, -1, "BGF1", -1);

    DirectDrawSurface7& bgf1 = *SpriteSurfaceList[static_cast<size_t>(slot)].Surface;
    GdiDC* dc = bgf1.GetDC();
    BitBlt(dc, 0, 0, RenderWidth, RenderHeight, DesktopDC, 0, 0, SRCCOPY);
    bgf1.ReleaseDC(dc);
    DeleteDC(DesktopDC);
    DeleteObject(DesktopBitmap);
    DesktopDC = nullptr;
    DesktopBitmap = nullptr;
}

namespace {

void ReleaseList(std::vector<SurfaceRecord>& list) {
    for (SurfaceRecord& record : list) {
        if (record.Surface) record.Surface->Release();
        record.Surface.reset();
    }
}

}  // namespace

void ReleaseDevice() {
    Device.reset();
    DeviceEnum.reset();
    ZBufferFormats.reset();
    Direct3D.reset();
    ZBuffer.reset();
}

int ShutDownDisplay(const PendingError& error) {
    Host& host = ActiveHost();
    // A start-up that failed half-way leaves some of these unset; release what exists.
    // A failure while handing the screen back must not hide the error being reported.
    if (DirectDraw) {
        try {
            DirectDraw->RestoreDisplayMode();
            DirectDraw->SetCooperativeLevel(WindowHandle, DDSCL_NORMAL);
        } catch (const DxError&) {
        }
    }
    ReleaseList(SpriteSurfaceList);
    ReleaseList(TextureList);
    ReleaseModelBuffers();
    if (DesktopDC != nullptr) DeleteDC(DesktopDC);
    if (DesktopBitmap != nullptr) DeleteObject(DesktopBitmap);
    DesktopDC = nullptr;
    DesktopBitmap = nullptr;
    if (BackBuffer) BackBuffer->Release();
    BackBuffer.reset();
    if (PrimarySurface) PrimarySurface->Release();
    PrimarySurface.reset();
    ReleaseDevice();
    GammaControl.reset();
    DirectDraw.reset();
    ReleaseSound();
    DX.reset();
    host.HideWindow();

    if (!error.pending) return 0;
    const ErrorMessage message = DescribeError(error.number, error.description);
    host.MsgBox(message.text, vbOKOnly | vbCritical, message.title);
    return 1;
}
