#include "app/Main.h"

#include <unistd.h>

#include <climits>
#include <new>

#include "app/AssetLoading.h"
#include "app/MainLoop.h"
#include "app/StartupResets.h"
#include "app/World.h"
#include "core/Declarations.h"
#include "core/Random.h"
#include "core/RuntimeError.h"
#include "display/Display.h"
#include "platform/dx/DxError.h"
#include "platform/host/Host.h"
#include "render/BlurEffect.h"
#include "render/Camera.h"
#include "render/DeviceSetup.h"
#include "render/FrameRender.h"
#include "render/PointerHistory.h"
#include "render/RenderGlobals.h"
#include "render/RenderState.h"
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
        ResetTables();
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
