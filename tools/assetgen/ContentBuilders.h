// One function per archive entry. Each returns the entry's content in the form the program
// reads; Content.cpp packs them in load order.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "resources/SurfaceFrames.h"
#include "tools/assetgen/Raster.h"

// "COMMON": the screen quad the overlays, the blur and text items use.
GeometrySet BuildCommonSet();
// "USER": lens-flare shapes, the sun, particle shapes and the rain streak.
GeometrySet BuildEffectShapes();
// "BG": the 7 x 7 water tile mesh.
GeometrySet BuildWaterTileMesh();
// "SPHEROU": the sky sphere.
GeometrySet BuildSkySphere();
// "LAND": the island relief.
GeometrySet BuildLandMesh();
// "PALM": the jointed palm tree.
ModelData BuildPalmModel();

// "FONT": the glyph image and its 171 frames.
struct FontAtlas {
    Raster image;
    std::vector<SurfaceFrame> frames;
};
FontAtlas BuildFontAtlas();

// "TRAIL": a soft round glow.
Raster PaintTrailTexture();
// "LENS": a radial glow with a ring.
Raster PaintLensTexture();
// "SKY": the sky band the sphere maps, black below the horizon.
Raster PaintSkyTexture();
// "WATERA" and "WATERB": 32 cells of a looping water animation, 16 per sheet.
std::array<Raster, 2> PaintWaterSheets();
// "LAND": the top-down map of the relief.
Raster PaintLandTexture();
// "CLICK": the editor's menu table.
std::string WriteClickMenu();
