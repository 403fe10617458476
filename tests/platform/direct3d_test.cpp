// The Direct3D object, the device's states and checks, and vertex buffers: set-up as the
// program does it, Direct3D 7's defaults, the error numbers of failing calls, and what
// ProcessVertices writes.
#include "platform/dx/Direct3D.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/clsDX7Err.h"
#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxError.h"
#include "platform/dx/DxErrorCodes.h"
#include "platform/host/HeadlessHost.h"

namespace {

#define EXPECT_DX_ERROR(statement, number)                                   \
    do {                                                                     \
        try {                                                                \
            statement;                                                       \
            ADD_FAILURE() << #statement " did not throw";                    \
        } catch (const DxError& e) {                                         \
            EXPECT_EQ(e.Number(), number) << #statement << ": " << e.what(); \
        }                                                                    \
    } while (false)

// A perspective projection with the near plane at 1 and w the view's z.
D3DMATRIX TestProjection() {
    D3DMATRIX projection;
    projection.rc11 = 1.5f;
    projection.rc22 = 2.0f;
    projection.rc33 = 1.02f;
    projection.rc34 = 1.0f;
    projection.rc43 = -1.0f;
    return projection;
}

class Direct3DTest : public ::testing::Test {
  protected:
    SurfacePtr Surface(int w, int h, int32_t caps) {
        DDSURFACEDESC2 d;
        d.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.lCaps = caps;
        d.lWidth = w;
        d.lHeight = h;
        return dd.CreateSurface(d);
    }

    // The device set-up the program performs: enumerate depth formats, take the first 16-bit
    // one, create the depth surface with flags 0x1007 and caps 0x24000, attach it, create the
    // hardware device on the target.
    std::shared_ptr<Direct3DDevice7> MakeDevice(const SurfacePtr& target) {
        auto formats = d3d->GetEnumZBufferFormats("IID_IDirect3DHALDevice");
        DDSURFACEDESC2 z;
        for (int i = 1; i <= formats->GetCount(); ++i) {
            formats->GetItem(i, z.ddpfPixelFormat);
            if (z.ddpfPixelFormat.lFlags == DDPF_ZBUFFER &&
                z.ddpfPixelFormat.lZBufferBitDepth == 16) {
                break;
            }
        }
        z.lFlags = 0x1007;
        z.ddsCaps.lCaps = 0x24000;
        z.lWidth = target->Width();
        z.lHeight = target->Height();
        target->AddAttachedSurface(dd.CreateSurface(z));
        return d3d->CreateDevice("IID_IDirect3DHALDevice", target);
    }

    // The vertices through ProcessVertices from a buffer of D3DVERTEX (0x152) into entries
    // at.. of a buffer of 0x2C4 vertices (40 bytes each), which hold `capacity`; their bytes.
    std::vector<std::byte> Processed(Direct3DDevice7& device, const D3DVERTEX* v, int32_t count,
                                     int32_t at, int32_t capacity) {
        D3DVERTEXBUFFERDESC desc;
        desc.lFVF = 338;
        desc.lNumVertices = capacity;
        auto source = d3d->CreateVertexBuffer(desc, 0);
        desc.lFVF = 708;
        auto processed = d3d->CreateVertexBuffer(desc, 0);
        source->Lock(33);
        source->SetVertices(0, count, v);
        source->Unlock();
        processed->ProcessVertices(1029, at, count, *source, 0, device, 0);
        std::vector<std::byte> out(static_cast<size_t>(count) * 40);
        processed->Lock(DDLOCK_READONLY);
        processed->GetVertices(at, count, out.data());
        processed->Unlock();
        return out;
    }

