// The land is a handful of round hills on a noisy seabed. Every palm stands on a flat plateau
// at its own ground height, wide enough that the mesh's triangles around it stay flat too. Each
// hill falls from its plateau to a beach: a long gentle slope through the waterline, from dry
// sand to the shallows, and then drops off to the seabed, which lies deep enough almost
// everywhere for the through-the-water ripple to move it.
#include "tools/assetgen/Landscape.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "tools/assetgen/ContentBuilders.h"
#include "tools/assetgen/MeshMath.h"
#include "tools/assetgen/Noise.h"
#include "tools/assetgen/SceneLayout.h"

namespace {

struct Hill {
    float x, z;
    float top;      // height of the flat top
    float plateau;  // radius of the flat top
    float shore;    // radius at which the beach meets the water
    float beach;    // width of the gentle beach slope across the waterline
};

// Five palm plateaus (the palms' own ground heights), then peaks, a rock, a sand bar and a
// shoal. A plateau reaches past every mesh cell around its palm (a cell's diagonal is 2.36).
// The west island's palm is close to the land's edge, so its beach is short and its bluff steep.
constexpr float kPalmPlateau = 2.6f;
const std::array<Hill, 11> kHills{{
    {27.0f, -17.5f, 6.0f, kPalmPlateau, 8.5f, 4.5f},
    {-25.0f, 4.0f, 3.6f, kPalmPlateau, 7.5f, 4.5f},
    {-32.0f, 1.5f, 3.2f, kPalmPlateau - 0.2f, 4.6f, 2.4f},
    {-4.0f, 8.0f, 1.2f, kPalmPlateau, 5.0f, 4.0f},
    {21.0f, -24.0f, 6.65f, kPalmPlateau, 9.0f, 4.5f},
    {28.5f, -26.5f, 9.0f, 0.6f, 7.5f, 3.0f},    // the east island's rocky summit
    {-29.0f, -3.5f, 5.5f, 0.5f, 4.5f, 2.0f},    // a crag south of the west island
    {13.0f, 16.0f, 3.0f, 0.4f, 3.5f, 2.0f},     // a rock on the horizon of the first view
    {6.0f, -8.0f, 0.4f, 1.5f, 3.5f, 3.0f},      // a sand bar
    {-12.0f, -22.0f, -1.2f, 2.0f, 3.0f, 2.0f},  // a shoal, shallow enough to glow through
}};

// The beach runs from this height above the water to this depth below it; this fraction of
// its width lies above the waterline.
constexpr float kBeachTop = 0.5f;
constexpr float kBeachBottom = -0.8f;
constexpr float kBeachAboveWater = kBeachTop / (kBeachTop - kBeachBottom);
// Past the beach the ground drops to the seabed over this distance.
constexpr float kDropOff = 3.0f;
// Coastlines wander by this fraction of the distance from a hill's centre.
constexpr float kCoastWander = 0.08f;
constexpr float kSeabedDepth = -5.5f;
constexpr float kSeabedRoughness = 1.2f;
// The seabed sinks towards the land's edges, out of sight under the fog.
constexpr float kEdgeDrop = 2.0f;
constexpr uint32_t kSeabedSeed = 11;
constexpr uint32_t kCoastSeed = 23;

constexpr float kLandHalfWidth = kLandScale.x;  // the grid spans -1..1, drawn 40 times larger
constexpr float kCellSize = 2 * kLandHalfWidth / (kLandGridSide - 1);

float SeabedHeight(float x, float z) {
    const float rough = FractalNoise(x / 12.0f + 50, z / 12.0f + 50, 3, kSeabedSeed) - 0.5f;
    const float edge = std::max(std::abs(x), std::abs(z));
    return kSeabedDepth + kSeabedRoughness * rough -
           kEdgeDrop * SmoothStep(0.7f * kLandHalfWidth, kLandHalfWidth, edge);
}

float HillHeight(const Hill& hill, float x, float z, float seabed, float wander) {
    const float d = std::hypot(x - hill.x, z - hill.z) * (1 + kCoastWander * wander);
    // A hill lower than the beach top (or under water) is all beach from its plateau on.
    const float beachTop = std::min(kBeachTop, hill.top);
    const float beachBottom = std::min(kBeachBottom, hill.top);
    const float beachStart = std::max(hill.plateau, hill.shore - hill.beach * kBeachAboveWater);
    const float beachEnd = hill.shore + hill.beach * (1 - kBeachAboveWater);
    if (d <= hill.plateau) return hill.top;
    if (d < beachStart) {
        return hill.top - (hill.top - beachTop) * SmoothStep(hill.plateau, beachStart, d);
    }
    if (d <= beachEnd)
        return Lerp(beachTop, beachBottom, (d - beachStart) / (beachEnd - beachStart));
    return beachBottom + (seabed - beachBottom) * SmoothStep(beachEnd, beachEnd + kDropOff, d);
}

}  // namespace

