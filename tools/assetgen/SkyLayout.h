// How the sky sphere maps "SKY": shared by the sphere and the painter so they agree.
#pragma once

// The texture repeats this many times around the horizon, so it must tile left to right.
constexpr float kSkyRepeatsAround = 2.0f;
// Rows down to this v hold the sky from the zenith (v = 0) to the horizon.
constexpr float kSkyHorizonV = 0.875f;
// Below the horizon the sphere samples here: rows that are black.
constexpr float kSkyBelowHorizonV = 0.96f;
// From here down the texture is black.
constexpr float kSkyBlackFromV = 0.94f;

// The v the sphere gives a vertex at this elevation (degrees above the horizon).
float SkyTextureV(float elevationDegrees);