    HeadlessHost host{HeadlessOptions{}};
    DirectDraw7 dd{host};
    std::shared_ptr<Direct3D7> d3d = dd.GetDirect3D();
};

TEST_F(Direct3DTest, EnumerationsOfferOneDeviceA16BitDepthAndA565Texture) {
    EXPECT_EQ(d3d->GetDevicesEnum()->GetCount(), 1);
    EXPECT_EQ(d3d->GetDevicesEnum()->GetGuid(1), "IID_IDirect3DHALDevice");
    auto depth = d3d->GetEnumZBufferFormats("IID_IDirect3DHALDevice");
    ASSERT_EQ(depth->GetCount(), 1);
    DDPIXELFORMAT f;
    depth->GetItem(1, f);
    EXPECT_EQ(f.lFlags, DDPF_ZBUFFER);
    EXPECT_EQ(f.lZBufferBitDepth, 16);
    EXPECT_DX_ERROR(depth->GetItem(0, f), DDERR_INVALIDPARAMS);
    EXPECT_DX_ERROR(depth->GetItem(2, f), DDERR_INVALIDPARAMS);
    EXPECT_DX_ERROR(d3d->GetEnumZBufferFormats("IID_IDirect3DRGBDevice"), D3DERR_INVALID_DEVICE);

    auto device = MakeDevice(Surface(64, 48, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE));
    auto textures = device->GetTextureFormatsEnum();
    ASSERT_GE(textures->GetCount(), 1);
    textures->GetItem(1, f);
    EXPECT_EQ(f.lFlags, DDPF_RGB);
    EXPECT_EQ(f.lRGBBitCount, 16);
    EXPECT_EQ(f.lRBitMask, 0xF800);
    EXPECT_EQ(f.lGBitMask, 0x07E0);
    EXPECT_EQ(f.lBBitMask, 0x001F);
}

TEST_F(Direct3DTest, DeviceNeedsTheHardwareNameAndA3DTarget) {
    const SurfacePtr target = Surface(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
    EXPECT_DX_ERROR(d3d->CreateDevice("IID_IDirect3DRGBDevice", target), D3DERR_INVALID_DEVICE);
    EXPECT_DX_ERROR(d3d->CreateDevice("IID_IDirect3DHALDevice", nullptr), DDERR_INVALIDPARAMS);
    EXPECT_DX_ERROR(
        d3d->CreateDevice("IID_IDirect3DHALDevice", Surface(16, 16, DDSCAPS_OFFSCREENPLAIN)),
        DDERR_INVALIDCAPS);
    // Without a depth surface the device works, with depth testing off.
    auto device = d3d->CreateDevice("IID_IDirect3DHALDevice", target);
    EXPECT_EQ(device->GetRenderState(D3DRENDERSTATE_ZENABLE), D3DZB_FALSE);
    EXPECT_DX_ERROR(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1, 0),
                    D3DERR_ZBUFFER_NOTPRESENT);
    EXPECT_DX_ERROR(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1, 0),
                    D3DERR_STENCILBUFFER_NOTPRESENT);
    ArmDxFault("CreateDevice", D3DERR_INITFAILED);
    EXPECT_DX_ERROR(d3d->CreateDevice("IID_IDirect3DHALDevice", target), D3DERR_INITFAILED);
}

