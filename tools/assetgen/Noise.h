// Deterministic noise for textures and relief: integer hashing only, so every build paints the
// same pixels. Periodic variants repeat exactly, for tiles and looping animations.
#pragma once

#include <cstdint>

// A well-mixed 32-bit hash of up to three integers and a seed.
uint32_t Hash(int32_t x, int32_t y, int32_t z, uint32_t seed);
// Uniform in [0, 1).
float HashUnit(int32_t x, int32_t y, int32_t z, uint32_t seed);

// Smooth value noise in [0, 1] with lattice spacing 1. With periodX/periodY > 0 the noise
// repeats every period lattice cells in that direction.
float ValueNoise(float x, float y, uint32_t seed, int periodX = 0, int periodY = 0);

// Sum of octaves of value noise, each at twice the frequency and half the weight of the one
// before, normalised to [0, 1]. Periods double with the frequency, so the sum repeats too.
float FractalNoise(float x, float y, int octaves, uint32_t seed, int periodX = 0, int periodY = 0);
