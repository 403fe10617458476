// The DirectX objects made once at start-up that every loader and drawing step goes through:
// the display start-up makes DirectDraw and the shared surface description, the device set-up
// makes Direct3D, the depth buffer and the device, and the shutdown releases them all.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/dx/DirectDraw.h"

class Direct3D7;
class Direct3DDevice7;
class Direct3DEnumDevices;
class Direct3DEnumPixelFormats;

// The window handle the cooperative levels name; there is one window.
constexpr int32_t WindowHandle = 1;

inline std::shared_ptr<DirectDraw7> DirectDraw;
inline DDSURFACEDESC2 SurfaceDesc;  // shared by all surface creation

inline std::shared_ptr<Direct3D7> Direct3D;
inline std::shared_ptr<Direct3DEnumDevices> DeviceEnum;
inline std::shared_ptr<Direct3DEnumPixelFormats> ZBufferFormats;
inline std::shared_ptr<DirectDrawSurface7> ZBuffer;
inline std::shared_ptr<Direct3DDevice7> Device;
