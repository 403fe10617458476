// The main loop's clock, pause state and cursor, and the key test every module reads. The loop
// writes these once a pass; everything else only reads them (tests set them directly).
#pragma once

#include <cstdint>

#include "platform/dx/DxTypes.h"

inline int32_t FrameCount = 0;  // passes since the loop started
inline int32_t LastTick = 0;    // tick count at the previous pass
inline int32_t FrameMs = 0;     // milliseconds since the previous pass
inline float FrameScale = 0;    // FrameMs * SpeedFactor: 1.0 is 25 ms
// The same clock in microseconds, for the camera: whole milliseconds would make its moves swing
// from frame to frame at high refresh rates.
inline uint64_t LastTickUs = 0;  // microsecond clock at the previous pass
inline int64_t FrameUs = 0;      // microseconds since the previous pass
inline uint8_t PauseState = 0;   // 0 running, 1 pausing, 2 paused, 3 resuming
inline POINTAPI CursorPos;

constexpr int KeyP = 80;

// True while the key is held: the 16-bit state is below -1 (top bit set).
bool KeyDown(int key);
// True only when the key's state is exactly 0 (a press since the last read keeps it non-zero).
bool KeyReleased(int key);
