#include "animation/AnimationKinds.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "animation/Animations.h"
#include "core/Random.h"
#include "core/RuntimeError.h"
#include "core/WholeNumbers.h"
#include "render/Camera.h"
#include "render/DrawList.h"

namespace {

constexpr int16_t kTrue = -1;
constexpr uint8_t kBlendZero = 1, kBlendOne = 2, kBlendInvSrcColor = 4, kBlendSrcAlpha = 5,
                  kBlendInvSrcAlpha = 6;
constexpr int32_t kWhite = 0xFFFFFF;
constexpr int32_t kSparkOrange = static_cast<int32_t>(0xFFFFC080u);

// Only real records: the sentinel in slot 0 is never animated.
Animation& Record(int32_t index) {
    if (index < 1 || index > AnimationCount) throw RuntimeError(rt::SubscriptOutOfRange);
    return Animations[static_cast<size_t>(index)];
}

// Elapsed over duration; a record without duration has reached its end.
float Progress(float elapsed, float duration) {
    return duration == 0 ? 1.0f : elapsed / duration;
}

// Mode numbers are exact values: 1.5 names no rule and leaves the fade as it was.
std::optional<FadeRule> TextFadeRule(float mode) {
    if (mode == 0) return FadeRule::UpDown;
    if (mode == 1) return FadeRule::Rise;
    if (mode == 2) return FadeRule::Fall;
    if (mode == 3) return FadeRule::HalfRise;
    if (mode == 4) return FadeRule::HalfFall;
    return std::nullopt;
}

std::optional<FadeRule> ParticleFadeRule(float mode) {
    if (mode == 1) return FadeRule::Rise;
    if (mode == 2) return FadeRule::Fall;
    if (mode == 3) return FadeRule::HalfRise;
    if (mode == 4) return FadeRule::HalfFall;
    if (mode == 5) return FadeRule::UpDown;
    return std::nullopt;
}

struct OverlayLook {
    std::optional<FadeRule> rule;  // none: drawn at full strength, Fade left alone
    uint8_t srcBlend, destBlend;
    bool screenshot;
};

// Styles 8, 9 and any other value draw nothing.
std::optional<OverlayLook> OverlayStyle(float style) {
    if (style == 0) return OverlayLook{FadeRule::Rise, kBlendOne, kBlendOne, false};
    if (style == 1) return OverlayLook{FadeRule::Fall, kBlendOne, kBlendOne, false};
    if (style == 2) return OverlayLook{std::nullopt, kBlendOne, kBlendOne, false};
    if (style == 3) return OverlayLook{FadeRule::Rise, kBlendZero, kBlendInvSrcColor, false};
    if (style == 4) return OverlayLook{FadeRule::Fall, kBlendZero, kBlendInvSrcAlpha, false};
    if (style == 5) return OverlayLook{std::nullopt, kBlendZero, kBlendInvSrcColor, false};
    if (style == 6) return OverlayLook{FadeRule::UpDown, kBlendOne, kBlendOne, false};
    if (style == 7) return OverlayLook{FadeRule::DownUp, kBlendZero, kBlendInvSrcAlpha, false};
    if (style == 10) return OverlayLook{FadeRule::Fall, kBlendSrcAlpha, kBlendInvSrcAlpha, true};
    return std::nullopt;
}

// Two flat rings on the water surface, growing while they fade.
void QueueRipple(const Animation& a) {
    // A drop without fading makes a full-size ripple without fading, not a negative alpha.
    const bool fading = a.Fade != -1;
    const float scale = fading ? (100 - a.Fade) * 0.01f : 1.0f;
    MeshItemParams p;
    p.kind = 0;
    p.x = a.Position.x;
    p.y = 0;
    p.z = a.Position.z;
    p.setIndex = 1;
    p.partIndex = 8;
    p.textureIndex = 3;
    p.srcBlend = kBlendOne;
    p.destBlend = kBlendOne;
    p.alphaBlend = kTrue;
    p.alpha = fading ? 2.0f * static_cast<float>(a.Fade) : -1.0f;
    p.flags = 0;
    p.colourKey = 0;
    p.parentObject = -1;
    p.parentFrame = 0;
    p.sx = p.sy = p.sz = scale;
    p.colour = -1;
    p.ax = 270;
    AddMeshItem(p);
    p.ax = 90;
    AddMeshItem(p);
}

}  // namespace

int32_t FadeValue(FadeRule rule, float elapsed, float duration) {
    const float half = duration / 2;
    float value = 0;
    switch (rule) {
        case FadeRule::Rise:
            value = Progress(elapsed, duration) * 100;
            break;
        case FadeRule::Fall:
            value = 100 - Progress(elapsed, duration) * 100;
            break;
        case FadeRule::HalfRise:
            value = Progress(elapsed, duration) * 50;
            break;
        case FadeRule::HalfFall:
            value = 50 - Progress(elapsed, duration) * 50;
            break;
        case FadeRule::UpDown:
            value = half > elapsed ? Progress(elapsed, half) * 100
                                   : 100 - Progress(elapsed - half, half) * 100;
            break;
        case FadeRule::DownUp:
            value = half > elapsed ? 100 - Progress(elapsed, half) * 100
                                   : Progress(elapsed - half, half) * 100;
            break;
    }
    return RoundToLong(value);
}

