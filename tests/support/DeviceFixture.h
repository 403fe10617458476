// A started display with the 3D device set up, on a headless host, for tests that draw.
#pragma once

#include <gtest/gtest.h>

#include "app/StartupResets.h"
#include "core/Declarations.h"
#include "display/Display.h"
#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "platform/host/HeadlessHost.h"
#include "render/DeviceSetup.h"
#include "render/RenderState.h"

class DeviceFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        HeadlessOptions o;
        o.answerYes = false;  // 320 x 240 keeps the tests quick
        host = std::make_unique<HeadlessHost>(o);
        SetActiveHost(host.get());
        StateCache = RenderStateCache{};
        DX = std::make_unique<DirectX7>(*host);
        ResetTables();
        StartDisplay();
        SetUpDevice();
    }
    void TearDown() override {
        ShutDownDisplay(PendingError{});
        SetActiveHost(nullptr);
    }
    uint16_t Pixel(int x, int y) const { return BackBuffer->Row(y)[x]; }

    std::unique_ptr<HeadlessHost> host;
};
