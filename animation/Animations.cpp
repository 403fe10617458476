#include "animation/Animations.h"

#include <cmath>
#include <limits>
#include <utility>

#include "animation/AnimationKinds.h"
#include "animation/FollowedDrawItem.h"
#include "core/Declarations.h"
#include "core/LoopState.h"
#include "core/Random.h"
#include "core/RuntimeError.h"
#include "core/Tables.h"
#include "core/WholeNumbers.h"
#include "display/Display.h"
#include "render/DrawList.h"
#include "resources/GeometrySets.h"
#include "resources/Surfaces.h"

namespace {

constexpr float kGroundY = -1.0f;

// The screenshot fade starts from the frame as it was when the key was pressed: the whole
// back buffer goes into the "BGT2" texture. Without a surface there is nothing to copy into.
void CopyBackBufferTo(int32_t textureIndex) {
    SurfaceRecord& texture = At(TextureList, textureIndex);
    if (!texture.Surface || !BackBuffer) return;
    if (texture.Frames.empty()) {
        texture.Surface->Blt(nullptr, BackBuffer.get(), &ScreenRect, DDBLT_WAIT);
        return;
    }
    const SurfaceFrame& f = texture.Frames.front();
    const RECT dest{f.Left, f.Top, f.Right, f.Bottom};
    texture.Surface->Blt(&dest, BackBuffer.get(), &ScreenRect, DDBLT_WAIT);
}

void SetUpOverlay(Animation& a) {
    a.Model = At(CommonSets, 0);
    a.ItemFlags = FlagScreenSpace;
    if (a.Style == 10) {
        a.Texture = At(BackgroundTextures, 1);
        CopyBackBufferTo(a.Texture);
    }
}

void SetUpParticle(Animation& a) {
    a.Model = RoundToInteger(a.ModelArg);
    a.Part = RoundToInteger(a.PartArg);
    a.Texture = RoundToLong(a.TextureArg);
    const int32_t bits = RoundToLong(a.AccelScale);
    if (a.Velocity.x != 0 && (bits & 1) != 0) a.Acceleration.x *= a.Velocity.x;
    if (a.Velocity.y != 0 && (bits & 2) != 0) a.Acceleration.y *= a.Velocity.y;
    if (a.Velocity.z != 0 && (bits & 4) != 0) a.Acceleration.z *= a.Velocity.z;
    // For model 2 the X spin argument is a fixed start angle, not a spin.
    if (a.Model == 2) {
        a.Angle.x = a.Spin.x;
        a.Spin.x = 0;
    }
    if (a.Velocity.x != 0) a.Acceleration.x += ParticleDrift.x;
    if (a.Velocity.z != 0) a.Acceleration.z += ParticleDrift.z;
    if (IsRainDrop(a)) PointAlongVelocity(a);
}

// One correction only, so an angle exactly at 360 stays there.
float WrapAngle(float a) {
    if (a < 0) return a + 360.0f;
    if (a > 360) return a - 360.0f;
    return a;
}

// Contact with the ground plane: friction on the spins and the horizontal speed, a rebound or
// a landing, and at rest the record lies at y = -1, flat when it is nearly flat.
void RespondToGround(Animation& a) {
    if (std::fabs(a.Spin.x) > 2) a.Spin.x *= 0.75f;
    // While on the ground a spinning record keeps rolling until it lies flat.
    if (std::fabs(a.Spin.x) > 0 && std::fabs(a.Spin.x) < 2) a.Spin.x = a.Spin.x > 0 ? 2.0f : -2.0f;
    a.Spin.y *= 0.9f;
    a.Spin.z *= 0.95f;
    a.Velocity.x *= 0.75f;
    a.Velocity.z *= 0.75f;
    a.Velocity.y = a.GroundMode == GroundBounce ? -a.Velocity.y * 0.6f : a.Velocity.y * 0.5f;
    a.Acceleration.y *= 0.98f;
    if (a.Velocity.y < 0.001f) {
        if (a.Angle.x > 88 && a.Angle.x < 92) {
            a.Angle.x = 90;
            a.Spin.x = 0;
        } else if (a.Angle.x > 268 && a.Angle.x < 272) {
            a.Angle.x = 270;
            a.Spin.x = 0;
        }
        a.Acceleration.y = 0;
        a.Velocity.y = 0;
        a.Position.y = kGroundY;
    }
}

void AnimateByKind(int32_t index) {
    switch (Animations[static_cast<size_t>(index)].Kind) {
        case AnimText:
            AnimateText(index);
            break;
        case AnimOverlay:
            AnimateOverlay(index);
            break;
        case AnimEmitter:
            AnimateEmitter(index);
            break;
        case AnimParticle:
            AnimateParticle(index);
            break;
        default:
            break;
    }
}

}  // namespace

