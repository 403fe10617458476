#include "app/Main.h"

#include <climits>
#include <exception>
#include <new>
#include <string>

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
#include "platform/host/System.h"
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
    return ExecutableFolderOfProcess();
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
    } catch (const std::exception& e) {
        // Anything else (the host losing its window or renderer, say) still takes the one
        // shutdown path: the desktop and cursor come back and the message names what failed.
        const std::string what = e.what();
        error = PendingError{true, rt::InternalError,
                             what.empty() ? StandardErrorDescription(rt::InternalError) : what};
    } catch (...) {
        error = PendingError{true, rt::InternalError, StandardErrorDescription(rt::InternalError)};
    }

    while (host.ShowCursor(true) < 0) {
    }
    const int status = ShutDownDisplay(error);
    host.SetWindowEvents(nullptr);
    return status;
}
