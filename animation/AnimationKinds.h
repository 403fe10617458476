// The four kinds of animation record. Each procedure works on Animations(index) after its time
// and motion step: it works out the record's fade for this frame and queues its drawing into the
// DrawList; the emitter draws nothing and throws particles instead. All of them also run while
// the animations are paused, so paused records stay on screen.
#pragma once

#include <cstdint>

// The fade rules, as alpha percents of elapsed over duration. A record whose duration is 0 is
// at its end from the start, so it gets the rule's final value.
enum class FadeRule : uint8_t { Rise, Fall, HalfRise, HalfFall, UpDown, DownUp };
int32_t FadeValue(FadeRule rule, float elapsed, float duration);

// Floating 3D text that types itself out a quarter character per frame and fades.
void AnimateText(int32_t index);
// A full-screen quad fading over the picture.
void AnimateOverlay(int32_t index);
// An invisible source of orange sparks.
void AnimateEmitter(int32_t index);
// A sprite or small model; a rain drop below the water surface becomes a ripple.
void AnimateParticle(int32_t index);