float ReliefHeight(float x, float z) {
    const float seabed = SeabedHeight(x, z);
    const float wander = 2 * FractalNoise(x / 6.0f + 10, z / 6.0f + 10, 3, kCoastSeed) - 1;
    float height = seabed;
    for (const Hill& hill : kHills)
        height = std::max(height, HillHeight(hill, x, z, seabed, wander));
    return height;
}

LandGrid SampleLandGrid() {
    LandGrid grid;
    grid.heights.resize(kLandGridSide * kLandGridSide);
    for (int row = 0; row < kLandGridSide; ++row) {
        for (int col = 0; col < kLandGridSide; ++col) {
            grid.heights[row * kLandGridSide + col] =
                ReliefHeight(-kLandHalfWidth + col * kCellSize, -kLandHalfWidth + row * kCellSize);
        }
    }
    return grid;
}

// Each cell is split along its diagonal from (column, row) to (column + 1, row + 1), as the
// mesh below splits it.
float LandGrid::HeightAt(float x, float z) const {
    const float gx = std::clamp((x + kLandHalfWidth) / kCellSize, 0.0f, kLandGridSide - 1.001f);
    const float gz = std::clamp((z + kLandHalfWidth) / kCellSize, 0.0f, kLandGridSide - 1.001f);
    const int col = static_cast<int>(gx), row = static_cast<int>(gz);
    const float fx = gx - col, fz = gz - row;
    const float a = At(col, row), b = At(col + 1, row), c = At(col, row + 1),
                d = At(col + 1, row + 1);
    return fx >= fz ? a + fx * (b - a) + fz * (d - b) : a + fz * (c - a) + fx * (d - c);
}

GeometrySet BuildLandMesh() {
    const LandGrid grid = SampleLandGrid();
    std::vector<D3DVERTEX> vertices;
    PartBuilder land(vertices);
    const int n = kLandGridSide;
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            const int c0 = std::max(col - 1, 0), c1 = std::min(col + 1, n - 1);
            const int r0 = std::max(row - 1, 0), r1 = std::min(row + 1, n - 1);
            const float dx = (grid.At(c1, row) - grid.At(c0, row)) / ((c1 - c0) * kCellSize);
            const float dz = (grid.At(col, r1) - grid.At(col, r0)) / ((r1 - r0) * kCellSize);
            const D3DVECTOR world = Normalized({-dx, 1, -dz});
            // The device turns normals by the inverse transpose of the draw scale and does not
            // renormalise them, so they are stored stretched by that scale to arrive unit length.
            const D3DVECTOR normal{world.x * kLandScale.x, world.y * kLandScale.y,
                                   world.z * kLandScale.z};
            const float x = -1 + 2.0f * col / (n - 1), z = -1 + 2.0f * row / (n - 1);
            const float y = (grid.At(col, row) - kLandPosition.y) / kLandScale.y;
            land.Add(MakeVertex({x, y, z}, normal, 0xFFFFFFFF, (x + 1) / 2, (z + 1) / 2));
        }
    }
    const D3DVECTOR up{0, 1, 0};
    for (int row = 0; row + 1 < n; ++row) {
        for (int col = 0; col + 1 < n; ++col) {
            const int a = row * n + col, b = a + 1, c = a + n, d = c + 1;
            land.Triangle(a, b, d, up);
            land.Triangle(a, d, c, up);
        }
    }
    std::vector<GeometryPart> parts;
    parts.push_back(MakePart("LAND", land, kTriangleList,
                             {AmbientFor(0.9f, 0.9f, 0.9f), {0.22f, 0.22f, 0.22f, 1}}));
    return MakeSet("LAND", std::move(vertices), std::move(parts));
}
