#include "tools/assetgen/Noise.h"

#include <cmath>
#include <initializer_list>

uint32_t Hash(int32_t x, int32_t y, int32_t z, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B9u;
    for (uint32_t v :
         {static_cast<uint32_t>(x), static_cast<uint32_t>(y), static_cast<uint32_t>(z)}) {
        h ^= v + 0x7F4A7C15u + (h << 6) + (h >> 2);
        h *= 0x85EBCA6Bu;
        h ^= h >> 13;
        h *= 0xC2B2AE35u;
        h ^= h >> 16;
    }
    return h;
}

float HashUnit(int32_t x, int32_t y, int32_t z, uint32_t seed) {
    return static_cast<float>(Hash(x, y, z, seed) >> 8) / 16777216.0f;
}

namespace {

int Wrap(int i, int period) {
    if (period <= 0) return i;
    const int m = i % period;
    return m < 0 ? m + period : m;
}

float Fade(float t) {
    return t * t * t * (t * (t * 6 - 15) + 10);
}

}  // namespace

float ValueNoise(float x, float y, uint32_t seed, int periodX, int periodY) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float tx = Fade(x - fx), ty = Fade(y - fy);
    const int x0 = Wrap(ix, periodX), x1 = Wrap(ix + 1, periodX);
    const int y0 = Wrap(iy, periodY), y1 = Wrap(iy + 1, periodY);
    const float a = HashUnit(x0, y0, 0, seed), b = HashUnit(x1, y0, 0, seed);
    const float c = HashUnit(x0, y1, 0, seed), d = HashUnit(x1, y1, 0, seed);
    const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

float FractalNoise(float x, float y, int octaves, uint32_t seed, int periodX, int periodY) {
    float sum = 0, weight = 1, total = 0, frequency = 1;
    for (int i = 0; i < octaves; ++i) {
        sum += weight * ValueNoise(x * frequency, y * frequency, seed + static_cast<uint32_t>(i),
                                   periodX > 0 ? periodX * static_cast<int>(frequency) : 0,
                                   periodY > 0 ? periodY * static_cast<int>(frequency) : 0);
        total += weight;
        weight *= 0.5f;
        frequency *= 2;
    }
    return sum / total;
}
