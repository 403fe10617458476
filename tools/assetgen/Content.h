// The whole archive's content, in load order, and the images a person reviews it by.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "resources/Archive.h"
#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "tools/assetgen/Raster.h"

struct Preview {
    std::string file;  // name of the PNG in the preview folder
    Raster image;
};

struct Content {
    std::vector<ArchiveItem> items;
    std::vector<Preview> previews;
    // What the scene views are drawn from.
    GeometrySet land;
    ModelData palm;
    Raster landTexture, sky, lens;
    std::array<Raster, 2> water;
};

Content BuildContent();
// The images of `content` plus views of the assembled scene.
std::vector<Preview> AllPreviews(const Content& content);
