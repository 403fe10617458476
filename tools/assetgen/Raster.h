// Images as the generator paints them: RGB with float channels (0..1), written out as 24-bit
// PNG, the form the program's image decoder turns into 565 surfaces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    float r = 0, g = 0, b = 0;
};

inline Rgb operator+(Rgb a, Rgb b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Rgb operator*(Rgb a, float s) {
    return {a.r * s, a.g * s, a.b * s};
}
inline Rgb operator*(Rgb a, Rgb b) {
    return {a.r * b.r, a.g * b.g, a.b * b.b};
}
inline Rgb Mix(Rgb a, Rgb b, float t) {
    return a + (b + a * -1.0f) * t;
}
// A colour from 0xRRGGBB.
Rgb FromHex(uint32_t rgb);

struct Raster {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    Raster() = default;
    Raster(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h) {}

    Rgb& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    const Rgb& At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // Bilinear sample with wrap-around, (u, v) in pixels.
    Rgb SampleWrapped(float u, float v) const;

    void FillRect(int left, int top, int right, int bottom, Rgb colour);
    // A one-pixel frame just inside the rectangle.
    void OutlineRect(int left, int top, int right, int bottom, Rgb colour);
    // Copies source with its top-left corner at (x, y), clipped to this raster.
    void Blit(const Raster& source, int x, int y);
    // Each pixel repeated factor times in x and y.
    Raster Enlarged(int factor) const;
};

// 24-bit RGB bytes, channels rounded and clamped.
std::vector<uint8_t> RgbBytes(const Raster& raster);
// A PNG file's bytes; the same raster always gives the same bytes.
std::vector<uint8_t> EncodePng(const Raster& raster);
