// Every image the program draws lives in a surface of one of two lists: TextureList for the
// 3D device's textures, SpriteSurfaceList for plain off-screen surfaces that are only blitted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dx/DirectDraw.h"
#include "resources/SurfaceFrames.h"

struct SurfaceRecord {
    SurfacePtr Surface;
    std::vector<SurfaceFrame> Frames;  // indices 0 to LastFrame
    uint8_t LastFrame = 0;
    uint8_t Loaded = 0;
    std::string Name;
};

inline std::vector<SurfaceRecord> TextureList(1);
inline std::vector<SurfaceRecord> SpriteSurfaceList(1);
inline int32_t LastTextureIndex = 0;
inline int32_t LastSpriteSurfaceIndex = 0;

// List indices of the surfaces needed by name; a name not loaded leaves its element 0.
inline std::vector<int32_t> SpecialTextures(3);     // "FONT", "BLUR1", "BLUR2"
inline std::vector<int32_t> EffectTextures(3);      // "TRAIL", "LENS", "SKY", then water frames
inline std::vector<int32_t> BackgroundTextures(2);  // "BGT1", "BGT2"
inline std::vector<int32_t> BackgroundSurfaces(2);  // "BGF1", "BGF2"
inline std::vector<int32_t> FontSurfaces(1);        // "FONT"

void ResetSurfaceTables();

// Creates a texture in the next slot of TextureList and returns the slot: from the image file
// at path, from the archive entry of that name (archiveIndex >= 0), or empty. A width or height
// of 0 becomes 128, in the caller's variables too.
int32_t LoadTexture(const std::string& path, std::vector<SurfaceFrame>& frames, int32_t& width,
                    int32_t& height, int32_t colorKey, const std::string& name,
                    int16_t archiveIndex);

// Creates an off-screen surface in the next slot of SpriteSurfaceList and returns the slot:
// from the image file at path, from the archive entry of that name (archiveIndex >= 0), or
// empty. frames is the caller's frame table (filled from the archive when it holds one).
int32_t LoadSurface(const std::string& path, std::vector<SurfaceFrame>& frames, int32_t& width,
                    int32_t& height, int32_t extraCaps, int32_t colorKey, const std::string& name,
                    int16_t archiveIndex);
