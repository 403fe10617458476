#include "render/RenderState.h"

#include "core/Declarations.h"
#include "core/RuntimeError.h"
#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "render/DeviceSetup.h"
#include "resources/Surfaces.h"

namespace {
constexpr int32_t kTrue = -1;  // a true Boolean as the program passes it to the device
}

void SetBlendFactors(uint8_t source, uint8_t destination) {
    if (source != StateCache.SrcBlend) {
        Device->SetRenderState(D3DRENDERSTATE_SRCBLEND, source);
        StateCache.SrcBlend = source;
    }
    if (destination != StateCache.DestBlend) {
        Device->SetRenderState(D3DRENDERSTATE_DESTBLEND, destination);
        StateCache.DestBlend = destination;
    }
}

void SetColorKeyEnable(int16_t enable) {
    if (enable == StateCache.ColorKeyEnable) return;
    Device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, enable);
    StateCache.ColorKeyEnable = enable;
}

void SetAlphaBlendEnable(int16_t enable) {
    if (enable == StateCache.AlphaBlendEnable) return;
    Device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, enable);
    StateCache.AlphaBlendEnable = enable;
}

void SetTextureFilter(int32_t filter) {
    if (filter == StateCache.TextureFilter) return;
    Device->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
    Device->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
    StateCache.TextureFilter = filter;
}

void SetStageTexture(int32_t textureIndex) {
    if (textureIndex == StateCache.StageTexture) return;
    if (textureIndex == -1) {
        Device->SetTexture(0, nullptr);
    } else {
        Device->SetTexture(0, At(TextureList, textureIndex).Surface);
    }
    StateCache.StageTexture = textureIndex;
}

void SetVertexColorMode(int16_t enable) {
    if (enable == StateCache.VertexColorMode) return;
    Device->SetRenderState(D3DRENDERSTATE_COLORVERTEX, enable);
    Device->SetRenderState(D3DRENDERSTATE_AMBIENTMATERIALSOURCE,
                           enable == kTrue ? D3DMCS_COLOR1 : D3DMCS_MATERIAL);
    StateCache.VertexColorMode = enable;
}

void SetFogColorAndDepthWrite(int32_t color) {
    if (color == StateCache.FogColor) return;
    Device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, color);
    Device->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, color != 0 ? kTrue : 0);
    StateCache.FogColor = color;
}

void SetFog(int32_t colour, int32_t mode, int16_t rangeFlag, float start, float end,
            float density) {
    Device->SetRenderState(D3DRENDERSTATE_FOGENABLE, -1);
    BackgroundColor = colour;
    StateCache.FogColor = colour;
    Device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, colour);
    if (mode == D3DFOG_LINEAR) {
        Device->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
        Device->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(start));
        Device->SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(end));
    } else {
        Device->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, mode);
        Device->SetRenderState(D3DRENDERSTATE_FOGDENSITY, FloatBits(density));
    }
    if (rangeFlag == -1) Device->SetRenderState(D3DRENDERSTATE_RANGEFOGENABLE, -1);
}
