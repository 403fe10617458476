// The scene built on the first pass: the palm model, the five palms, the turning sky, the key
// help and the fade-in.
#pragma once

#include "platform/dx/DxTypes.h"

// Where a palm stands.
struct PalmPlacement {
    const char* name;
    D3DVECTOR position;
    D3DVECTOR rotation;  // degrees
    D3DVECTOR scale;
};

constexpr int kPalmCount = 5;

constexpr PalmPlacement kPalmPlacements[kPalmCount] = {
    {"Char1", {27, 6, -17.5f}, {0, 40, 0}, {1, 1.4f, 1}},
    {"Char2", {-25, 3.6f, 4}, {0, 20, 0}, {1, 1.5f, 1}},
    {"Char3", {-32, 3.2f, 1.5f}, {0, 90, 0}, {1.75f, 2, 1.75f}},
    {"Char4", {-4, 1.2f, 8}, {-10, 10, 0}, {1, 1.2f, 1}},
    {"Char5", {21, 6.65f, -24}, {-20, 40, 5}, {1.1f, 2.5f, 1.1f}},
};

// Runs once, while WorldFrame is 0, and leaves WorldFrame at 1. With Ctrl and Shift held the
// built-in triangle is loaded instead of the palm model, and the scene runs without palms.
void SetUpScene();

// True when scene object index holds an object; the palm steps skip palms that were never made.
bool SceneObjectExists(int index);
