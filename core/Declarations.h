// Shared records, the globals Main sets, and the small pure helpers every module uses.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/dx/DirectX7.h"
#include "platform/dx/DxTypes.h"

// Set by Main.
inline std::string AppPath;  // the executable's folder followed by one "/"
inline std::unique_ptr<DirectX7> DX;
inline float SpeedFactor = 0.04f;
inline D3DVECTOR ParticleDrift;

// Set by the display start-up and the device set-up.
inline int32_t RenderWidth = 640;
inline int32_t RenderHeight = 480;
inline float PixelScale = 2.0f / 640.0f;

// The scene's fog colour; the frame render also clears with it.
inline int32_t BackgroundColor = 0;

D3DMATRIX MakeMatrix(float rc11, float rc12, float rc13, float rc14, float rc21, float rc22,
                     float rc23, float rc24, float rc31, float rc32, float rc33, float rc34,
                     float rc41, float rc42, float rc43, float rc44);
D3DMATRIX SetMatrixTranslation(const D3DMATRIX& m, float x, float y, float z);
D3DVECTOR ScreenToWorld(float sx, float sy, float z);
D3DVECTOR ScreenToWorldRounded(float sx, float sy, float z);
// The angle of a as seen from b: pitch for mode 1, yaw otherwise (radians).
float AngleBetween(const D3DVECTOR& a, const D3DVECTOR& b, uint8_t mode);

constexpr double DegToRad = 0.01745329251993889;
constexpr double RadToDeg = 57.29577951309679;
