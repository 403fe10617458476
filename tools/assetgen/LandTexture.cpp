// "LAND" map: the relief seen from above, coloured by height. The load maps it over the land
// with u = (x + 1) / 2 and v = (z + 1) / 2, so row 0 is the land's z = -1 edge. Heights come
// from the mesh itself, so shores and slopes fall where the drawn relief has them.
#include <algorithm>
#include <array>
#include <cmath>

#include "tools/assetgen/ContentBuilders.h"
#include "tools/assetgen/Landscape.h"
#include "tools/assetgen/MeshMath.h"
#include "tools/assetgen/Noise.h"
#include "tools/assetgen/SceneLayout.h"

namespace {

constexpr int kLandTextureSize = 256;

struct HeightColour {
    float height;  // world y
    Rgb colour;
};

// Seabed stays blue-dominated and dry land red-dominated, so the water line reads clearly.
const std::array<HeightColour, 10> kHeightRamp{{
    // The deep seabed is mostly seen through fog; keeping it close to the fog's blue makes the
    // sea one colour from near to far.
    {-7.5f, FromHex(0x2E4468)},
    {-4.5f, FromHex(0x345074)},
    {-2.0f, FromHex(0x4E7A86)},  // shallows
    {-0.6f, FromHex(0x86968E)},
    {0.0f, FromHex(0x9A8A68)},  // wet sand
    {0.3f, FromHex(0xDCC898)},  // beach
    {0.9f, FromHex(0xD6C290)},
    {1.6f, FromHex(0x5E8A34)},  // grass
    {5.0f, FromHex(0x3F6A26)},
    {8.0f, FromHex(0x7A7060)},  // bare summit
}};
const Rgb kRock = FromHex(0x6E665A);
// Land steeper than this (normal's y) turns to rock.
constexpr float kRockSlopeStart = 0.78f;
constexpr float kRockSlopeFull = 0.55f;
constexpr float kDetailStrength = 0.12f;
constexpr uint32_t kDetailSeed = 31;

Rgb RampColour(float height) {
    if (height <= kHeightRamp.front().height) return kHeightRamp.front().colour;
    for (size_t i = 1; i < kHeightRamp.size(); ++i) {
        if (height <= kHeightRamp[i].height) {
            const HeightColour& lo = kHeightRamp[i - 1];
            const HeightColour& hi = kHeightRamp[i];
            return Mix(lo.colour, hi.colour, (height - lo.height) / (hi.height - lo.height));
        }
    }
    return kHeightRamp.back().colour;
}

}  // namespace

Raster PaintLandTexture() {
    const LandGrid grid = SampleLandGrid();
    Raster map(kLandTextureSize, kLandTextureSize);
    const float texel = 2 * kLandScale.x / kLandTextureSize;  // world units per pixel
    for (int py = 0; py < kLandTextureSize; ++py) {
        for (int px = 0; px < kLandTextureSize; ++px) {
            const float x = -kLandScale.x + (px + 0.5f) * texel;
            const float z = -kLandScale.z + (py + 0.5f) * texel;
            const float h = grid.HeightAt(x, z);
            Rgb colour = RampColour(h);
            if (h > 0.5f) {
                const float dx =
                    (grid.HeightAt(x + texel, z) - grid.HeightAt(x - texel, z)) / (2 * texel);
                const float dz =
                    (grid.HeightAt(x, z + texel) - grid.HeightAt(x, z - texel)) / (2 * texel);
                const float upness = 1 / std::sqrt(1 + dx * dx + dz * dz);
                colour = Mix(colour, kRock,
                             SmoothStep(kRockSlopeStart, kRockSlopeFull, upness) *
                                 SmoothStep(0.5f, 1.5f, h));
            }
            const float detail = FractalNoise(x / 1.5f, z / 1.5f, 3, kDetailSeed) - 0.5f;
            map.At(px, py) = colour * (1 + kDetailStrength * 2 * detail);
        }
    }
    return map;
}
