// Text drawn glyph by glyph from the bitmap font: as textured quads in the current 3D space
// (mode 0), or blitted onto a sprite surface (mode 1) or the back buffer (mode 2). "@" breaks
// the line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dx/DxTypes.h"

// The 85 characters of the font, in frame order; 84 is the space and 85 the "@".
extern const char* const CharacterMap;

// The quad reused for every glyph; only positions and texture coordinates change per glyph.
inline std::vector<D3DVERTEX> GlyphQuad(4);

// Map position (1 to 85) of c, or 0 when the font has no such character.
int CharacterPosition(char c);

void DrawText(int32_t destination, const std::string& text, float startX, float startY,
              uint8_t mode, uint8_t size);
