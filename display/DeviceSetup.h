// The 3D device on the back buffer and the state every frame starts from.
#pragma once

#include "platform/dx/DxTypes.h"

// The material of the wireframe pass; the world set-up gives it its colours and the palms.
inline D3DMATERIAL7 SceneMaterial;

void SetUpDevice();
