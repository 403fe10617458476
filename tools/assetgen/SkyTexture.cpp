// "SKY": the sky from the zenith (top row) to the horizon, then black. It is blended over the
// fog-blue background with ONE + INVSRCCOLOR, so it can only brighten: a deep blue zenith, a
// warm band low down for the evening sun, and soft clouds, all tiling left to right because
// the sphere wraps the texture twice around the horizon.
#include <array>
#include <cmath>

#include "tools/assetgen/ContentBuilders.h"
#include "tools/assetgen/MeshMath.h"
#include "tools/assetgen/Noise.h"
#include "tools/assetgen/SkyLayout.h"

namespace {

constexpr int kSkySize = 256;

struct ElevationColour {
    float elevation;  // degrees
    Rgb colour;
};
const std::array<ElevationColour, 6> kSkyRamp{{
    {0.0f, FromHex(0x4A3222)},
    {4.0f, FromHex(0x6A4430)},  // the glow just above the horizon
    {12.0f, FromHex(0x4A3440)},
    {30.0f, FromHex(0x262A4C)},
    {60.0f, FromHex(0x18224E)},
    {90.0f, FromHex(0x121C4A)},
}};

// Noise lattice cells across and down the texture: more down than across, so clouds come out
// as long flat banks.
constexpr int kCloudCellsAcross = 8;
constexpr int kCloudCellsDown = 20;
constexpr uint32_t kCloudSeed = 7;
const Rgb kCloudLow = FromHex(0xB07A5A);  // lit from below by the low sun
const Rgb kCloudHigh = FromHex(0x8A7C8E);
constexpr float kCloudOpacity = 0.8f;

Rgb SkyColour(float elevation) {
    for (size_t i = 1; i < kSkyRamp.size(); ++i) {
        if (elevation <= kSkyRamp[i].elevation) {
            const ElevationColour& lo = kSkyRamp[i - 1];
            const ElevationColour& hi = kSkyRamp[i];
            return Mix(lo.colour, hi.colour,
                       (elevation - lo.elevation) / (hi.elevation - lo.elevation));
        }
    }
    return kSkyRamp.back().colour;
}

}  // namespace

Raster PaintSkyTexture() {
    Raster sky(kSkySize, kSkySize);
    for (int y = 0; y < kSkySize; ++y) {
        const float v = (y + 0.5f) / kSkySize;
        const float elevation = std::max(0.0f, 90.0f * (1 - v / kSkyHorizonV));
        // Below the horizon row the sky darkens to black, which the blend leaves unchanged.
        const float below = SmoothStep(kSkyHorizonV, kSkyBlackFromV - 0.01f, v);
        for (int x = 0; x < kSkySize; ++x) {
            Rgb colour = SkyColour(elevation);
            const float n = FractalNoise(static_cast<float>(x) * kCloudCellsAcross / kSkySize,
                                         static_cast<float>(y) * kCloudCellsDown / kSkySize, 5,
                                         kCloudSeed, kCloudCellsAcross, 0);
            // Clouds keep away from the zenith, where the sphere pinches the texture.
            const float band = SmoothStep(2, 8, elevation) * SmoothStep(65, 40, elevation);
            const float cloud = SmoothStep(0.5f, 0.75f, n) * band * kCloudOpacity;
            colour = Mix(colour, Mix(kCloudLow, kCloudHigh, SmoothStep(5, 45, elevation)), cloud);
            sky.At(x, y) = v >= kSkyBlackFromV ? Rgb{} : colour * (1 - below);
        }
    }
    return sky;
}
