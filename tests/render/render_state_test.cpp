#include <gtest/gtest.h>

#include "render/RenderState.h"
#include "tests/support/DeviceFixture.h"

namespace {

class RenderStateTest : public DeviceFixture {};

TEST_F(RenderStateTest, CachedSettersSkipEqualValues) {
    // Fog colour 0 at start equals the cache: the device is not touched.
    StateCache.FogColor = 0;
    Device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, 1234);
    SetFogColorAndDepthWrite(0);
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_FOGCOLOR), 1234);
    // A new colour goes through and ties depth writes to it.
    SetFogColorAndDepthWrite(BackgroundColor);
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_FOGCOLOR), BackgroundColor);
    EXPECT_NE(Device->GetRenderState(D3DRENDERSTATE_ZWRITEENABLE), 0);
    SetFogColorAndDepthWrite(0);
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_ZWRITEENABLE), 0);

    SetBlendFactors(5, 6);
    Device->SetRenderState(D3DRENDERSTATE_DESTBLEND, 1);
    SetBlendFactors(5, 6);  // unchanged pair: no call, the device keeps the foreign value
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_DESTBLEND), 1);
    SetBlendFactors(2, 6);
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_SRCBLEND), 2);

    SetVertexColorMode(0);
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_AMBIENTMATERIALSOURCE), D3DMCS_MATERIAL);
    SetVertexColorMode(-1);
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_AMBIENTMATERIALSOURCE), D3DMCS_COLOR1);
    SetTextureFilter(1);
    EXPECT_EQ(Device->GetTextureStageState(0, D3DTSS_MINFILTER), 1);
}

}  // namespace
