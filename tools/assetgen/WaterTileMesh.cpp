// "BG": one water tile, a 7 x 7 grid stored row by row in the x-y plane. The load lays a copy
// flat (y becomes z) and the world update waves it every frame, copying each border row and
// column from the opposite one, so neighbouring tiles meet without a seam.
#include "tools/assetgen/ContentBuilders.h"
#include "tools/assetgen/MeshMath.h"
#include "tools/assetgen/SceneLayout.h"

namespace {

// A tile is drawn at scale 3 every 36 units in x and 27 in z, so it spans 12 x 9 model units,
// centred on its position (the renderer measures a tile's distance from its position).
constexpr float kTileWidth = kWaterTileStepX / kWaterTileScale;
constexpr float kTileDepth = kWaterTileStepZ / kWaterTileScale;
// Whole repeats of the water texture across a tile keep the tiles seamless; 4 x 3 keeps its
// texels square (9 world units per repeat).
constexpr float kTextureRepeatsX = 4;
constexpr float kTextureRepeatsZ = 3;

}  // namespace

GeometrySet BuildWaterTileMesh() {
    std::vector<D3DVERTEX> vertices;
    PartBuilder grid(vertices);
    const int n = kWaterGridSide;
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            const float s = static_cast<float>(col) / (n - 1),
                        t = static_cast<float>(row) / (n - 1);
            // The load replaces the normal's y with -1 and moves its y into z.
            grid.Add(MakeVertex({(s - 0.5f) * kTileWidth, (t - 0.5f) * kTileDepth, 0}, {0, 0, -1},
                                0xFFFFFFFF, s * kTextureRepeatsX, (1 - t) * kTextureRepeatsZ));
        }
    }
    // Drawn from above and, through the surface, from below: each cell's triangles both ways.
    // Clockwise in x-y seen from -z stays clockwise seen from above once y turns into z.
    for (int row = 0; row + 1 < n; ++row) {
        for (int col = 0; col + 1 < n; ++col) {
            const int a = row * n + col, b = a + 1, c = a + n, d = c + 1;
            grid.TwoSidedTriangle(c, d, b);
            grid.TwoSidedTriangle(c, b, a);
        }
    }
    std::vector<GeometryPart> parts;
    parts.push_back(
        MakePart("BG", grid, kTriangleList, {AmbientFor(1, 1, 1), {0.5f, 0.5f, 0.5f, 1}}));
    return MakeSet("BG", std::move(vertices), std::move(parts));
}