TEST_F(Direct3DTest, StatesStartAtDirect3D7Defaults) {
    const SurfacePtr target = Surface(64, 48, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
    auto device = MakeDevice(target);
    const struct {
        int32_t state, value;
    } defaults[] = {
        {D3DRENDERSTATE_ZENABLE, D3DZB_TRUE},
        {D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID},
        {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRENDERSTATE_ZWRITEENABLE, 1},
        {D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE},
        {D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO},
        {D3DRENDERSTATE_CULLMODE, D3DCULL_CCW},
        {D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRENDERSTATE_DITHERENABLE, 0},
        {D3DRENDERSTATE_ALPHABLENDENABLE, 0},
        {D3DRENDERSTATE_FOGENABLE, 0},
        {D3DRENDERSTATE_SPECULARENABLE, 0},
        {D3DRENDERSTATE_COLORKEYENABLE, 0},
        {D3DRENDERSTATE_FOGEND, FloatBits(1.0f)},
        {D3DRENDERSTATE_FOGDENSITY, FloatBits(1.0f)},
        {D3DRENDERSTATE_CLIPPING, 1},
        {D3DRENDERSTATE_LIGHTING, 1},
        {D3DRENDERSTATE_AMBIENT, 0},
        {D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_NONE},
        {D3DRENDERSTATE_COLORVERTEX, 1},
        {D3DRENDERSTATE_LOCALVIEWER, 1},
        {D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
        {D3DRENDERSTATE_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
        {D3DRENDERSTATE_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
        {D3DRENDERSTATE_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
        {D3DRENDERSTATE_LASTPIXEL, 1},
    };
    for (const auto& d : defaults) {
        EXPECT_EQ(device->GetRenderState(d.state), d.value) << "state " << d.state;
    }
    EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_COLOROP), D3DTOP_MODULATE);
    EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_ALPHAOP), D3DTOP_SELECTARG1);
    EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_MAGFILTER), D3DTFG_POINT);
    EXPECT_EQ(device->GetTextureStageState(0, D3DTSS_ADDRESSU), D3DTADDRESS_WRAP);
    EXPECT_EQ(device->GetTextureStageState(1, D3DTSS_COLOROP), D3DTOP_DISABLE);
    D3DVIEWPORT7 vp;
    device->GetViewport(vp);
    EXPECT_EQ(vp.lWidth, 64);
    EXPECT_EQ(vp.lHeight, 48);
    EXPECT_EQ(vp.maxz, 1.0f);
    D3DMATRIX m;
    device->GetTransform(D3DTRANSFORMSTATE_PROJECTION, m);
    EXPECT_EQ(m.rc11, 1.0f);
    EXPECT_EQ(m.rc44, 1.0f);
    EXPECT_EQ(m.rc12, 0.0f);
    EXPECT_EQ(FloatFromBits(FloatBits(28.0f)), 28.0f);
}

TEST_F(Direct3DTest, FailingCallsCarryDirect3DNumbers) {
    auto device = MakeDevice(Surface(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE));
    const D3DVERTEX v[3] = {};
    EXPECT_DX_ERROR(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, v, 3, 0),
                    D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_DX_ERROR(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    device->BeginScene();
    EXPECT_DX_ERROR(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
    EXPECT_DX_ERROR(device->DrawPrimitive(0, D3DFVF_VERTEX, v, 3, 0), D3DERR_INVALIDPRIMITIVETYPE);
    EXPECT_DX_ERROR(device->DrawPrimitive(7, D3DFVF_VERTEX, v, 3, 0), D3DERR_INVALIDPRIMITIVETYPE);
    // Blend weights, no position, reserved bits, a normal on transformed vertices.
    for (int32_t fvf : {0x006 | 0x040, 0x040, 0x152 | 0x1000, 0x004 | 0x010}) {
        EXPECT_DX_ERROR(device->DrawPrimitive(D3DPT_TRIANGLELIST, fvf, v, 3, 0),
                        D3DERR_INVALIDVERTEXFORMAT);
    }
    const uint16_t indices[3] = {0, 1, 3};
    EXPECT_DX_ERROR(
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, v, 3, indices, 3, 0),
        DDERR_INVALIDPARAMS);
    EXPECT_DX_ERROR(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, nullptr, 3, 0),
                    DDERR_INVALIDPARAMS);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, v, 0, 0);  // nothing to draw
    device->EndScene();

    EXPECT_DX_ERROR(device->SetRenderState(3, 0), DDERR_INVALIDPARAMS);
    EXPECT_DX_ERROR(device->SetRenderState(D3DRENDERSTATE_SRCBLEND, 14), DDERR_INVALIDPARAMS);
    EXPECT_DX_ERROR(device->SetRenderState(D3DRENDERSTATE_CULLMODE, 0), DDERR_INVALIDPARAMS);
    EXPECT_DX_ERROR(device->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(NAN)),
                    DDERR_INVALIDPARAMS);
    device->SetRenderState(D3DRENDERSTATE_ZVISIBLE, -1);  // accepted, as the frame sets it
    EXPECT_EQ(device->GetRenderState(D3DRENDERSTATE_ZVISIBLE), -1);
    EXPECT_DX_ERROR(device->SetTextureStageState(0, D3DTSS_MAGFILTER, 5),
                    D3DERR_UNSUPPORTEDTEXTUREFILTER);
    EXPECT_DX_ERROR(device->SetTextureStageState(0, D3DTSS_COLOROP, 7),
                    D3DERR_UNSUPPORTEDCOLOROPERATION);
    EXPECT_DX_ERROR(device->SetTextureStageState(8, D3DTSS_COLOROP, 4), DDERR_INVALIDPARAMS);
    EXPECT_DX_ERROR(device->SetTexture(0, Surface(4, 4, DDSCAPS_OFFSCREENPLAIN)),
                    DDERR_INVALIDCAPS);
    EXPECT_DX_ERROR(device->SetTexture(0, Surface(4097, 1, DDSCAPS_TEXTURE)),
                    D3DERR_TEXTURE_BADSIZE);
    EXPECT_DX_ERROR(device->SetTransform(4, D3DMATRIX{}), DDERR_INVALIDPARAMS);
    D3DVIEWPORT7 vp;
    vp.lX = 8;
    vp.lWidth = 9;
    vp.lHeight = 16;
    EXPECT_DX_ERROR(device->SetViewport(vp), DDERR_INVALIDPARAMS);
    D3DLIGHT7 light;
    light.dltType = 4;
    EXPECT_DX_ERROR(device->SetLight(0, light), DDERR_INVALIDPARAMS);
    light.dltType = D3DLIGHT_POINT;
    light.range = -1;
    EXPECT_DX_ERROR(device->SetLight(0, light), DDERR_INVALIDPARAMS);
    EXPECT_DX_ERROR(device->GetLight(5, light), DDERR_INVALIDPARAMS);
}