void PointAlongVelocity(Animation& a) {
    const D3DVECTOR origin{0, 0, 0};
    const float pitch = AngleBetween(origin, a.Velocity, 1);
    const float yaw = AngleBetween(origin, a.Velocity, 0);
    a.Angle.x = static_cast<float>(360.0 - pitch * RadToDeg);
    a.Angle.y = static_cast<float>(180.0 - yaw * RadToDeg);
}

int32_t SpawnAnimation(const SpawnParams& p) {
    Randomize();
    if (PauseState != 0) return 0;

    Animation a;
    a.Kind = p.kind;
    a.Position = {p.x, p.y, p.z};
    a.Duration = static_cast<float>(p.duration);
    a.Elapsed = 0;
    a.Colour = p.colour;
    a.Style = p.style;
    a.ItemFlags = p.itemFlags;
    a.Velocity = {p.velocityX, p.velocityY, p.velocityZ};
    a.Acceleration = {p.accelerationX, p.accelerationY, p.accelerationZ};
    a.Spin = {p.spinX, p.spinY, p.spinZ};
    a.Text = p.text;
    a.ModelArg = p.modelValue;
    a.PartArg = p.partValue;
    a.TextureArg = p.textureValue;
    a.FadeArg = p.fadeValue;
    a.Size = p.size;
    a.AccelScale = p.accelScaleBits;
    a.ParentObject = p.parentObject;
    a.ParentFrame = p.parentFrame;
    a.HoldDelay = static_cast<float>(p.holdDelay);
    a.StartDelay = static_cast<float>(p.startDelay);
    a.GroundMode = p.groundMode;
    a.FollowIndex = p.followIndex;
    a.Pivot = {p.pivotX, p.pivotY, p.pivotZ};
    if (a.HoldDelay > 0) a.DelayFlags |= DelayHold;
    if (a.StartDelay > 0) a.DelayFlags |= DelayStart;

    // The set-ups may fail (a missing texture slot, a value too large for its field); the record
    // is queued only once it is complete.
    if (a.Kind == AnimOverlay) SetUpOverlay(a);
    if (a.Kind == AnimParticle) SetUpParticle(a);
    // A bouncing record always falls.
    if (a.GroundMode == GroundBounce) {
        a.Acceleration.y = a.Acceleration.y == 0 ? -0.02f : -std::fabs(a.Acceleration.y);
    }
    a.State = AnimationRunning;

    if (NewAnimationCount == std::numeric_limits<int32_t>::max()) throw RuntimeError(rt::Overflow);
    ++NewAnimationCount;
    NewAnimations.resize(static_cast<size_t>(NewAnimationCount) + 1);
    NewAnimations[static_cast<size_t>(NewAnimationCount)] = std::move(a);
    const int64_t total = static_cast<int64_t>(AnimationCount) + NewAnimationCount;
    if (total > std::numeric_limits<int32_t>::max()) throw RuntimeError(rt::Overflow);
    return static_cast<int32_t>(total);
}

