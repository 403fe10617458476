// The world: built on the first pass, then updated every pass before the frame is drawn. The
// update changes state and queues this frame's backdrop in the draw list; the render draws it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// 0 until the scene is set up; then counts unpaused passes, falling back to 1 after 1000000.
inline int32_t WorldFrame = 0;

// Working values of the world update, all 0 at first.
inline std::array<float, 16> SceneParams{};

// What each SceneParams element holds.
enum SceneParam : size_t {
    SunScreenX = 7,     // also the position along the flare chain
    SunScreenY = 8,     // also the size of the current flare element
    FlareStrength = 9,  // percent
    WaterPhase = 10,    // degrees
    ScratchAngle = 11,  // degrees
    WaterFrame = 12,    // frame of the water tile texture, 3 to 34
    TrunkPhase = 13,    // degrees
    LeafCounter = 14,   // segment within a frond
    FrondAzimuth = 15,  // degrees
};

// The key help shown at start.
inline std::string HelpText;

// The world is a torus of 144 by 108 units; the camera stays inside these half extents.
constexpr float kWorldHalfX = 72;
constexpr float kWorldHalfZ = 54;

// Once per pass: sets the scene up on the first call, then animates the water, land, sky,
// palms and particles, wraps the camera, queues the backdrop and advances the animations.
void UpdateWorld();

// Back to the state before the first pass (tests; the program starts there).
void ResetWorldState();
