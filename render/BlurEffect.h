// The blur trail: the finished frame is darkened and a slightly enlarged copy of earlier
// frames is added on top, then the frame is captured for the next one. Runs inside the scene,
// after every item, whenever EffectState is above 0.
#pragma once

#include <cstdint>

// 0 to 32: above 16 the overlay is drawn; 0 switches to copying the whole frame every pass.
inline int32_t EffectLevel = 0;
// The factor the screen quad's colours get: how much of the trail is added each frame.
inline float BlurQuadShade = 0.75f;

void RunBlurEffect();
