#include <gtest/gtest.h>

#include <vector>

#include "app/MainLoop.h"
#include "platform/dx/D3DConstants.h"
#include "render/BlurEffect.h"
#include "render/DrawList.h"
#include "render/FrameRender.h"
#include "render/RenderState.h"
#include "resources/GeometrySets.h"
#include "resources/Surfaces.h"
#include "tests/support/FrameFixture.h"

namespace {

constexpr uint16_t kMarker = 0x07E0;  // pure green: no frame of this scene has it

// A red square in the middle of the frame, drawn every frame, and the world update's one
// rule for the effect: under water the state is 2, above it 0.
class BlurEffectTest : public FrameFixture {
  protected:
    void SetUp() override {
        FrameFixture::SetUp();
        LookAlongZ();
        EffectState = 0;
        EffectLevel = 0;
        FrameCount = 0;
        // As the scene set-up leaves it, and as the effect puts it back.
        Device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, -1);
        RenderScene();
        plain = Frame();
    }
    void TearDown() override {
        EffectState = 0;
        EffectLevel = 0;
        FrameCount = 0;
        FrameFixture::TearDown();
    }

    void RenderScene() {
        AddMeshItem({.y = 10,
                     .z = 5,
                     .setIndex = At(CommonSets, 0),
                     .partIndex = 1,
                     .sx = 2,
                     .sy = 2,
                     .sz = 2,
                     .colour = static_cast<int32_t>(0xFFFF0000u)});
        RenderFrame();
    }
    // One pass as the main loop runs it: the world's rule, the frame, the frame counter.
    void Pass(bool underWater) {
        EffectState = underWater ? 2 : 0;
        RenderScene();
        ++FrameCount;
    }
    void HoldKeys(bool ctrl, bool alt) {
        host->SetKey(vk::CONTROL, ctrl);
        host->SetKey(vk::MENU, alt);
    }
    static SurfaceRecord& Capture() { return TextureList.at(At(SpecialTextures, 2)); }
    static void MarkCapture() { Capture().Surface->BltColorFill(nullptr, kMarker); }
    static bool CaptureMarked() { return Capture().Surface->Row(50)[60] == kMarker; }
    bool Overlaid() const { return Frame() != plain; }

    std::vector<uint16_t> plain;
};

TEST_F(BlurEffectTest, AboveWaterCtrlAndAltShowTheTrailInThatFrameOnly) {
    HoldKeys(true, true);
    Pass(false);
    EXPECT_EQ(EffectLevel, 32);
    EXPECT_TRUE(Overlaid());
    // The capture starts black: the frame is darkened to a quarter and nothing added.
    EXPECT_NEAR(Pixel(160, 120) >> 11, (plain[120 * 320 + 160] >> 11) / 4, 1);

    HoldKeys(false, false);
    Pass(false);
    EXPECT_FALSE(Overlaid());
}

TEST_F(BlurEffectTest, UnderWaterWithCtrlHeldTheTrailFadesThenEveryFrameIsCopied) {
    Pass(true);
    EXPECT_EQ(EffectLevel, 32);
    EXPECT_TRUE(Overlaid());

    HoldKeys(true, false);
    struct Step {
        int level;
        bool drawn;
    };
    const std::vector<Step> steps = {{28, true}, {24, true}, {20, true}, {16, false}, {12, false},
                                     {8, false}, {4, false}, {0, true},  {0, true},   {0, true}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.level);
        Pass(true);
        EXPECT_EQ(EffectLevel, s.level);
        EXPECT_EQ(Overlaid(), s.drawn);
    }
    EXPECT_EQ(EffectState, 0);  // reached 0: the next world update makes it 2 again

    HoldKeys(false, false);  // releasing Ctrl brings the full trail back at once
    Pass(true);
    EXPECT_EQ(EffectLevel, 32);
}

TEST_F(BlurEffectTest, TheTrailIsCapturedOnEvenFramesAndCopiedEveryFrameAtLevelZero) {
    HoldKeys(true, true);
    for (int frame = 0; frame < 4; ++frame) {
        SCOPED_TRACE(frame);
        MarkCapture();
        Pass(false);
        EXPECT_EQ(CaptureMarked(), frame % 2 != 0);
    }

    // At level 0 (under water, Ctrl held long enough) the frame is copied every time.
    HoldKeys(true, false);
    EffectLevel = 0;
    for (int frame = 0; frame < 2; ++frame) {
        MarkCapture();
        Pass(true);
        EXPECT_EQ(EffectLevel, 0);
        EXPECT_FALSE(CaptureMarked());
    }
}

TEST_F(BlurEffectTest, TheStateCacheTellsTheTruthAfterTheEffect) {
    auto expectCacheMatchesDevice = [] {
        EXPECT_EQ(StateCache.SrcBlend, Device->GetRenderState(D3DRENDERSTATE_SRCBLEND));
        EXPECT_EQ(StateCache.DestBlend, Device->GetRenderState(D3DRENDERSTATE_DESTBLEND));
        EXPECT_EQ(StateCache.AlphaBlendEnable,
                  Device->GetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE));
        const SurfacePtr bound = Device->GetTexture(0);
        if (StateCache.StageTexture == -1) {
            EXPECT_EQ(bound, nullptr);
        } else {
            EXPECT_EQ(bound, TextureList.at(StateCache.StageTexture).Surface);
        }
        EXPECT_NE(Device->GetRenderState(D3DRENDERSTATE_LIGHTING), 0);
        EXPECT_NE(Device->GetRenderState(D3DRENDERSTATE_DITHERENABLE), 0);
    };
    HoldKeys(true, true);
    Pass(false);  // drawn: adding with the capture texture bound
    expectCacheMatchesDevice();

    // Capture only: the effect binds nothing, and the square's own states stay in force.
    HoldKeys(true, false);
    EffectLevel = 12;
    Pass(true);
    EXPECT_EQ(EffectLevel, 8);
    expectCacheMatchesDevice();
    EXPECT_EQ(StateCache.StageTexture, -1);
}

}  // namespace
