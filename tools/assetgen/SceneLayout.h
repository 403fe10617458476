// How the program places, lights and draws the content. The generator shapes every entry to
// fit these numbers, so they are kept in one place and named.
#pragma once

#include <array>

#include "platform/dx/DxTypes.h"

// The device projection: x and y scale of the projection matrix. A point at distance 1 reaches
// the screen edges at x = ±1 / 1.5 and y = ±1 / 2.
constexpr float kProjectionScaleX = 1.5f;
constexpr float kProjectionScaleY = 2.0f;

// The landscape item: the land's -1..1 grid drawn at this offset and scale.
constexpr D3DVECTOR kLandPosition{0.0f, -3.0f, 0.0f};
constexpr D3DVECTOR kLandScale{40.0f, 30.0f, 40.0f};

// Water tiles: the tile mesh drawn at scale 3 on a 36 x 27 grid, at the water surface y = 0.
constexpr float kWaterTileScale = 3.0f;
constexpr float kWaterTileStepX = 36.0f;
constexpr float kWaterTileStepZ = 27.0f;
constexpr int kWaterGridSide = 7;  // vertices per row and per column

// The five palms: where they stand and how they are turned and stretched.
struct PalmPlacement {
    D3DVECTOR position;
    D3DVECTOR rotation;  // degrees
    D3DVECTOR scale;
};
constexpr std::array<PalmPlacement, 5> kPalms{{
    {{27.0f, 6.0f, -17.5f}, {0, 40, 0}, {1.0f, 1.4f, 1.0f}},
    {{-25.0f, 3.6f, 4.0f}, {0, 20, 0}, {1.0f, 1.5f, 1.0f}},
    {{-32.0f, 3.2f, 1.5f}, {0, 90, 0}, {1.75f, 2.0f, 1.75f}},
    {{-4.0f, 1.2f, 8.0f}, {-10, 10, 0}, {1.0f, 1.2f, 1.0f}},
    {{21.0f, 6.65f, -24.0f}, {-20, 40, 5}, {1.1f, 2.5f, 1.1f}},
}};

// The camera starts here, looking along yaw 55 degrees (towards +x and +z).
constexpr D3DVECTOR kCameraStart{0.0f, 4.0f, 0.0f};

// Ambient light every lit vertex receives: the device's global ambient (0.2) plus the sun's
// ambient colour. Parts that must show their texture's own colours divide it out.
constexpr D3DCOLORVALUE kSceneAmbient{0.95f, 0.8f, 0.7f, 1.0f};

// A material ambient colour that comes out as (r, g, b) under the scene's ambient light.
constexpr D3DCOLORVALUE AmbientFor(float r, float g, float b) {
    return {r / kSceneAmbient.r, g / kSceneAmbient.g, b / kSceneAmbient.b, 1.0f};
}
