// Draws one frame into the back buffer.
#pragma once

#include <cstdint>

// D3DFILLMODE for scene objects; the world set-up chooses solid (3), the only value used.
inline int32_t FillModeSetting = 0;
// The blur trail: 0 off, 1 on (Ctrl+Alt), 2 under water, 3 fading out.
inline uint8_t EffectState = 0;

void RenderFrame();
