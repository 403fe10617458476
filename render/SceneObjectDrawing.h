// Scene objects (draw items of kind 100): the model's vertex groups are placed by the object's
// frame records, transformed and lit into the model's shared transformed buffer, and the whole
// model is drawn from it in one call. Composing a frame leaves its world matrix, position and
// angles in the frame record, where the light and the items carried by a frame find them.
#pragma once

#include <cstdint>

struct DrawItem;

// Frame-record flag bits.
constexpr uint8_t FrameMatrixValid = 1;
constexpr uint8_t FrameVerticesProcessed = 2;

// Draws the scene object of a kind-100 item in the given pass (0 textured, 1 wireframe).
// The item's fog colour, vertex-colour mode and material are already set in pass 0.
void DrawSceneObject(const DrawItem& item, int32_t pass);
