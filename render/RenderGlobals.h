// Frame-render state that the window's handlers also reach: the wireframe switch F2 flips and
// the mouse pointer the render projects into camera space each frame.
#pragma once

#include <cstdint>

#include "platform/dx/DxTypes.h"

// Extra wireframe passes after the textured one: 0 or 1.
inline uint8_t WireframePasses = 0;
// The cursor at depth 1.2 in camera space, x and y scaled by 1.33 and rounded to six places.
inline D3DVECTOR PointerPosition;
