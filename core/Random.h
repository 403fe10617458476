// The program's one random generator. Re-seeding mixes the time of day into its state, so
// two re-seeds within the same millisecond still give different sequences.
#pragma once

#include <cstdint>

// Mixes the host's time of day into the generator.
void Randomize();
// Mixes an explicit value into the generator (tests).
void RandomizeWith(double seed);
// Uniform in [0, 1).
float Rnd();
// Puts the generator back to its start state.
void ResetRandom();
