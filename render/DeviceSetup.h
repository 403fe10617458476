// The 3D device on the back buffer and the state every frame starts from.
#pragma once

#include "core/DirectXObjects.h"
#include "platform/dx/DxTypes.h"

inline D3DVIEWPORT7 Viewport;
inline D3DRECT ClearRect;
inline D3DLIGHT7 SunLight;
inline D3DLIGHT7 SceneLight;
inline D3DMATERIAL7 SceneMaterial;
inline D3DMATRIX ViewMatrix;
inline D3DMATRIX ProjectionMatrix;
inline D3DMATRIX WorldMatrix;
inline D3DMATRIX RenderWorldMatrix;  // the frame render's own copy

void SetUpDevice();
