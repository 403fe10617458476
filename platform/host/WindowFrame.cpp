#include "platform/host/WindowFrame.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

// The frame's pixel under the centre of window pixel i of n, for a frame of size m.
int SourceOf(int i, int n, int m) {
    return static_cast<int>((2 * static_cast<int64_t>(i) + 1) * m / (2 * static_cast<int64_t>(n)));
}

void FillRow(uint32_t* row, int from, int to, uint32_t value) {
    if (to > from) std::fill(row + from, row + to, value);
}

}  // namespace

FrameRect FitFrame(int aspectWidth, int aspectHeight, int windowWidth, int windowHeight) {
    if (aspectWidth <= 0 || aspectHeight <= 0 || windowWidth <= 0 || windowHeight <= 0) return {};
    FrameRect r;
    // Compared as whole numbers: the window is wider than the frame, or not.
    if (static_cast<int64_t>(windowWidth) * aspectHeight >
        static_cast<int64_t>(windowHeight) * aspectWidth) {
        r.h = windowHeight;
        r.w = static_cast<int>(static_cast<int64_t>(windowHeight) * aspectWidth / aspectHeight);
    } else {
        r.w = windowWidth;
        r.h = static_cast<int>(static_cast<int64_t>(windowWidth) * aspectHeight / aspectWidth);
    }
    r.x = (windowWidth - r.w) / 2;
    r.y = (windowHeight - r.h) / 2;
    return r;
}

void WindowToFrame(const FrameRect& place, int programWidth, int programHeight, int& x, int& y) {
    if (place.w <= 0 || place.h <= 0) return;
    // Rounded down, also left of and above the place, so that the bars map outside the frame.
    auto map = [](int v, int origin, int size, int program) {
        const int64_t scaled = static_cast<int64_t>(v - origin) * program;
        return static_cast<int>(scaled >= 0 ? scaled / size : -((-scaled + size - 1) / size));
    };
    x = map(x, place.x, place.w, programWidth);
    y = map(y, place.y, place.h, programHeight);
}

void FrameScaler::Draw(const uint16_t* frame, int width, int height, int pitch,
                       const FrameRect& place, const PixelTarget32& target) {
    const uint32_t black = target.opaqueBits;
    const int x1 = std::max(place.x, 0), x2 = std::min(place.x + place.w, target.width);
    const int y1 = std::max(place.y, 0), y2 = std::min(place.y + place.h, target.height);
    const bool shown = width > 0 && height > 0 && x2 > x1 && y2 > y1;
    if (!shown) {
        for (int y = 0; y < target.height; ++y) {
            FillRow(target.pixels + static_cast<std::ptrdiff_t>(y) * target.pitch, 0, target.width,
                    black);
        }
        return;
    }
    sourceColumn_.resize(static_cast<size_t>(x2 - x1));
    for (int x = x1; x < x2; ++x) {
        sourceColumn_[static_cast<size_t>(x - x1)] = SourceOf(x - place.x, place.w, width);
    }
    row_.resize(static_cast<size_t>(width));
    const int rs = target.redShift, gs = target.greenShift, bs = target.blueShift;
    int previousSource = -1;
    const uint32_t* previousRow = nullptr;
    for (int y = 0; y < target.height; ++y) {
        uint32_t* out = target.pixels + static_cast<std::ptrdiff_t>(y) * target.pitch;
        if (y < y1 || y >= y2) {
            FillRow(out, 0, target.width, black);
            continue;
        }
        FillRow(out, 0, x1, black);
        FillRow(out, x2, target.width, black);
        const int source = SourceOf(y - place.y, place.h, height);
        if (source == previousSource) {
            // Enlarged: this row repeats the one above.
            std::memcpy(out + x1, previousRow + x1, static_cast<size_t>(x2 - x1) * 4);
            continue;
        }
        // The whole frame row at once (a loop the compiler vectorises), then picked by column.
        const uint16_t* in = frame + static_cast<std::ptrdiff_t>(source) * pitch;
        for (int x = 0; x < width; ++x) {
            const uint32_t p = in[x];
            const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
            // The top bits repeated below: full 565 white is full 888 white.
            row_[static_cast<size_t>(x)] = ((r << 3 | r >> 2) << rs) | ((g << 2 | g >> 4) << gs) |
                                           ((b << 3 | b >> 2) << bs) | black;
        }
        const int* column = sourceColumn_.data();
        const uint32_t* converted = row_.data();
        for (int x = x1; x < x2; ++x) out[x] = converted[column[x - x1]];
        previousSource = source;
        previousRow = out;
    }
}
