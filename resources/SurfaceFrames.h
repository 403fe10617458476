// Frame tables: the sub-image rectangles of a surface (font glyphs and the like), stored in the
// archive as a plain run of 20-byte records under the same name as their image.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "resources/BinaryIo.h"

struct SurfaceFrame {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    int16_t HotSpotX = 0;  // a font glyph's extra advance after it
    int16_t HotSpotY = 0;  // a font glyph's vertical offset from its line
};
static_assert(sizeof(SurfaceFrame) == 20);

constexpr size_t kSurfaceFrameBytes = 20;

template <typename Io, typename Frame>
void SurfaceFrameLayout(Io& io, Frame& f) {
    io.Field(f.Left, "Left");
    io.Field(f.Top, "Top");
    io.Field(f.Right, "Right");
    io.Field(f.Bottom, "Bottom");
    io.Field(f.HotSpotX, "HotSpotX");
    io.Field(f.HotSpotY, "HotSpotY");
}

// Fills every element of frames from the start of bytes. A table with fewer whole records than
// the caller's table holds is error 62; records beyond it are left unread.
void ReadSurfaceFrames(std::span<const uint8_t> bytes, std::vector<SurfaceFrame>& frames,
                       const DataSource& source);
std::vector<uint8_t> WriteSurfaceFrames(const std::vector<SurfaceFrame>& frames);
