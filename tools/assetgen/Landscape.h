// The islands: one height field that both the "LAND" relief and the "LAND" map are made from,
// so the painted shores sit exactly where the relief meets the water.
#pragma once

#include <vector>

// Grid vertices per side over the land's -1..1 square: 48 cells of 1.67 world units.
constexpr int kLandGridSide = 49;

// The relief in world units: height (y) at world (x, z), before it is sampled into the grid.
float ReliefHeight(float x, float z);

// The relief as the mesh holds it: world heights at the grid points, row by row along z, and
// heights between them interpolated over the mesh's own triangles.
struct LandGrid {
    std::vector<float> heights;

    float At(int column, int row) const { return heights[row * kLandGridSide + column]; }
    // World height of the drawn surface at world (x, z) inside the land.
    float HeightAt(float x, float z) const;
};

LandGrid SampleLandGrid();
