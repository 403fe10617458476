#include "render/BlurEffect.h"

#include <algorithm>

#include "core/Declarations.h"
#include "core/LoopState.h"
#include "core/RuntimeError.h"
#include "display/Display.h"
#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/Gdi.h"
#include "render/DeviceSetup.h"
#include "render/FrameRender.h"
#include "render/RenderState.h"
#include "resources/GeometrySets.h"
#include "resources/Surfaces.h"

namespace {

constexpr int16_t kTrue = -1;
constexpr int32_t kFullLevel = 32;
constexpr int32_t kOverlayLevel = 16;
constexpr int32_t kFadeStep = 4;
constexpr int32_t kFirstQuadVertex = 4;
constexpr int32_t kQuadVertices = 4;
constexpr int32_t kCaptureWidth = 128;
constexpr int32_t kCaptureHeight = 96;

enum : uint8_t { kEffectOff = 0, kEffectOn = 1, kUnderWater = 2, kFadingOut = 3 };

// Each byte of a packed colour times the factor, cut to a whole byte.
uint32_t ScaledColour(int32_t packed, float factor) {
    const uint32_t c = static_cast<uint32_t>(packed);
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const auto byte = static_cast<uint32_t>(static_cast<float>((c >> shift) & 0xFF) * factor);
        result |= (byte & 0xFF) << shift;
    }
    return result;
}

void AdvanceLevel() {
    switch (EffectState) {
        case kEffectOn:
            EffectLevel = std::min(EffectLevel + kFullLevel, kFullLevel);
            break;
        case kUnderWater:
            EffectLevel = kFullLevel;
            break;
        case kFadingOut:
            EffectLevel -= kFadeStep;
            if (EffectLevel < 0) {
                EffectLevel = 0;
                EffectState = kEffectOff;
            }
            break;
        default:
            break;
    }
}

// The darkening pass multiplies the frame by (1 - quad colour); the adding pass puts the
// captured frame, modulated by the quad colour, on top. Both go through the cached setters so
// the cache keeps telling the truth about the device.
void DrawOverlay(D3DVERTEX* quad, int32_t captureTexture) {
    SetBlendFactors(D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR);
    SetStageTexture(-1);
    Device->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_VERTEX, quad, kQuadVertices, 0);
    SetBlendFactors(D3DBLEND_ONE, D3DBLEND_ONE);
    SetStageTexture(captureTexture);
    Device->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_VERTEX, quad, kQuadVertices, 0);
}

}  // namespace

void RunBlurEffect() {
    // No "BLUR2" is ever loaded, so this names the first texture, "BLUR1": the trail is
    // captured into the very texture it overlays.
    const int32_t captureTexture = At(SpecialTextures, 2);
    SurfaceRecord& capture = At(TextureList, captureTexture);
    GeometrySet& screen = At(GeometrySets, At(CommonSets, 0));
    if (screen.Vertices.size() < kFirstQuadVertex + kQuadVertices ||
        screen.BaseColors.size() < kFirstQuadVertex + kQuadVertices) {
        throw RuntimeError(rt::SubscriptOutOfRange, "the screen quad is missing");
    }

    SetVertexColorMode(kTrue);
    SetTextureFilter(D3DTFG_LINEAR);
    Device->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
    Device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 0);
    SetAlphaBlendEnable(kTrue);

    D3DMATRIX identity;
    DX->IdentityMatrix(identity);
    Device->SetTransform(D3DTRANSFORMSTATE_VIEW, identity);
    // One unit in front of the eye and half a percent larger than the screen: each generation
    // of the trail drifts outwards.
    D3DMATRIX world = identity;
    world.rc11 = 1.005f;
    world.rc22 = 1.005f;
    world = SetMatrixTranslation(world, 0, 0, 1);
    Device->SetTransform(D3DTRANSFORMSTATE_WORLD, world);

    AdvanceLevel();

    D3DVERTEX* quad = &screen.Vertices[kFirstQuadVertex];
    for (int32_t i = 0; i < kQuadVertices; ++i) {
        quad[i].color = ScaledColour(screen.BaseColors[kFirstQuadVertex + i], BlurQuadShade);
    }

    if (EffectLevel > kOverlayLevel) DrawOverlay(quad, captureTexture);

    if (EffectLevel != 0) {
        if (FrameCount % 2 == 0) {
            GdiDC* back = BackBuffer->GetDC();
            GdiDC* target = capture.Surface->GetDC();
            StretchBlt(target, 0, 0, kCaptureWidth, kCaptureHeight, back, 0, 0, Viewport.lWidth,
                       Viewport.lHeight, SRCCOPY);
            BackBuffer->ReleaseDC(back);
            capture.Surface->ReleaseDC(target);
        }
    } else {
        const SurfaceFrame& f = At(capture.Frames, 0);
        const RECT destination{f.Left, f.Top, f.Right, f.Bottom};
        capture.Surface->Blt(&destination, BackBuffer.get(), &ScreenRect, DDBLT_WAIT);
        DrawOverlay(quad, captureTexture);
    }

    Device->SetRenderState(D3DRENDERSTATE_LIGHTING, kTrue);
    Device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, kTrue);
}
