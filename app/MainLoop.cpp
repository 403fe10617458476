#include "app/MainLoop.h"

#include "app/World.h"
#include "core/Declarations.h"
#include "core/Random.h"
#include "display/Display.h"
#include "platform/dx/DirectDraw.h"
#include "platform/host/Host.h"
#include "render/FrameRender.h"

void AdvancePauseState() {
    // Each rule reads the key afresh, whatever the state, until one fires: up to four reads a
    // pass. A read clears the key's "pressed since" bit, so a quick tap seen by an earlier
    // rule's read already counts as released for a later rule in the same pass.
    if (KeyDown(KeyP) && PauseState == 0) {
        PauseState = 1;
    } else if (KeyReleased(KeyP) && PauseState == 1) {
        PauseState = 2;
    } else if (KeyDown(KeyP) && PauseState == 2) {
        PauseState = 3;
    } else if (KeyReleased(KeyP) && PauseState == 3) {
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
    const uint64_t nowUs = ActiveHost().TickMicroseconds();
    FrameUs = static_cast<int64_t>(nowUs - LastTickUs);
    LastTickUs = nowUs;
}

void RunMainLoop() {
    Host& host = ActiveHost();
    Randomize();
    LastTick = static_cast<int32_t>(host.GetTickCount());
    LastTickUs = host.TickMicroseconds();
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
    LastTickUs = 0;
    FrameUs = 0;
    PauseState = 0;
    CursorPos = POINTAPI{};
}