void UpdateAnimations() {
    // Records spawned since the last pass join now; those spawned during this pass (by
    // emitters) wait for the next one.
    for (size_t i = 1; i < NewAnimations.size(); ++i) {
        if (AnimationCount == std::numeric_limits<int32_t>::max()) {
            throw RuntimeError(rt::Overflow);
        }
        ++AnimationCount;
        Animations.push_back(std::move(NewAnimations[i]));
    }
    NewAnimations.assign(1, Animation{});
    NewAnimationCount = 0;

    if (AnimationCount <= 0) return;
    const int32_t last = AnimationCount;
    for (int32_t index = 1; index <= last; ++index) {
        if (index > AnimationCount) continue;
        if (At(Animations, index).State == AnimationFinished) {
            RemoveAnimation(index);
            if (index > AnimationCount) break;
            // The slot now holds the former last record, which is handled right here.
        }
        Animation& a = At(Animations, index);
        if (a.State != AnimationRunning) continue;
        if (PauseState == 0) AdvanceAnimation(a);
        // The draw list is emptied every frame, so an item index from an earlier frame would
        // name somebody else's item.
        a.DrawItemIndex = 0;
        AnimateByKind(index);
    }
}

void AdvanceAnimation(Animation& a) {
    const float dt = FrameScale;
    if ((a.DelayFlags & DelayStart) != 0 && a.StartDelay > 0) {
        a.StartDelay -= dt;
    } else {
        a.Elapsed += dt;
        if (a.Elapsed >= a.Duration) {
            a.State = AnimationFinished;
            a.Elapsed = a.Duration;
        }
    }
    // Held records stand still while their time runs.
    if ((a.DelayFlags & DelayHold) != 0 && a.HoldDelay > 0) {
        a.HoldDelay -= dt;
        return;
    }

    const float ax = a.Angle.x + dt * a.Spin.x;
    const float ay = a.Angle.y + dt * a.Spin.y;
    const float az = a.Angle.z + dt * a.Spin.z;
    a.Angle = {WrapAngle(ax), WrapAngle(ay), WrapAngle(az)};

    // Velocity first, position last.
    a.Velocity.x += dt * a.Acceleration.x;
    a.Velocity.y += dt * a.Acceleration.y;
    a.Velocity.z += dt * a.Acceleration.z;
    const bool onGround = a.GroundMode != GroundNone && a.Position.y <= kGroundY;
    if (onGround) RespondToGround(a);
    // A landed record at rest stops rolling now and then instead of always rolling until it lies
    // flat, so landings end at varied angles.
    const float r = Rnd();
    if (onGround && a.GroundMode == GroundLand && a.Velocity.y == 0 && r < 0.1f) a.Spin.x = 0;

    a.Position.x += dt * a.Velocity.x;
    a.Position.y += dt * a.Velocity.y;
    a.Position.z += dt * a.Velocity.z;
}

void RemoveAnimation(int32_t index) {
    if (index < 1 || index > AnimationCount) throw RuntimeError(rt::SubscriptOutOfRange);
    if (index != AnimationCount) {
        Animations[static_cast<size_t>(index)] =
            std::move(Animations[static_cast<size_t>(AnimationCount)]);
    }
    --AnimationCount;
    Animations.resize(static_cast<size_t>(AnimationCount) + 1);
}

void ResetAnimationTables() {
    ResetTable(Animations, AnimationCount);
    ResetTable(NewAnimations, NewAnimationCount);
    Animations[0].State = AnimationSentinel;
    FollowedDrawItemLookup = FollowedDrawItem;
}

int32_t FollowedDrawItem(int32_t followIndex) {
    if (followIndex < 1 || followIndex > AnimationCount) return 0;
    const int32_t item = Animations[static_cast<size_t>(followIndex)].DrawItemIndex;
    if (item < 1 || item > DrawItemCount) return 0;
    return item;
}
