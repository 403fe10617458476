// The fixed load sequence of start-up: every geometry set, texture, surface and table the scene
// needs, from the archive beside the executable, with the adjustments some of them get.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dx/DxTypes.h"

// 512 at 640 x 480 and above, else 256: the side of the "BGT1" and "BGT2" textures.
inline int32_t BgTextureSize = 0;
// Vertices 27 to 30 of the "USER" set, and a six-entry index list, for a caller's own quad.
inline std::vector<D3DVERTEX> UserQuad;
inline std::vector<int16_t> UserQuadIndices;

void LoadAssets();
