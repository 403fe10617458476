#include "app/SunAndFlare.h"

#include <cmath>

#include "app/World.h"
#include "core/Declarations.h"
#include "core/RuntimeError.h"
#include "core/WholeNumbers.h"
#include "render/Camera.h"
#include "render/DrawList.h"
#include "resources/GeometrySets.h"
#include "resources/Surfaces.h"

namespace {

// The flare shapes live in the effect-shapes set.
constexpr int32_t kFlareSet = 1;
constexpr float kSunDepth = 5000;
constexpr float kFlareDepth = 2.4f;

struct FlareElement {
    float size;
    int part;  // index into MiniParts
};

// Along the line from the sun's mirror point (t = -0.6) through the centre to the sun.
constexpr FlareElement kFlareChain[] = {{0.5f, 1}, {0.25f, 0}, {1, 2}, {0.5f, 0}, {0.25f, 3}};

// Every flare item: additive, blended, screen-space and far behind the scene.
MeshItemParams FlareItem(const D3DVECTOR& p, int32_t part, float fade, float size) {
    return {.x = p.x,
            .y = p.y,
            .z = p.z,
            .setIndex = kFlareSet,
            .partIndex = part,
            .textureIndex = At(EffectTextures, 1),
            .srcBlend = 2,
            .destBlend = 2,
            .alphaBlend = -1,
            .alpha = fade,
            .flags = FlagScreenSpace | FlagFarDepth,
            .sx = size,
            .sy = size,
            .sz = size};
}

}  // namespace

void UpdateSunAndFlare() {
    // Placed for the view drawn last, so the sun and flare stay on it between camera steps.
    const CameraStateRecord camera = ViewedCamera();
    // 360 degrees of yaw span three screen widths and of pitch 3.33 widths.
    float& sunX = SceneParams[SunScreenX];
    float& sunY = SceneParams[SunScreenY];
    float& strength = SceneParams[FlareStrength];
    sunX = static_cast<float>(static_cast<double>(camera.Yaw / 360.0f) * (3 * RenderWidth));
    sunY = static_cast<float>((camera.Pitch + 25.0f) / 360.0 * (3.33 * RenderWidth));
    if (sunX <= 0 || sunX >= RenderWidth || sunY <= 0 || sunY >= RenderHeight) return;

    const int32_t glowPart = At(MiniParts, 5);
    AddMeshItem(FlareItem(ScreenToWorld(sunX, sunY, kSunDepth), glowPart, -1, 2000));

    const D3DVECTOR d{static_cast<float>(sunX - RenderWidth / 2.0),
                      static_cast<float>(sunY - RenderHeight / 2.0), 0};
    // Full strength at the centre, none along a diamond through the middle of each edge.
    strength = static_cast<float>(
        (1 - (std::fabs(d.y) / (RenderHeight / 2.0) + std::fabs(d.x) / (RenderWidth / 2.0))) * 100);
    if (strength < 0) strength = 0;

    MeshItemParams glow = FlareItem(ScreenToWorld(sunX, sunY, kFlareDepth), glowPart,
                                    static_cast<float>(RoundToLong(strength * 0.8)), 3);
    glow.az = camera.Yaw * 0.5f;
    AddMeshItem(glow);

    // t runs from -0.6 to 0.6 in steps of 0.3, one element each.
    const float fade = static_cast<float>(RoundToLong(strength));
    float& t = sunX;
    t = -0.6f;
    for (const FlareElement& e : kFlareChain) {
        sunY = e.size;
        const double screenX = d.x * t + RenderWidth / 2.0;
        const double screenY = 0.75 * t * d.y + RenderHeight / 2.0;
        const D3DVECTOR p =
            ScreenToWorld(static_cast<float>(screenX), static_cast<float>(screenY), kFlareDepth);
        AddMeshItem(FlareItem(p, At(MiniParts, e.part), fade, e.size));
        t += 0.3f;
    }
}
