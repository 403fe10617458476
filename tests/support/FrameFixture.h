// A started 320 x 240 display and device with the generated archive loaded the way start-up
// loads it, for tests that render frames from the real content.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/AssetLoading.h"
#include "core/Declarations.h"
#include "platform/dx/DirectDraw.h"
#include "render/Camera.h"
#include "resources/ScratchFile.h"
#include "tests/support/DeviceFixture.h"
#include "tests/support/ResourceTestSupport.h"

class FrameFixture : public DeviceFixture {
  protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        std::filesystem::copy_file(std::string(VELMORA_BINARY_DIR) + "/Data.kqx",
                                   dir.File("Data.kqx"));
        AppPath = dir.Folder();
        LoadAssets();
    }
    void TearDown() override {
        DeleteScratchFile();
        DeviceFixture::TearDown();
    }

    // The back buffer as a PNG in the build folder, for a person to look at.
    static void Save(const std::string& name) {
        WritePng565(std::string(VELMORA_BINARY_DIR) + "/frame-" + name + ".png",
                    BackBuffer->Pixels(), BackBuffer->Width(), BackBuffer->Height(),
                    BackBuffer->Pitch());
    }

    // What a clear to the background colour leaves: each channel cut to its 565 bits.
    static uint16_t BackgroundPixel() {
        const auto c = static_cast<uint32_t>(BackgroundColor);
        return static_cast<uint16_t>((((c >> 19) & 0x1F) << 11) | (((c >> 10) & 0x3F) << 5) |
                                     ((c >> 3) & 0x1F));
    }

    // The camera at (0, 10, 0) looking along +z.
    static void LookAlongZ() {
        CameraState.CameraPosition = D3DVECTOR{0, 10, 0};
        CameraState.Yaw = 90;
        CameraState.Pitch = 0;
    }
    // Where a point ahead of that camera, x across, y up from the eye, z ahead, lands on the
    // 320 x 240 frame.
    static int ScreenX(float x, float z) { return static_cast<int>(160 + 160 * 1.5f * x / z); }
    static int ScreenY(float y, float z) { return static_cast<int>(120 - 120 * 2.0f * y / z); }

    bool Drawn(int x, int y) const { return Pixel(x, y) != BackgroundPixel(); }
    int DrawnCount() const {
        int n = 0;
        for (int y = 0; y < RenderHeight; ++y)
            for (int x = 0; x < RenderWidth; ++x) n += Drawn(x, y);
        return n;
    }
    static std::vector<uint16_t> Frame() {
        return {BackBuffer->Pixels(), BackBuffer->Pixels() + RenderWidth * RenderHeight};
    }
    static std::vector<uint16_t> Depth() {
        const SurfacePtr depth = BackBuffer->AttachedDepth();
        return {depth->Pixels(), depth->Pixels() + RenderWidth * RenderHeight};
    }
    // Pixels changed between two frames that lie more than a pixel away from anything the
    // first frame drew (the fill convention leaves the right and bottom edges to lines).
    int ChangedAwayFromDrawing(const std::vector<uint16_t>& before,
                               const std::vector<uint16_t>& after, int& changed) const {
        auto drawnNear = [&](int x, int y) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (before[static_cast<size_t>((y + dy) * RenderWidth + x + dx)] !=
                        BackgroundPixel())
                        return true;
            return false;
        };
        int away = 0;
        changed = 0;
        for (int y = 1; y + 1 < RenderHeight; ++y) {
            for (int x = 1; x + 1 < RenderWidth; ++x) {
                const size_t i = static_cast<size_t>(y * RenderWidth + x);
                if (after[i] == before[i]) continue;
                ++changed;
                away += !drawnNear(x, y);
            }
        }
        return away;
    }

    TempDir dir;
};
