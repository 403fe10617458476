// Device state: Direct3D 7's defaults and which states and values exist.
#include <cmath>

#include "platform/dx/D3DPipeline.h"

namespace d3d {

namespace {

D3DMATRIX Identity() {
    D3DMATRIX m;
    m.rc11 = m.rc22 = m.rc33 = m.rc44 = 1.0f;
    return m;
}

bool InRange(int32_t v, int32_t lo, int32_t hi) {
    return v >= lo && v <= hi;
}

LightSlot& LightAt(DeviceState& state, int32_t index) {
    const size_t i = static_cast<size_t>(index);
    if (i >= state.lights.size()) state.lights.resize(i + 1);
    return state.lights[i];
}

}  // namespace

void ResetDeviceState(DeviceState& s, bool hasDepth) {
    s.renderStates.fill(0);
    auto set = [&](int32_t state, int32_t value) {
        s.renderStates[static_cast<size_t>(state)] = value;
    };
    set(D3DRENDERSTATE_TEXTUREPERSPECTIVE, 1);
    set(D3DRENDERSTATE_ZENABLE, hasDepth ? D3DZB_TRUE : D3DZB_FALSE);
    set(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
    set(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    set(D3DRENDERSTATE_ZWRITEENABLE, 1);
    set(D3DRENDERSTATE_LASTPIXEL, 1);
    set(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    set(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO);
    set(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    set(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    set(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_ALWAYS);
    set(D3DRENDERSTATE_FOGSTART, FloatBits(0.0f));
    set(D3DRENDERSTATE_FOGEND, FloatBits(1.0f));
    set(D3DRENDERSTATE_FOGDENSITY, FloatBits(1.0f));
    set(D3DRENDERSTATE_STENCILFAIL, D3DSTENCILOP_KEEP);
    set(D3DRENDERSTATE_STENCILZFAIL, D3DSTENCILOP_KEEP);
    set(D3DRENDERSTATE_STENCILPASS, D3DSTENCILOP_KEEP);
    set(D3DRENDERSTATE_STENCILFUNC, D3DCMP_ALWAYS);
    set(D3DRENDERSTATE_STENCILMASK, -1);
    set(D3DRENDERSTATE_STENCILWRITEMASK, -1);
    set(D3DRENDERSTATE_TEXTUREFACTOR, -1);
    set(D3DRENDERSTATE_CLIPPING, 1);
    set(D3DRENDERSTATE_LIGHTING, 1);
    set(D3DRENDERSTATE_COLORVERTEX, 1);
    set(D3DRENDERSTATE_LOCALVIEWER, 1);
    set(D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    set(D3DRENDERSTATE_SPECULARMATERIALSOURCE, D3DMCS_COLOR2);
    set(D3DRENDERSTATE_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    set(D3DRENDERSTATE_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);

    for (int stage = 0; stage < kStageCount; ++stage) {
        auto& t = s.stageStates[static_cast<size_t>(stage)];
        t.fill(0);
        t[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        t[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        t[D3DTSS_TEXCOORDINDEX] = stage;
        t[D3DTSS_ADDRESS] = t[D3DTSS_ADDRESSU] = t[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        t[D3DTSS_MAGFILTER] = D3DTFG_POINT;
        t[D3DTSS_MINFILTER] = D3DTFN_POINT;
        t[D3DTSS_MIPFILTER] = D3DTFP_NONE;
        t[D3DTSS_MAXANISOTROPY] = 1;
    }
    for (SurfacePtr& texture : s.textures) texture.reset();

    s.world = s.view = s.projection = Identity();
    s.material = D3DMATERIAL7{};
    s.lights.clear();
    s.inScene = false;
}

bool IsKnownRenderState(int32_t state) {
    switch (state) {
        case D3DRENDERSTATE_ANTIALIAS:
        case D3DRENDERSTATE_TEXTUREPERSPECTIVE:
        case D3DRENDERSTATE_ZENABLE:
        case D3DRENDERSTATE_FILLMODE:
        case D3DRENDERSTATE_SHADEMODE:
        case D3DRENDERSTATE_LINEPATTERN:
        case D3DRENDERSTATE_ZWRITEENABLE:
        case D3DRENDERSTATE_ALPHATESTENABLE:
        case D3DRENDERSTATE_LASTPIXEL:
        case D3DRENDERSTATE_SRCBLEND:
        case D3DRENDERSTATE_DESTBLEND:
        case D3DRENDERSTATE_CULLMODE:
        case D3DRENDERSTATE_ZFUNC:
        case D3DRENDERSTATE_ALPHAREF:
        case D3DRENDERSTATE_ALPHAFUNC:
        case D3DRENDERSTATE_DITHERENABLE:
        case D3DRENDERSTATE_ALPHABLENDENABLE:
        case D3DRENDERSTATE_FOGENABLE:
        case D3DRENDERSTATE_SPECULARENABLE:
        case D3DRENDERSTATE_ZVISIBLE:
        case D3DRENDERSTATE_STIPPLEDALPHA:
        case D3DRENDERSTATE_FOGCOLOR:
        case D3DRENDERSTATE_FOGTABLEMODE:
        case D3DRENDERSTATE_FOGSTART:
        case D3DRENDERSTATE_FOGEND:
        case D3DRENDERSTATE_FOGDENSITY:
        case D3DRENDERSTATE_EDGEANTIALIAS:
        case D3DRENDERSTATE_COLORKEYENABLE:
        case D3DRENDERSTATE_ZBIAS:
        case D3DRENDERSTATE_RANGEFOGENABLE:
        case D3DRENDERSTATE_TEXTUREFACTOR:
        case D3DRENDERSTATE_CLIPPING:
        case D3DRENDERSTATE_LIGHTING:
        case D3DRENDERSTATE_EXTENTS:
        case D3DRENDERSTATE_AMBIENT:
        case D3DRENDERSTATE_FOGVERTEXMODE:
        case D3DRENDERSTATE_COLORVERTEX:
        case D3DRENDERSTATE_LOCALVIEWER:
        case D3DRENDERSTATE_NORMALIZENORMALS:
        case D3DRENDERSTATE_COLORKEYBLENDENABLE:
        case D3DRENDERSTATE_DIFFUSEMATERIALSOURCE:
        case D3DRENDERSTATE_SPECULARMATERIALSOURCE:
        case D3DRENDERSTATE_AMBIENTMATERIALSOURCE:
        case D3DRENDERSTATE_EMISSIVEMATERIALSOURCE:
        case D3DRENDERSTATE_VERTEXBLEND:
        case D3DRENDERSTATE_CLIPPLANEENABLE:
            return true;
        default:
            return InRange(state, D3DRENDERSTATE_STENCILENABLE, D3DRENDERSTATE_STENCILWRITEMASK) ||
                   InRange(state, D3DRENDERSTATE_STIPPLEPATTERN00,
                           D3DRENDERSTATE_STIPPLEPATTERN00 + 31) ||
                   InRange(state, D3DRENDERSTATE_WRAP0, D3DRENDERSTATE_WRAP0 + 7);
    }
}

bool IsValidRenderStateValue(int32_t state, int32_t value) {
    switch (state) {
        case D3DRENDERSTATE_FILLMODE:
        case D3DRENDERSTATE_SHADEMODE:
        case D3DRENDERSTATE_CULLMODE:
            return InRange(value, 1, 3);
        case D3DRENDERSTATE_SRCBLEND:
        case D3DRENDERSTATE_DESTBLEND:
            return InRange(value, D3DBLEND_ZERO, D3DBLEND_BOTHINVSRCALPHA);
        case D3DRENDERSTATE_ZFUNC:
        case D3DRENDERSTATE_ALPHAFUNC:
        case D3DRENDERSTATE_STENCILFUNC:
            return InRange(value, D3DCMP_NEVER, D3DCMP_ALWAYS);
        case D3DRENDERSTATE_STENCILFAIL:
        case D3DRENDERSTATE_STENCILZFAIL:
        case D3DRENDERSTATE_STENCILPASS:
            return InRange(value, 1, 8);
        case D3DRENDERSTATE_FOGTABLEMODE:
        case D3DRENDERSTATE_FOGVERTEXMODE:
            return InRange(value, D3DFOG_NONE, D3DFOG_LINEAR);
        case D3DRENDERSTATE_DIFFUSEMATERIALSOURCE:
        case D3DRENDERSTATE_SPECULARMATERIALSOURCE:
        case D3DRENDERSTATE_AMBIENTMATERIALSOURCE:
        case D3DRENDERSTATE_EMISSIVEMATERIALSOURCE:
            return InRange(value, D3DMCS_MATERIAL, D3DMCS_COLOR2);
        case D3DRENDERSTATE_FOGSTART:
        case D3DRENDERSTATE_FOGEND:
        case D3DRENDERSTATE_FOGDENSITY:
            return std::isfinite(FloatFromBits(value));
        case D3DRENDERSTATE_ALPHAREF:  // compared with the 8-bit alpha
            return InRange(value, 0, 255);
        case D3DRENDERSTATE_ZBIAS:
            return InRange(value, 0, 16);
        case D3DRENDERSTATE_ANTIALIAS:  // NONE, SORTDEPENDENT, SORTINDEPENDENT
            return InRange(value, 0, 2);
        default:
            return true;
    }
}

bool IsKnownStageState(int32_t type) {
    return InRange(type, D3DTSS_COLOROP, D3DTSS_TEXTURETRANSFORMFLAGS);
}

void StoreLight(DeviceState& state, int32_t index, const D3DLIGHT7& light) {
    LightSlot& slot = LightAt(state, index);
    slot.light = light;
    slot.set = true;
}

void EnableLight(DeviceState& state, int32_t index, bool enable) {
    LightSlot& slot = LightAt(state, index);
    if (!slot.set) {
        slot.light = D3DLIGHT7{};
        slot.light.dltType = D3DLIGHT_DIRECTIONAL;
        slot.light.diffuse = {1, 1, 1, 0};
        slot.light.direction = {0, 0, 1};
        slot.set = true;
    }
    slot.enabled = enable;
}

}  // namespace d3d
