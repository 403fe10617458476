#include "platform/host/WindowHost.h"

#include <algorithm>
#include <cstddef>

bool IsScaledFrame(int width, int height, int programWidth, int programHeight) {
    return width % programWidth == 0 && height % programHeight == 0 &&
           width / programWidth == height / programHeight &&
           width / programWidth <= kMaxDisplayScale;
}

void KeptFrame::Keep(const uint16_t* frame, int frameWidth, int frameHeight, int pitch) {
    width = frameWidth;
    height = frameHeight;
    pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        std::copy_n(frame + static_cast<size_t>(y) * pitch, width,
                    pixels.begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
}
