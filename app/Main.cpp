#include "app/Main.h"

#include <unistd.h>

#include <climits>
#include <new>

#include "app/Declarations.h"
#include "app/MainLoop.h"
#include "app/Random.h"
#include "app/World.h"
#include "display/DeviceSetup.h"
#include "display/Display.h"
#include "errors/RuntimeError.h"
#include "platform/dx/DxError.h"
#include "platform/host/Host.h"
#include "render/BlurEffect.h"
#include "render/Camera.h"
#include "render/FrameRender.h"
#include "render/PointerHistory.h"
#include "render/RenderGlobals.h"
#include "render/RenderState.h"
#include "resources/AssetLoading.h"
#include "sound/Sound.h"
#include "window/EditorOverlay.h"
#include "window/XForm.h"

std::string ExecutableFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "./";
    std::string path(buffer, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    // The separator is appended unconditionally, so the root folder gives "//", which still
    // names the same place.
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/";
}

void ResetRunState() {
    ResetRandom();
    ResetMainLoopState();
    ResetWorldState();
    StateCache = RenderStateCache{};
    CameraState = CameraStateRecord{};
    DefaultCameraState = CameraStateRecord{};
    EffectState = 0;
    EffectLevel = 0;
    FillModeSetting = 0;
    WireframePasses = 0;
    BackgroundItemDistance = 0;
    PointerPosition = D3DVECTOR{};
    PreviousPointerPosition = D3DVECTOR{};
    EditorOverlayVisible = false;
}

int Main() {
    Host& host = ActiveHost();
    ResetRunState();
    RandomizeWith(host.Timer());
    host.SetWindowEvents(&TheForm());

    PendingError error;
    try {
        ParticleDrift = D3DVECTOR{0.001f, 0.0f, 0.004f};
        SpeedFactor = 0.04f;
        AppPath = ExecutableFolder();
        DX = std::make_unique<DirectX7>(host);
        StartDisplay();
        while (host.ShowCursor(false) >= 0) {
        }
        SetUpDevice();
        SetUpSound();
        host.DoEvents();
        LoadAssets();
        PrimaryBuffer->Play(DSBPLAY_LOOPING);
        RunMainLoop();
        PrimaryBuffer->Stop();
    } catch (const DxError& e) {
        error = PendingError{true, e.Number(), e.what()};
    } catch (const RuntimeError& e) {
        error = PendingError{true, e.Number(), e.Description()};
    } catch (const std::bad_alloc&) {
        error = PendingError{true, rt::OutOfMemory, StandardErrorDescription(rt::OutOfMemory)};
    }

    while (host.ShowCursor(true) < 0) {
    }
    const int status = ShutDownDisplay(error);
    host.SetWindowEvents(nullptr);
    return status;
}
