// The whole archive's content, in load order, and the images a person reviews it by.
#pragma once

#include <string>
#include <vector>

#include "resources/Archive.h"
#include "tools/assetgen/Raster.h"

struct Preview {
    std::string file;  // name of the PNG in the preview folder
    Raster image;
};

struct Content {
    std::vector<ArchiveItem> items;
    std::vector<Preview> previews;
};

Content BuildContent();
