#include "tools/assetgen/Raster.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "stb_image_write.h"

Rgb FromHex(uint32_t rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f};
}

Rgb Raster::SampleWrapped(float u, float v) const {
    const float fx = std::floor(u - 0.5f), fy = std::floor(v - 0.5f);
    const float tx = u - 0.5f - fx, ty = v - 0.5f - fy;
    auto wrap = [](int i, int n) { return ((i % n) + n) % n; };
    const int x0 = wrap(static_cast<int>(fx), width), x1 = wrap(x0 + 1, width);
    const int y0 = wrap(static_cast<int>(fy), height), y1 = wrap(y0 + 1, height);
    return Mix(Mix(At(x0, y0), At(x1, y0), tx), Mix(At(x0, y1), At(x1, y1), tx), ty);
}

void Raster::FillRect(int left, int top, int right, int bottom, Rgb colour) {
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, width); ++x) At(x, y) = colour;
    }
}

void Raster::OutlineRect(int left, int top, int right, int bottom, Rgb colour) {
    FillRect(left, top, right, top + 1, colour);
    FillRect(left, bottom - 1, right, bottom, colour);
    FillRect(left, top, left + 1, bottom, colour);
    FillRect(right - 1, top, right, bottom, colour);
}

void Raster::Blit(const Raster& source, int x, int y) {
    for (int sy = 0; sy < source.height; ++sy) {
        for (int sx = 0; sx < source.width; ++sx) {
            const int dx = x + sx, dy = y + sy;
            if (dx >= 0 && dy >= 0 && dx < width && dy < height) At(dx, dy) = source.At(sx, sy);
        }
    }
}

Raster Raster::Enlarged(int factor) const {
    Raster out(width * factor, height * factor);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) out.At(x, y) = At(x / factor, y / factor);
    }
    return out;
}

std::vector<uint8_t> RgbBytes(const Raster& raster) {
    std::vector<uint8_t> bytes;
    bytes.reserve(raster.pixels.size() * 3);
    auto byte = [](float c) {
        return static_cast<uint8_t>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f));
    };
    for (const Rgb& p : raster.pixels) {
        bytes.push_back(byte(p.r));
        bytes.push_back(byte(p.g));
        bytes.push_back(byte(p.b));
    }
    return bytes;
}

std::vector<uint8_t> EncodePng(const Raster& raster) {
    const std::vector<uint8_t> rgb = RgbBytes(raster);
    std::vector<uint8_t> png;
    auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        const auto* bytes = static_cast<const uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
    };
    if (stbi_write_png_to_func(append, &png, raster.width, raster.height, 3, rgb.data(),
                               raster.width * 3) == 0) {
        throw std::runtime_error("PNG encoding failed");
    }
    return png;
}
