// Review images of the assembled scene: the land, water, sky, sun and the five posed palms,
// seen from a few viewpoints, as close to the program's look as a small renderer gets.
#pragma once

#include <array>
#include <vector>

#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "tools/assetgen/Content.h"

struct SceneContent {
    const GeometrySet& land;
    const Raster& landTexture;
    const ModelData& palm;
    const Raster& sky;
    const Raster& lens;
    const std::array<Raster, 2>& water;
};

std::vector<Preview> RenderScenePreviews(const SceneContent& scene);
