#include "platform/host/WindowFrame.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/dx/DirectDraw.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The frame's pixel under the centre of window pixel i of n, for a frame of size m.
int SourceOf(int i, int n, int m) {
    return static_cast<int>((2 * static_cast<int64_t>(i) + 1) * m / (2 * static_cast<int64_t>(n)));
}

void FillRow(uint32_t* row, int from, int to, uint32_t value) {
    if (to > from) std::fill(row + from, row + to, value);
}

// The window's pixels are written once and next read by the X server: stores that bypass the
// cache spare the reads a normal store makes of every line it fills (most of the scaler's time
// for a frame larger than the cache).
void StreamRow(uint32_t* out, const uint32_t* in, int count) {
#if defined(__SSE2__)
    int i = 0;
    for (; i < count && (reinterpret_cast<uintptr_t>(out + i) & 15) != 0; ++i) out[i] = in[i];
    for (; i + 4 <= count; i += 4) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
    }
    for (; i < count; ++i) out[i] = in[i];
#else
    std::memcpy(out, in, static_cast<size_t>(count) * 4);
#endif
}

// out[2i] = out[2i + 1] = in[i] for i < count: the most common enlargement, twice as fast as
// the general one below.
void DoubleRow(uint32_t* out, const uint32_t* in, int count) {
    int i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= count; i += 4) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi32(four, four));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 4),
                         _mm_unpackhi_epi32(four, four));
    }
#endif
    for (; i < count; ++i) out[2 * i] = out[2 * i + 1] = in[i];
}

// Each of in's count pixels repeated runs[i] times (1 to 4) into out, which has room for three
// pixels past the last: four copies are stored each time and the next run starts over the
// ones it does not keep, so no branch depends on the run.
void RepeatRow(uint32_t* out, const uint32_t* in, const uint8_t* runs, int count) {
    for (int i = 0; i < count; ++i) {
#if defined(__SSE2__)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_set1_epi32(static_cast<int>(in[i])));
#else
        out[0] = out[1] = out[2] = out[3] = in[i];
#endif
        out += runs[i];
    }
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
    const int shownWidth = x2 - x1;
    // Columns one for one: the converted frame row is the window's row.
    const bool sameColumns = place.w == width && x1 == place.x;
    // Enlarged up to four times and uncut (a 640 x 480 frame on a 1280 x 1024 or 1920 x 1080
    // screen): each frame pixel is repeated over the window columns whose centres it holds,
    // without looking up every column.
    const bool repeated =
        place.w > width && place.w <= 4 * width && x1 == place.x && x2 == place.x + place.w;
    sourceColumn_.resize(static_cast<size_t>(shownWidth));
    for (int x = x1; x < x2; ++x) {
        sourceColumn_[static_cast<size_t>(x - x1)] = SourceOf(x - place.x, place.w, width);
    }
    if (repeated) {
        runs_.assign(static_cast<size_t>(width), 0);
        for (const int column : sourceColumn_) ++runs_[static_cast<size_t>(column)];
    }
    row_.resize(static_cast<size_t>(width));
    line_.resize(static_cast<size_t>(shownWidth) + 3);
    const uint32_t* line = sameColumns ? row_.data() : line_.data();
    const int rs = target.redShift, gs = target.greenShift, bs = target.blueShift;
    int previousSource = -1;
    for (int y = 0; y < target.height; ++y) {
        uint32_t* out = target.pixels + static_cast<std::ptrdiff_t>(y) * target.pitch;
        if (y < y1 || y >= y2) {
            FillRow(out, 0, target.width, black);
            continue;
        }
        FillRow(out, 0, x1, black);
        FillRow(out, x2, target.width, black);
        // Enlarged, a row repeats the one above: it is made once.
        const int source = SourceOf(y - place.y, place.h, height);
        if (source != previousSource) {
            // The whole frame row at once (a loop the compiler vectorises), then picked by
            // column.
            const uint16_t* in = frame + static_cast<std::ptrdiff_t>(source) * pitch;
            for (int x = 0; x < width; ++x) {
                const uint32_t rgb = RgbFrom565(in[x]);
                row_[static_cast<size_t>(x)] =
                    (rgb >> 16) << rs | ((rgb >> 8) & 255) << gs | (rgb & 255) << bs | black;
            }
            if (repeated && place.w == 2 * width) {
                DoubleRow(line_.data(), row_.data(), width);
            } else if (repeated) {
                RepeatRow(line_.data(), row_.data(), runs_.data(), width);
            } else if (!sameColumns) {
                const int* column = sourceColumn_.data();
                const uint32_t* converted = row_.data();
                for (int x = 0; x < shownWidth; ++x)
                    line_[static_cast<size_t>(x)] = converted[column[x]];
            }
            previousSource = source;
        }
        StreamRow(out + x1, line, shownWidth);
    }
#if defined(__SSE2__)
    _mm_sfence();  // the streamed pixels are in memory before the X server is told to read them
#endif
}
