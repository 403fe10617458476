// The 3D device on the back buffer and the state every frame starts from.
#pragma once

#include <memory>

#include "platform/dx/DxTypes.h"

class Direct3D7;
class Direct3DDevice7;
class Direct3DEnumDevices;
class Direct3DEnumPixelFormats;
class DirectDrawSurface7;

inline std::shared_ptr<Direct3D7> Direct3D;
inline std::shared_ptr<Direct3DEnumDevices> DeviceEnum;
inline std::shared_ptr<Direct3DEnumPixelFormats> ZBufferFormats;
inline std::shared_ptr<DirectDrawSurface7> ZBuffer;
inline std::shared_ptr<Direct3DDevice7> Device;
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
// Releases the device and its enumerations, in the shutdown's order.
void ReleaseDevice();