// States the device cannot carry out are refused with a number the final error message names,
// and keep their value; states it may leave alone are kept; values out of range are refused.
TEST_F(Direct3DTest, StatesTheDeviceCannotHonourAreRefused) {
    auto device = MakeDevice(Surface(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE));
    auto named = [](int32_t number) {
        const std::string text = DescribeError(number, "").text;
        return text.substr(0, text.find('\r'));
    };
    const struct {
        int32_t state, value, number;
        const char* name;
    } refused[] = {
        {D3DRENDERSTATE_STENCILENABLE, 1, D3DERR_STENCILBUFFER_NOTPRESENT,
         "D3DERR_STENCILBUFFER_NOTPRESENT"},
        {D3DRENDERSTATE_STENCILENABLE, -1, D3DERR_STENCILBUFFER_NOTPRESENT,
         "D3DERR_STENCILBUFFER_NOTPRESENT"},
        {D3DRENDERSTATE_WRAP0, 1, DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED"},
        {D3DRENDERSTATE_WRAP0 + 7, 2, DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED"},
        {D3DRENDERSTATE_WRAP0 + 3, 15, DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED"},
        {D3DRENDERSTATE_LINEPATTERN, 0x00FF0001, DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED"},
        {D3DRENDERSTATE_COLORKEYBLENDENABLE, 1, DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED"},
        {D3DRENDERSTATE_VERTEXBLEND, 1, DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED"},
        {D3DRENDERSTATE_CLIPPLANEENABLE, 1, DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED"},
        {D3DRENDERSTATE_ZENABLE, D3DZB_USEW, DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED"},
        {D3DRENDERSTATE_ZBIAS, 17, DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS"},
        {D3DRENDERSTATE_ZBIAS, -1, DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS"},
        {D3DRENDERSTATE_ALPHAREF, 256, DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS"},
        {D3DRENDERSTATE_ALPHAREF, 0x10000, DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS"},
        {D3DRENDERSTATE_ALPHAFUNC, 9, DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS"},
        {D3DRENDERSTATE_ANTIALIAS, 3, DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS"},
    };
    for (const auto& r : refused) {
        const int32_t before = device->GetRenderState(r.state);
        EXPECT_DX_ERROR(device->SetRenderState(r.state, r.value), r.number);
        EXPECT_EQ(device->GetRenderState(r.state), before) << "state " << r.state;
        EXPECT_EQ(named(r.number), r.name);
    }
    // Accepted: what a device may leave alone (quality hints, the promise that nothing needs
    // clipping, states that only matter with a stencil buffer), and what it carries out.
    const struct {
        int32_t state, value;
    } accepted[] = {
        {D3DRENDERSTATE_STENCILENABLE, 0},
        {D3DRENDERSTATE_WRAP0 + 2, 0},
        {D3DRENDERSTATE_ANTIALIAS, 2},
        {D3DRENDERSTATE_EDGEANTIALIAS, 1},
        {D3DRENDERSTATE_CLIPPING, 0},
        {D3DRENDERSTATE_TEXTUREPERSPECTIVE, 0},
        {D3DRENDERSTATE_STIPPLEDALPHA, 1},
        {D3DRENDERSTATE_LINEPATTERN, 0x55550000},
        {D3DRENDERSTATE_STENCILFUNC, 2},
        {D3DRENDERSTATE_STENCILREF, 7},
        {D3DRENDERSTATE_ALPHATESTENABLE, 1},
        {D3DRENDERSTATE_ALPHAREF, 255},
        {D3DRENDERSTATE_ALPHAFUNC, D3DCMP_NEVER},
        {D3DRENDERSTATE_ZBIAS, 16},
    };
    for (const auto& a : accepted) {
        device->SetRenderState(a.state, a.value);
        EXPECT_EQ(device->GetRenderState(a.state), a.value) << "state " << a.state;
    }
}

TEST_F(Direct3DTest, MultiplyTransformAppliesTheGivenMatrixFirst) {
    auto device = MakeDevice(Surface(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE));
    D3DMATRIX move;
    move.rc11 = move.rc22 = move.rc33 = move.rc44 = 1;
    move.rc41 = 10;
    D3DMATRIX scale;
    scale.rc11 = 2;
    scale.rc22 = scale.rc33 = scale.rc44 = 1;
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, move);
    device->MultiplyTransform(D3DTRANSFORMSTATE_WORLD, scale);
    D3DMATRIX m;
    device->GetTransform(D3DTRANSFORMSTATE_WORLD, m);
    // Scale, then move: x = 1 goes to 12, not to 22.
    EXPECT_EQ(1 * m.rc11 + m.rc41, 12.0f);
}

TEST_F(Direct3DTest, EnablingAnUnsetLightCreatesTheDefaultLight) {
    auto device = MakeDevice(Surface(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE));
    device->LightEnable(3, true);
    D3DLIGHT7 l;
    device->GetLight(3, l);
    EXPECT_EQ(l.dltType, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(l.diffuse.r, 1.0f);
    EXPECT_EQ(l.direction.z, 1.0f);
    EXPECT_TRUE(device->GetLightEnable(3));
    device->LightEnable(3, false);
    EXPECT_FALSE(device->GetLightEnable(3));
}

TEST_F(Direct3DTest, VertexBuffersCheckTheirUse) {
    auto device = MakeDevice(Surface(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE));
    D3DVERTEXBUFFERDESC desc;
    desc.lCaps = D3DVBCAPS_WRITEONLY;
    desc.lFVF = 338;
    desc.lNumVertices = 512;
    auto source = d3d->CreateVertexBuffer(desc, 0);
    EXPECT_EQ(source->Capacity(), 512);
    EXPECT_EQ(source->Stride(), 36);
    desc.lFVF = 708;
    auto processed = d3d->CreateVertexBuffer(desc, 0);
    EXPECT_EQ(processed->Stride(), 40) << "0x2C4 holds two pairs of texture coordinates";
    desc.lFVF = D3DFVF_TLVERTEX;
    EXPECT_EQ(d3d->CreateVertexBuffer(desc, 0)->Stride(), 32);
    desc.lFVF = 0x006;
    EXPECT_DX_ERROR(d3d->CreateVertexBuffer(desc, 0), D3DERR_INVALIDVERTEXFORMAT);
    desc.lFVF = 338;
    desc.lNumVertices = 0;
    EXPECT_DX_ERROR(d3d->CreateVertexBuffer(desc, 0), DDERR_INVALIDPARAMS);

    std::span<std::byte> memory = source->Lock(33);
    EXPECT_EQ(memory.size(), 512u * 36u);
    EXPECT_DX_ERROR(source->Lock(33), D3DERR_VERTEXBUFFERLOCKED);
    // A model of 513 vertices does not fit.
    const std::vector<D3DVERTEX> big(513);
    EXPECT_DX_ERROR(source->SetVertices(0, 513, big.data()), DDERR_INVALIDPARAMS);
    source->SetVertices(0, 512, big.data());
    device->BeginScene();
    EXPECT_DX_ERROR(device->DrawPrimitiveVB(D3DPT_POINTLIST, *source, 0, 3, 0),
                    D3DERR_VERTEXBUFFERLOCKED);
    EXPECT_DX_ERROR(processed->ProcessVertices(1029, 0, 3, *source, 0, *device, 0),
                    D3DERR_VERTEXBUFFERLOCKED);
    source->Unlock();
    EXPECT_DX_ERROR(source->Unlock(), D3DERR_VERTEXBUFFERUNLOCKFAILED);
    EXPECT_DX_ERROR(source->SetVertices(0, 1, big.data()), DDERR_NOTLOCKED);
    EXPECT_DX_ERROR(device->DrawPrimitiveVB(D3DPT_POINTLIST, *source, 510, 3, 0),
                    DDERR_INVALIDPARAMS);
    EXPECT_DX_ERROR(processed->ProcessVertices(1029, 0, 3, *processed, 0, *device, 0),
                    D3DERR_INVALIDVERTEXFORMAT);
    EXPECT_DX_ERROR(source->ProcessVertices(1029, 0, 3, *source, 0, *device, 0),
                    D3DERR_INVALIDVERTEXFORMAT);
    EXPECT_DX_ERROR(processed->ProcessVertices(1029, 511, 3, *source, 0, *device, 0),
                    DDERR_INVALIDPARAMS);
    EXPECT_DX_ERROR(processed->ProcessVertices(D3DVOP_LIGHT, 0, 3, *source, 0, *device, 0),
                    DDERR_INVALIDPARAMS);
    device->EndScene();
    source->Optimize(*device, 0);
    EXPECT_DX_ERROR(source->Lock(33), D3DERR_VERTEXBUFFEROPTIMIZED);
}

TEST_F(Direct3DTest, ProcessVerticesWritesScreenPositionColoursAndFog) {
    auto device = MakeDevice(Surface(640, 480, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE));
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, TestProjection());
    device->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(28.0f));
    device->SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(32.0f));
    device->SetRenderState(D3DRENDERSTATE_RANGEFOGENABLE, 1);
    D3DLIGHT7 sun;
    sun.dltType = D3DLIGHT_DIRECTIONAL;
    sun.direction = {0, 0, 1};
    sun.diffuse = {0.5f, 0.5f, 0.5f, 0};
    device->SetLight(0, sun);
    device->LightEnable(0, true);

    // At (3, 3, 30): x/w = 0.15, y/w = 0.2, z/w = (30.6 - 1)/30, distance sqrt(918) = 30.3.
    const D3DVERTEX v[2] = {{3, 3, 30, 0, 0, -1, 0x80FF0000, 0.25f, 0.75f},
                            {0, 0, -5, 0, 0, -1, 0xFFFFFFFF, 0, 0}};
    const std::vector<std::byte> out = Processed(*device, v, 2, 4, 8);
    float f[4];
    uint32_t colours[2];
    std::memcpy(f, out.data(), 16);
    std::memcpy(colours, out.data() + 16, 8);
    EXPECT_FLOAT_EQ(f[0], 320 + 0.15f * 320);
    EXPECT_FLOAT_EQ(f[1], 240 - 0.2f * 240);
    EXPECT_NEAR(f[2], 29.6f / 30, 1e-6);
    EXPECT_FLOAT_EQ(f[3], 1.0f / 30);
    EXPECT_EQ(colours[0], 0x80800000u) << "red × 0.5 light, alpha from the vertex";
    // Fog (32 - 30.299)/4 = 0.425 -> 108 in the specular alpha.
    EXPECT_EQ(colours[1] >> 24, 108u);
    float uv[4];
    std::memcpy(uv, out.data() + 24, 16);
    EXPECT_EQ(uv[0], 0.25f);
    EXPECT_EQ(uv[1], 0.75f);
    EXPECT_EQ(uv[2], 0.0f);
}

// The device keeps what it made for one draw while the transforms and lights stay the same; a
// device that processed vertices under earlier states must give the bytes a fresh one gives.
TEST_F(Direct3DTest, ProcessingAfterStateChangesMatchesAFreshDevice) {
    D3DLIGHT7 sun;
    sun.dltType = D3DLIGHT_DIRECTIONAL;
    sun.direction = {0.3f, -0.5f, 1};
    sun.diffuse = {0.5f, 0.4f, 0.3f, 0};
    sun.ambient = {0.1f, 0.1f, 0.1f, 0};
    D3DLIGHT7 lamp;
    lamp.dltType = D3DLIGHT_POINT;
    lamp.position = {1, 2, 20};
    lamp.diffuse = {0.3f, 0.2f, 0.1f, 0};
    lamp.range = 100;
    lamp.attenuation0 = 0.5f;
    lamp.attenuation1 = 0.05f;
    auto apply = [&](Direct3DDevice7& device, int step) {
        D3DMATRIX projection;
        projection.rc11 = 1.5f;
        projection.rc22 = 2.0f;
        projection.rc33 = step >= 5 ? 1.1f : 1.02f;
        projection.rc34 = 1.0f;
        projection.rc43 = -1.0f;
        device.SetTransform(D3DTRANSFORMSTATE_PROJECTION, projection);
        device.SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
        device.SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(20.0f));
        device.SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(40.0f));
        D3DMATERIAL7 material;
        material.diffuse = {1, 1, 1, 1};
        material.ambient = {1, 1, 1, 1};
        device.SetMaterial(material);
        device.SetLight(0, sun);
        device.LightEnable(0, step < 4);
        D3DLIGHT7 second = lamp;
        if (step >= 3) second.diffuse = {0.1f, 0.3f, 0.2f, 0};
        device.SetLight(1, second);
        device.LightEnable(1, true);
        D3DMATRIX world, view;
        world.rc11 = world.rc22 = world.rc33 = world.rc44 = 1;
        view = world;
        if (step >= 1) world.rc41 = 2, world.rc43 = 3;
        if (step >= 2) view.rc11 = 0.8f, view.rc13 = -0.6f, view.rc31 = 0.6f, view.rc33 = 0.8f;
        device.SetTransform(D3DTRANSFORMSTATE_WORLD, world);
        device.SetTransform(D3DTRANSFORMSTATE_VIEW, view);
    };
    // The diffuse colours are the vertices' own (COLORVERTEX), the ambient the material's.
    const D3DVERTEX v[3] = {{3, 3, 30, 0, 0, -1, 0xFF808080, 0.25f, 0.75f},
                            {-4, 1, 25, 0.6f, 0, -0.8f, 0xFFFFFFFF, 0, 0},
                            {1, -2, 35, 0, 1, 0, 0x80FF8040, 1, 1}};
    auto process = [&](Direct3DDevice7& device) { return Processed(device, v, 3, 0, 3); };
    auto used = MakeDevice(Surface(64, 48, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE));
    std::vector<std::byte> previous;
    // Steps: the first state, the world moved, the view turned, a light's colour changed, a
    // light turned off, another projection, and the same state once more.
    for (int step = 0; step <= 6; ++step) {
        apply(*used, std::min(step, 5));
        const std::vector<std::byte> got = process(*used);
        auto fresh = MakeDevice(Surface(64, 48, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE));
        apply(*fresh, std::min(step, 5));
        EXPECT_EQ(got, process(*fresh)) << "step " << step;
        if (step > 0 && step < 6) {
            EXPECT_NE(got, previous) << "step " << step << " changed nothing";
        }
        previous = got;
    }
}

// Vertices are processed several at a time; each must come out as it would alone, whatever its
// neighbours (one in a light's range next to one out of it, one behind the camera) and wherever
// it stands in the call, the last few of an uneven count included.
TEST_F(Direct3DTest, EachVertexIsProcessedAsItWouldBeAlone) {
    auto device = MakeDevice(Surface(640, 480, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE));
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, TestProjection());
    D3DMATERIAL7 material;
    material.diffuse = material.ambient = {1, 1, 1, 1};
    material.specular = {0.5f, 0.7f, 0.9f, 1};
    material.power = 12;
    device->SetMaterial(material);
    D3DLIGHT7 sun;
    sun.dltType = D3DLIGHT_DIRECTIONAL;
    sun.direction = {0.3f, -0.5f, 0.8f};
    sun.diffuse = {0.6f, 0.5f, 0.4f, 0};
    sun.specular = {1, 1, 1, 0};
    D3DLIGHT7 lamp;
    lamp.dltType = D3DLIGHT_POINT;
    lamp.position = {0, 0, 20};
    lamp.diffuse = {0.9f, 0.3f, 0.1f, 0};
    lamp.ambient = {-0.4f, -0.9f, -1.2f, 0};
    lamp.range = 6;
    lamp.attenuation1 = 1;
    D3DLIGHT7 spot = lamp;
    spot.dltType = D3DLIGHT_SPOT;
    spot.position = {2, 1, 15};
    spot.direction = {0, 0, 1};
    spot.range = 40;
    spot.theta = 0.3f;
    spot.phi = 0.9f;
    spot.falloff = 1.5f;
    device->SetLight(0, sun);
    device->SetLight(1, lamp);
    device->SetLight(2, spot);
    for (int i = 0; i < 3; ++i) device->LightEnable(i, true);
    device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(15.0f));
    device->SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(40.0f));
    device->SetRenderState(D3DRENDERSTATE_FOGDENSITY, FloatBits(0.05f));

    // Near the lamp and far from it, inside the spot's cone, its penumbra and outside it,
    // facing away from the sun, behind the camera, and past the guard band.
    const D3DVERTEX v[11] = {{0.5f, 0.2f, 19, 0, 0, -1, 0xFF808080, 0.25f, 0.75f},
                             {-9, 4, 33, 0.6f, 0, -0.8f, 0xFFFFFFFF, 0, 0},
                             {2, 1, 22, 0, 0, -1, 0x80FF8040, 1, 1},
                             {3.5f, 1.5f, 21, -0.3f, 0.2f, -0.9f, 0xFF40C0FF, 0.5f, 0.5f},
                             {9, -6, 24, 0, 1, 0, 0xFF102030, 0.1f, 0.9f},
                             {1, 1, 18, -0.3f, 0.5f, -0.8f, 0xC0FFFFFF, 0.3f, 0.3f},
                             {0, 0, -5, 0, 0, -1, 0xFFFFFFFF, 0, 0},
                             {400, 2, 10, 1, 0, 0, 0xFF00FF00, 0.7f, 0.2f},
                             {-1, -2, 16.5f, 0, -1, 0, 0xFF0000FF, 0.6f, 0.1f},
                             {1.5f, 0.5f, 20.5f, 0.2f, 0.2f, -0.95f, 0xFF808000, 0.8f, 0.4f},
                             {-3, 2, 28, 0, 0, 1, 0xFFFF00FF, 0.9f, 0.6f}};
    constexpr int32_t kCount = 11;
    constexpr size_t kBytes = 40;
    for (int32_t fog : {D3DFOG_LINEAR, D3DFOG_EXP, D3DFOG_EXP2}) {
        for (int32_t range : {0, 1}) {
            device->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, fog);
            device->SetRenderState(D3DRENDERSTATE_RANGEFOGENABLE, range);
            device->SetRenderState(D3DRENDERSTATE_LOCALVIEWER, range);
            const std::vector<std::byte> all = Processed(*device, v, kCount, 0, kCount);
            for (int32_t i = 0; i < kCount; ++i) {
                const std::vector<std::byte> alone = Processed(*device, v + i, 1, 0, 1);
                const std::vector<std::byte> rest =
                    Processed(*device, v + i, kCount - i, 0, kCount);
                const std::vector<std::byte> expected(all.begin() + i * kBytes,
                                                      all.begin() + (i + 1) * kBytes);
                EXPECT_EQ(alone, expected) << "vertex " << i << " alone, fog " << fog;
                EXPECT_TRUE(std::equal(expected.begin(), expected.end(), rest.begin()))
                    << "vertex " << i << " first of " << kCount - i << ", fog " << fog;
            }
        }
    }
}

}  // namespace
