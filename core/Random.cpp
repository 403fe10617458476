#include "core/Random.h"

#include <cstring>

#include "platform/host/Host.h"

namespace {

// xoshiro128+ state; small, fast and good enough for particles and sparks.
uint32_t state[4] = {0x9E3779B9u, 0x243F6A88u, 0xB7E15162u, 0x85A308D3u};

uint32_t Rotl(uint32_t x, int k) {
    return (x << k) | (x >> (32 - k));
}

uint32_t Next() {
    const uint32_t result = state[0] + state[3];
    const uint32_t t = state[1] << 9;
    state[2] ^= state[0];
    state[3] ^= state[1];
    state[1] ^= state[2];
    state[0] ^= state[3];
    state[2] ^= t;
    state[3] = Rotl(state[3], 11);
    return result;
}

uint64_t SplitMix(uint64_t& x) {
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

void RandomizeWith(double seed) {
    uint64_t bits;
    std::memcpy(&bits, &seed, sizeof bits);
    // Fold the new value into the current state instead of replacing it.
    uint64_t mix = bits ^ (static_cast<uint64_t>(state[0]) << 32 | state[1]);
    const uint64_t a = SplitMix(mix), b = SplitMix(mix);
    state[0] ^= static_cast<uint32_t>(a);
    state[1] ^= static_cast<uint32_t>(a >> 32);
    state[2] ^= static_cast<uint32_t>(b);
    state[3] ^= static_cast<uint32_t>(b >> 32);
    if ((state[0] | state[1] | state[2] | state[3]) == 0) state[0] = 1;
    Next();
}

void Randomize() {
    RandomizeWith(ActiveHost().Timer());
}

float Rnd() {
    return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f);
}

void ResetRandom() {
    state[0] = 0x9E3779B9u;
    state[1] = 0x243F6A88u;
    state[2] = 0xB7E15162u;
    state[3] = 0x85A308D3u;
}
