// A started display (surfaces, no 3D device) on a headless 320 x 240 host.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/StartupResets.h"
#include "core/Declarations.h"
#include "display/Display.h"
#include "platform/host/HeadlessHost.h"

class DisplayFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        HeadlessOptions o;
        o.answerYes = false;
        host = std::make_unique<HeadlessHost>(o);
        SetActiveHost(host.get());
        DX = std::make_unique<DirectX7>(*host);
        ResetTables();
        StartDisplay();
    }
    void TearDown() override {
        ShutDownDisplay(PendingError{});
        SetActiveHost(nullptr);
    }
    std::unique_ptr<HeadlessHost> host;
};
