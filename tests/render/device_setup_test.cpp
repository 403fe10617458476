// The state every frame starts from, as the device is left after its set-up.
#include <gtest/gtest.h>

#include <cmath>

#include "render/Camera.h"
#include "render/DeviceSetup.h"
#include "render/RenderGlobals.h"
#include "tests/support/DeviceFixture.h"

namespace {

using DeviceSetup = DeviceFixture;

void ExpectColour(const D3DCOLORVALUE& c, float r, float g, float b, float a) {
    EXPECT_FLOAT_EQ(c.r, r);
    EXPECT_FLOAT_EQ(c.g, g);
    EXPECT_FLOAT_EQ(c.b, b);
    EXPECT_FLOAT_EQ(c.a, a);
}

TEST_F(DeviceSetup, ViewportPixelScaleAndDepthBufferFitTheSmallScreen) {
    D3DVIEWPORT7 v;
    Device->GetViewport(v);
    EXPECT_EQ(v.lX, 0);
    EXPECT_EQ(v.lY, 0);
    EXPECT_EQ(v.lWidth, 320);
    EXPECT_EQ(v.lHeight, 240);
    EXPECT_FLOAT_EQ(v.minz, 0.0f);
    EXPECT_FLOAT_EQ(v.maxz, 1.0f);
    EXPECT_EQ(ClearRect.x2, 320);
    EXPECT_EQ(ClearRect.y2, 240);
    EXPECT_FLOAT_EQ(PixelScale, 0.00625f);
    EXPECT_EQ(ZBuffer->Width(), 320);
    EXPECT_EQ(ZBuffer->Height(), 240);
    EXPECT_EQ(Device->GetRenderTarget(), BackBuffer);
}

TEST_F(DeviceSetup, SunAndDarkeningLightAreOn) {
    D3DLIGHT7 sun, dark;
    Device->GetLight(0, sun);
    Device->GetLight(1, dark);
    EXPECT_TRUE(Device->GetLightEnable(0));
    EXPECT_TRUE(Device->GetLightEnable(1));

    EXPECT_EQ(sun.dltType, D3DLIGHT_DIRECTIONAL);
    ExpectColour(sun.diffuse, 4.0f, 2.2f, 0.75f, 0);
    ExpectColour(sun.ambient, 0.75f, 0.6f, 0.5f, 0);
    // (0.5, 0.25, -0.75) made unit length.
    const float n = std::sqrt(0.5f * 0.5f + 0.25f * 0.25f + 0.75f * 0.75f);
    EXPECT_NEAR(sun.direction.x, 0.5f / n, 1e-6);
    EXPECT_NEAR(sun.direction.y, 0.25f / n, 1e-6);
    EXPECT_NEAR(sun.direction.z, -0.75f / n, 1e-6);

    EXPECT_EQ(dark.dltType, D3DLIGHT_POINT);
    ExpectColour(dark.ambient, -0.4f, -0.9f, -1.2f, 0);
    EXPECT_FLOAT_EQ(dark.position.x, 27);
    EXPECT_FLOAT_EQ(dark.position.y, 6);
    EXPECT_FLOAT_EQ(dark.position.z, -17.5f);
    EXPECT_FLOAT_EQ(dark.range, 4);
    EXPECT_FLOAT_EQ(dark.attenuation0, 0);
    EXPECT_FLOAT_EQ(dark.attenuation1, 1);
    EXPECT_FLOAT_EQ(dark.attenuation2, 0);
}

TEST_F(DeviceSetup, RenderStatesFogAndFiltersAreTheFramesStartingPoint) {
    const auto state = [](int32_t s) { return Device->GetRenderState(s); };
    EXPECT_EQ(state(D3DRENDERSTATE_SHADEMODE), D3DSHADE_GOURAUD);
    EXPECT_EQ(state(D3DRENDERSTATE_SPECULARENABLE), 0);
    EXPECT_EQ(state(D3DRENDERSTATE_LIGHTING), -1);
    EXPECT_EQ(static_cast<uint32_t>(state(D3DRENDERSTATE_AMBIENT)), 0x00333333u);
    EXPECT_EQ(state(D3DRENDERSTATE_ZENABLE), 1);
    EXPECT_EQ(state(D3DRENDERSTATE_CLIPPING), -1);
    // Then the cached setters: blending on, ONE:ONE, no texture, vertex colours used. Their
    // cache starts at 0, so turning the colour key off is taken as already done: the device
    // keeps it on until an item asks for it.
    EXPECT_EQ(state(D3DRENDERSTATE_COLORKEYENABLE), -1);
    EXPECT_EQ(StateCache.ColorKeyEnable, 0);
    EXPECT_EQ(state(D3DRENDERSTATE_ALPHABLENDENABLE), -1);
    EXPECT_EQ(state(D3DRENDERSTATE_SRCBLEND), D3DBLEND_ONE);
    EXPECT_EQ(state(D3DRENDERSTATE_DESTBLEND), D3DBLEND_ONE);
    EXPECT_EQ(Device->GetTexture(0), nullptr);
    EXPECT_EQ(state(D3DRENDERSTATE_COLORVERTEX), -1);
    EXPECT_EQ(Device->GetTextureStageState(0, D3DTSS_MAGFILTER), D3DTFG_LINEAR);
    EXPECT_EQ(Device->GetTextureStageState(0, D3DTSS_MINFILTER), D3DTFN_LINEAR);
    EXPECT_EQ(Device->GetTextureStageState(0, D3DTSS_COLOROP), D3DTOP_MODULATE);

    // Linear range fog from 28 to 32 in the sky's blue, which also clears the frame.
    EXPECT_EQ(state(D3DRENDERSTATE_FOGENABLE), -1);
    EXPECT_EQ(static_cast<uint32_t>(state(D3DRENDERSTATE_FOGCOLOR)), 0xFF5F83CCu);
    EXPECT_EQ(static_cast<uint32_t>(BackgroundColor), 0xFF5F83CCu);
    EXPECT_EQ(state(D3DRENDERSTATE_FOGVERTEXMODE), D3DFOG_LINEAR);
    EXPECT_EQ(state(D3DRENDERSTATE_FOGSTART), FloatBits(28.0f));
    EXPECT_EQ(state(D3DRENDERSTATE_FOGEND), FloatBits(32.0f));
    EXPECT_EQ(state(D3DRENDERSTATE_RANGEFOGENABLE), -1);
}

TEST_F(DeviceSetup, TransformsAndTheCameraStartLookingAlongZ) {
    D3DMATRIX m;
    Device->GetTransform(D3DTRANSFORMSTATE_PROJECTION, m);
    EXPECT_FLOAT_EQ(m.rc11, 1.5f);
    EXPECT_FLOAT_EQ(m.rc22, 2.0f);
    EXPECT_FLOAT_EQ(m.rc33, 1.02f);
    EXPECT_FLOAT_EQ(m.rc34, 1.0f);
    EXPECT_FLOAT_EQ(m.rc43, -1.0f);
    EXPECT_FLOAT_EQ(m.rc44, 0.0f);
    Device->GetTransform(D3DTRANSFORMSTATE_VIEW, m);
    EXPECT_FLOAT_EQ(m.rc11, 1);
    EXPECT_FLOAT_EQ(m.rc22, 1);
    EXPECT_FLOAT_EQ(m.rc33, 1);
    EXPECT_FLOAT_EQ(m.rc41, 0);
    Device->GetTransform(D3DTRANSFORMSTATE_WORLD, m);
    EXPECT_FLOAT_EQ(m.rc11, 1);
    EXPECT_FLOAT_EQ(m.rc41, 0);
    EXPECT_FLOAT_EQ(RenderWorldMatrix.rc44, 1);

    EXPECT_FLOAT_EQ(CameraState.CameraPosition.y, 4);
    EXPECT_FLOAT_EQ(CameraState.Yaw, 55);
    EXPECT_FLOAT_EQ(CameraState.UpVector.y, 1);
    EXPECT_FLOAT_EQ(DefaultCameraState.Yaw, 55);
    EXPECT_FLOAT_EQ(DefaultCameraState.CameraPosition.y, 4);
}

}  // namespace
