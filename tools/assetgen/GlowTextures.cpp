// "TRAIL" and "LENS": radial glows drawn additively, so black is transparent and every edge
// pixel is black (a quad's corners never show).
#include <algorithm>
#include <cmath>

#include "tools/assetgen/ContentBuilders.h"
#include "tools/assetgen/MeshMath.h"

namespace {

constexpr int kTrailSize = 128;
constexpr int kLensSize = 256;

// LENS: a hot core for the sun, a wide soft glow, faint rays, and a thin ring that reads as
// the ring of a lens flare and as a water ripple.
constexpr float kLensCoreRadius = 0.07f;
constexpr float kLensGlowStrength = 0.45f;
constexpr float kLensRingRadius = 0.78f;
constexpr float kLensRingWidth = 0.035f;
constexpr float kLensRingStrength = 0.28f;
constexpr int kLensRays = 12;
constexpr float kLensRayStrength = 0.12f;

// Distance of a pixel centre from the image centre, 1 at the edge midpoints.
float Radius(int x, int y, int size) {
    const float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
    return std::sqrt(dx * dx + dy * dy);
}

float Gaussian(float x, float width) {
    return std::exp(-(x * x) / (width * width));
}

}  // namespace

Raster PaintTrailTexture() {
    Raster image(kTrailSize, kTrailSize);
    for (int y = 0; y < kTrailSize; ++y) {
        for (int x = 0; x < kTrailSize; ++x) {
            const float r = Radius(x, y, kTrailSize);
            const float glow = std::pow(std::max(0.0f, 1 - r * r), 3.0f);
            const float core = Gaussian(r, 0.18f) * SmoothStep(1, 0.8f, r);
            const float v = std::min(1.0f, 0.8f * glow + 0.3f * core);
            image.At(x, y) = Rgb{v, v, v};
        }
    }
    return image;
}

Raster PaintLensTexture() {
    Raster image(kLensSize, kLensSize);
    for (int y = 0; y < kLensSize; ++y) {
        for (int x = 0; x < kLensSize; ++x) {
            const float r = Radius(x, y, kLensSize);
            const float dx = (x + 0.5f) / kLensSize * 2 - 1, dy = (y + 0.5f) / kLensSize * 2 - 1;
            const float angle = std::atan2(dy, dx);
            const float fade = SmoothStep(1.0f, 0.9f, r);
            const float core = Gaussian(r, kLensCoreRadius);
            const float glow = kLensGlowStrength * std::pow(std::max(0.0f, 1 - r), 3.0f);
            const float rays = kLensRayStrength *
                               std::pow(std::abs(std::cos(angle * kLensRays / 2)), 16.0f) *
                               std::max(0.0f, 1 - r / 0.6f);
            // The ring splits its colours slightly, red outermost, as a real lens ring does.
            auto ring = [&](float shift) {
                return kLensRingStrength * Gaussian(r - kLensRingRadius - shift, kLensRingWidth);
            };
            const float base = core + glow + rays;
            image.At(x, y) = Rgb{std::min(1.0f, (base + ring(0.012f)) * fade),
                                 std::min(1.0f, (base * 0.95f + ring(0.0f)) * fade),
                                 std::min(1.0f, (base * 0.85f + ring(-0.012f)) * fade)};
        }
    }
    return image;
}
