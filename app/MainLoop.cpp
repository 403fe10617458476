#include "app/MainLoop.h"

#include "app/World.h"
#include "core/Declarations.h"
#include "core/Random.h"
#include "display/Display.h"
#include "platform/dx/DirectDraw.h"
#include "platform/host/Host.h"
#include "render/FrameRender.h"

void AdvancePauseState() {
    // Each rule reads the key afresh; at most one fires per pass.
    if (PauseState == 0 && KeyDown(KeyP)) {
        PauseState = 1;
    } else if (PauseState == 1 && KeyReleased(KeyP)) {
        PauseState = 2;
    } else if (PauseState == 2 && KeyDown(KeyP)) {
        PauseState = 3;
    } else if (PauseState == 3 && KeyReleased(KeyP)) {
        PauseState = 0;
    }
}

void UpdateFrameTimer() {
    const uint32_t now = ActiveHost().GetTickCount();
    FrameCount += 1;
    // Unsigned subtraction keeps the true elapsed time across the 32-bit wrap.
    FrameMs = static_cast<int32_t>(now - static_cast<uint32_t>(LastTick));
    LastTick = static_cast<int32_t>(now);
    FrameScale = static_cast<float>(static_cast<double>(SpeedFactor) * FrameMs);
}

void RunMainLoop() {
    Host& host = ActiveHost();
    Randomize();
    LastTick = static_cast<int32_t>(host.GetTickCount());
    FrameCount = 0;
    host.DoEvents();
    for (;;) {
        AdvancePauseState();
        UpdateFrameTimer();
        CursorPos = host.GetCursorPos();
        UpdateWorld();
        RenderFrame();
        PrimarySurface->Flip(nullptr, DDFLIP_WAIT);
        host.DoEvents();
        if (KeyDown(vk::ESCAPE)) break;
    }
}

void ResetMainLoopState() {
    FrameCount = 0;
    LastTick = 0;
    FrameMs = 0;
    FrameScale = 0;
    PauseState = 0;
    CursorPos = POINTAPI{};
}
