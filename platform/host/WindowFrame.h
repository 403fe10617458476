// A frame shown in a window of any size by the program itself: the frame keeps its aspect,
// centred, black bars fill the rest, and each window pixel takes the frame pixel under its
// centre. Converting the 16-bit pixels straight into the window's 32-bit format once a frame
// costs a fraction of what a software OpenGL spends on the same picture through a texture.
#pragma once

#include <cstdint>
#include <vector>

struct FrameRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const FrameRect&) const = default;
};

// Where a frame of aspect aspectWidth:aspectHeight goes in a window: as large as fits, centred.
FrameRect FitFrame(int aspectWidth, int aspectHeight, int windowWidth, int windowHeight);

// A window position (x, y) in the program's coordinates, the program's size being shown over
// `place`. Positions over the bars fall outside 0..programWidth-1 / 0..programHeight-1.
void WindowToFrame(const FrameRect& place, int programWidth, int programHeight, int& x, int& y);

// 32-bit pixels with 8-bit channels at the given shifts; opaqueBits are set in every pixel (the
// alpha channel, where the format has one).
struct PixelTarget32 {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    int pitch = 0;  // in pixels
    int redShift = 16, greenShift = 8, blueShift = 0;
    uint32_t opaqueBits = 0;
};

class FrameScaler {
  public:
    // The RGB565 frame (pitch in pixels) scaled into `place` of the target, clipped to it; the
    // rest of the target is black.
    void Draw(const uint16_t* frame, int width, int height, int pitch, const FrameRect& place,
              const PixelTarget32& target);

  private:
    std::vector<int> sourceColumn_;  // per window column of the place: the frame's column
    std::vector<uint8_t> runs_;      // enlarged: per frame column, the window columns it covers
    std::vector<uint32_t> row_;      // one frame row in the target's format
    std::vector<uint32_t> line_;     // one row of the place, scaled
};
