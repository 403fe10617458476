// The mouse pointer in camera space as the previous frame saw it; the frame render moves the
// current position here before it projects the cursor afresh.
#pragma once

#include "platform/dx/DxTypes.h"

inline D3DVECTOR PreviousPointerPosition;
