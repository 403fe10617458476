// Animation records: everything that lives for a limited time and moves by itself (floating
// text, full-screen fades, emitters and the particles they throw). Records are spawned into
// NewAnimations, join Animations at the next pass, are advanced and handed to their kind
// procedure once per frame, and are removed on the pass after their time runs out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dx/DxTypes.h"

enum AnimationKind : uint8_t {
    AnimText = 1,
    AnimOverlay = 5,
    AnimEmitter = 9,
    AnimParticle = 10,
};

// Bits of DelayFlags: which delays were asked for at the spawn.
constexpr uint8_t DelayHold = 1;
constexpr uint8_t DelayStart = 2;

// GroundMode: what happens at y = -1.
enum GroundResponse : uint8_t {
    GroundNone = 0,
    GroundBounce = 1,
    GroundLand = 2,
};

// ItemFlags bit that only particles read: shrink to nothing over the life.
constexpr uint8_t FlagShrink = 64;

// State: a finished record is removed on the next pass; element 0 of Animations is a sentinel.
constexpr int32_t AnimationFinished = 0;
constexpr int32_t AnimationRunning = 1;
constexpr int32_t AnimationSentinel = 2;

struct Animation {
    uint8_t Kind = 0;
    D3DVECTOR Position{};
    D3DVECTOR Velocity{};      // per FrameScale unit
    D3DVECTOR Acceleration{};  // per FrameScale unit
    D3DVECTOR Angle{};         // degrees, kept in 0..360
    D3DVECTOR Spin{};          // degrees per FrameScale unit
    D3DVECTOR Pivot{};
    float Style = 0;  // text: size; overlay and particle: fade mode
    float ModelArg = 0;
    float PartArg = 0;
    float TextureArg = 0;
    float FadeArg = 0;  // text: fade mode; particle: fixed alpha percent, non-zero = blended
    float Size = 0;     // text: characters revealed; particle: sprite size
    float AccelScale = 0;
    int16_t Model = 0;
    int16_t Part = 0;
    int32_t Texture = 0;  // -1: none
    float Duration = 0;
    float Elapsed = 0;
    float StartDelay = 0;
    float HoldDelay = 0;
    uint8_t DelayFlags = 0;
    uint8_t GroundMode = 0;
    int32_t Fade = 0;  // alpha percent of this frame; -1: no fading
    int32_t State = 0;
    uint8_t ItemFlags = 0;
    std::string Text{};
    int32_t ParentObject = 0;
    int32_t ParentFrame = 0;
    int32_t FollowIndex = 0;
    int32_t DrawItemIndex = 0;  // the item made for the record in this frame, 0 = none
    uint8_t RotationOrder = 0;
    int32_t Colour = 0;
};

// Indices 0..AnimationCount; element 0 is the sentinel, never a record.
inline std::vector<Animation> Animations(1);
inline int32_t AnimationCount = 0;
// Records spawned since the last pass, indices 1..NewAnimationCount.
inline std::vector<Animation> NewAnimations(1);
inline int32_t NewAnimationCount = 0;

// Both lists back to their sentinel element 0; also lets the frame render find the items that
// records queued (FollowedDrawItem).
void ResetAnimationTables();

// The arguments of a spawn, in their traditional order. The defaults are what almost every
// caller passes: no colour of its own and no parent object.
struct SpawnParams {
    uint8_t kind = 0;
    float x = 0, y = 0, z = 0;
    int32_t duration = 0;
    int32_t colour = -1;
    float style = 0;
    uint8_t itemFlags = 0;
    float velocityX = 0, velocityY = 0, velocityZ = 0;
    float accelerationX = 0, accelerationY = 0, accelerationZ = 0;
    float spinX = 0, spinY = 0, spinZ = 0;
    std::string text{};
    float modelValue = 0;
    float partValue = 0;
    float textureValue = 0;
    float fadeValue = 0;
    float size = 0;
    float accelScaleBits = 0;
    int32_t parentObject = -1;
    int32_t parentFrame = 0;
    int32_t holdDelay = 0;
    int32_t startDelay = 0;
    uint8_t groundMode = 0;
    int32_t followIndex = 0;
    float pivotX = 0, pivotY = 0, pivotZ = 0;
};

// Queues a new record for the next pass and returns AnimationCount + NewAnimationCount.
// While the animations are paused nothing is queued and the result is 0.
int32_t SpawnAnimation(const SpawnParams& p);

// Once per frame: joins the new records, removes finished ones, advances the running ones
// (unless paused) and lets each kind queue its drawing.
void UpdateAnimations();

// One frame of time and motion for a record.
void AdvanceAnimation(Animation& record);

// Moves the last record into the slot; the list's order is not kept.
void RemoveAnimation(int32_t index);

// Rain drops (set 1, part 9) point along their path.
inline bool IsRainDrop(const Animation& record) {
    return record.Model == 1 && record.Part == 9;
}
// Sets the X and Y angles from the velocity: the pitch and yaw of the path.
void PointAlongVelocity(Animation& record);