void AnimateText(int32_t index) {
    Animation& a = Record(index);
    if (a.FadeArg == 5) {
        a.Fade = -1;
    } else if (const auto rule = TextFadeRule(a.FadeArg)) {
        a.Fade = FadeValue(*rule, a.Elapsed, a.Duration);
    }
    // Counted in frames, not time, and going on while paused.
    const float length = static_cast<float>(a.Text.size());
    if (a.Size < length) a.Size += 0.25f;
    const size_t shown = static_cast<size_t>(std::clamp(std::floor(static_cast<double>(a.Size)),
                                                        0.0, static_cast<double>(a.Text.size())));
    AddTextItem(a.Text.substr(0, shown), a.Position.x, a.Position.y, a.Position.z, kWhite,
                a.Angle.x, a.Angle.y, a.Angle.z, a.Style, kBlendOne, kBlendOne,
                static_cast<float>(a.Fade), kTrue, kTrue, a.ItemFlags, a.ParentObject,
                a.ParentFrame);
}

void AnimateOverlay(int32_t index) {
    Animation& a = Record(index);
    const std::optional<OverlayLook> look = OverlayStyle(a.Style);
    if (!look) return;
    int32_t fade = 100;
    if (look->rule) {
        a.Fade = FadeValue(*look->rule, a.Elapsed, a.Duration);
        fade = a.Fade;
    }
    MeshItemParams p;
    p.kind = 0;
    p.x = 0;
    p.y = 0;
    p.z = 1;
    p.setIndex = a.Model;
    p.partIndex = a.Part;
    p.textureIndex = look->screenshot ? a.Texture : -1;
    p.srcBlend = look->srcBlend;
    p.destBlend = look->destBlend;
    p.alphaBlend = kTrue;
    p.alpha = static_cast<float>(fade);
    p.flags = a.ItemFlags;
    p.colourKey = 0;
    p.parentObject = -1;
    p.parentFrame = 0;
    p.colour = -1;
    AddMeshItem(p);
}

void AnimateEmitter(int32_t index) {
    const Animation& e = Record(index);
    if (Rnd() >= 0.75f) return;
    const float r1 = Rnd(), r2 = Rnd(), r3 = Rnd();
    SpawnParams p;
    p.kind = AnimParticle;
    p.x = e.Position.x;
    p.y = e.Position.y;
    p.z = e.Position.z;
    p.duration = 16;
    p.colour = kSparkOrange;
    p.style = 2;
    p.itemFlags = FlagBillboard;
    p.velocityX = e.Velocity.x * 0.08f;
    p.velocityY = 0.02f + r1 * 0.03f;
    p.velocityZ = e.Velocity.z * 0.08f;
    p.spinZ = r2 * 4 - 2;
    p.modelValue = 1;
    p.partValue = 8;
    p.textureValue = 2;
    p.fadeValue = 1;
    p.size = 0.4f + r3 * 0.4f;
    p.parentObject = -1;
    SpawnAnimation(p);
}

void AnimateParticle(int32_t index) {
    Animation& a = Record(index);
    if (IsRainDrop(a)) PointAlongVelocity(a);
    if (a.Style == 0) {
        a.Fade = a.FadeArg < 2 ? -1 : RoundToLong(a.FadeArg);
    } else if (const auto rule = ParticleFadeRule(a.Style)) {
        a.Fade = FadeValue(*rule, a.Elapsed, a.Duration);
    }
    float size = a.Size;
    if ((a.ItemFlags & FlagShrink) != 0) size = (1 - Progress(a.Elapsed, a.Duration)) * a.Size;
    if ((a.ItemFlags & FlagCameraRelative) != 0 && (a.ItemFlags & FlagBillboard) != 0) {
        a.Angle.z = 0.5f * ViewedYaw();  // the yaw drawn, as the sun and flare follow it
    }

    if (IsRainDrop(a) && a.Position.y < 0) {
        QueueRipple(a);
        a.Velocity.x *= 0.5f;
        a.Velocity.z *= 0.5f;
        return;
    }
    MeshItemParams p;
    p.kind = 0;
    p.x = a.Position.x;
    p.y = a.Position.y;
    p.z = a.Position.z;
    p.setIndex = a.Model;
    p.partIndex = a.Part;
    p.textureIndex = a.Texture;
    p.srcBlend = kBlendOne;
    p.destBlend = a.Model == 3 ? kBlendInvSrcColor : kBlendOne;
    p.alphaBlend = a.FadeArg != 0 ? kTrue : 0;
    p.alpha = static_cast<float>(a.Fade);
    p.flags = a.ItemFlags;
    p.colourKey = kTrue;
    p.parentObject = a.ParentObject;
    p.parentFrame = a.ParentFrame;
    p.ax = a.Angle.x;
    p.ay = a.Angle.y;
    p.az = a.Angle.z;
    p.sx = p.sy = p.sz = size;
    p.colour = a.Colour;
    p.rotationOrder = a.RotationOrder;
    p.followIndex = a.FollowIndex;
    p.px = a.Pivot.x;
    p.py = a.Pivot.y;
    p.pz = a.Pivot.z;
    a.DrawItemIndex = AddMeshItem(p);
}
