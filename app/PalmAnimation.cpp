#include "app/PalmAnimation.h"

#include <algorithm>
#include <cmath>

#include "animation/Animations.h"
#include "app/SceneSetup.h"
#include "app/World.h"
#include "core/Declarations.h"
#include "core/Random.h"
#include "core/WholeNumbers.h"
#include "render/DrawList.h"
#include "resources/SceneObjects.h"

namespace {

constexpr int kBurningPalm = 0;
// The joint that throws the small emitters: high in the trunk, where the fire is.
constexpr int kEmitterJoint = 3;
constexpr int kFrondSegments = 5;

double SinDeg(double a) {
    return std::sin(a * DegToRad);
}
double CosDeg(double a) {
    return std::cos(a * DegToRad);
}

// One correction only, as every phase of the world.
double WrapOnce(double a) {
    if (a > 360) return a - 360;
    if (a < 0) return a + 360;
    return a;
}

// Sparks and embers rise from every joint of the burning palm; the joint's position is where
// the previous frame's draw left it (the origin before the first draw).
void ShedParticles(const D3DVECTOR& p, int joint) {
    if (Rnd() < 0.25f) {
        float r[9];
        for (float& v : r) v = Rnd();
        SpawnAnimation({.kind = AnimParticle,
                        .x = p.x + 0.2f * r[0] - 0.1f,
                        .y = p.y + 0.2f * r[1] - 0.1f,
                        .z = p.z + 0.2f * r[2] - 0.1f,
                        .duration = 16 + RoundToLong(16 * r[3]),
                        .colour = static_cast<int32_t>(0xFFFFC080u),
                        .style = 2,
                        .itemFlags = FlagBillboard,
                        .velocityX = 0.1f * r[4] - 0.05f,
                        .velocityY = 0.1f * r[5] + 0.05f,
                        .velocityZ = 0.1f * r[6] - 0.05f,
                        .spinZ = 4 * r[7] - 2,
                        .modelValue = 1,
                        .partValue = 8,
                        .textureValue = 2,
                        .fadeValue = 1,
                        .size = 0.5f * r[8] + 0.5f});
    }
    if (Rnd() < 0.08f) {
        float r[9];
        for (float& v : r) v = Rnd();
        SpawnAnimation({.kind = AnimParticle,
                        .x = p.x + 0.2f * r[0] - 0.1f,
                        .y = p.y + 0.2f * r[1] - 0.1f,
                        .z = p.z + 0.2f * r[2] - 0.1f,
                        .duration = 16 + RoundToLong(16 * r[3]),
                        .colour = static_cast<int32_t>(0xFFFF4020u),
                        .style = 2,
                        .itemFlags = FlagBillboard | FlagShrink,
                        .velocityX = 0.2f * r[4] - 0.1f,
                        .velocityY = 0.1f * r[5] + 0.02f,
                        .velocityZ = 0.1f * r[6] - 0.05f,
                        .spinZ = 4 * r[7] - 2,
                        .modelValue = 1,
                        .partValue = 6,
                        .textureValue = 2,
                        .fadeValue = 1,
                        .size = 0.04f * r[8] + 0.08f});
    }
    if (joint == kEmitterJoint && Rnd() < 0.2f) {
        float r[7];
        for (float& v : r) v = Rnd();
        SpawnAnimation({.kind = AnimEmitter,
                        .x = p.x + 0.2f * r[0] - 0.1f,
                        .y = p.y + 0.2f * r[1] - 0.1f,
                        .z = p.z + 0.2f * r[2] - 0.1f,
                        .duration = 40 + RoundToLong(20 * r[3]),
                        .colour = -1,
                        .style = 0,
                        .itemFlags = 0,
                        .velocityX = 0.2f * r[4] - 0.1f,
                        .velocityY = 0.2f * r[5] + 0.2f,
                        .velocityZ = 0.2f * r[6] - 0.1f,
                        .accelerationY = -0.01f});
    }
}

// The trunk sways with the trunk phase, each joint and each palm a little later. The burning
// palm leans further over.
D3DVECTOR TrunkAngles(int palm, int joint) {
    const float a = SceneParams[ScratchAngle] =
        static_cast<float>(SceneParams[TrunkPhase] + 10.0 * joint + 20.0 * palm);
    const double s = SinDeg(a), c = CosDeg(a);
    D3DVECTOR angles{static_cast<float>(2 * s + 2), static_cast<float>(2 * s),
                     static_cast<float>(2 * c + 5)};
    if (palm == kBurningPalm) {
        angles.x -= 8;
        angles.z += 10;
    }
    return angles;
}

// Each frond turns 72 degrees further about the trunk than the one before and curls 10 degrees
// more at every segment; all of them ripple with the water phase. The leaf counter and the
// azimuth carry on from palm to palm, so no two palms ripple in step.
D3DVECTOR FrondAngles(int palm, int joint) {
    float& counter = SceneParams[LeafCounter];
    float& azimuth = SceneParams[FrondAzimuth];
    const float a = SceneParams[ScratchAngle] = static_cast<float>(
        WrapOnce(10.0 * counter + SceneParams[WaterPhase] + azimuth / 72.0 * 20 + 20.0 * palm));
    const double s = SinDeg(a), c = CosDeg(a);
    D3DVECTOR angles;
    if ((joint + 1) % kFrondSegments == 0) {
        // A frond's base: the other palms' fronds rise 40 degrees from the crown.
        angles.x = static_cast<float>(palm == kBurningPalm ? 4 * s : 4 * s - 40);
        angles.y = static_cast<float>(azimuth + 4 * s);
        counter = 0;
        azimuth += 72;
    } else {
        angles.x = static_cast<float>(10.0 * counter + 4 * s);
        angles.y = static_cast<float>(4 * s);
    }
    counter += 1;
    angles.z = static_cast<float>(4 * c + 2);
    return angles;
}

}  // namespace

void ResetObjectFrames() {
    const int32_t last =
        std::min<int32_t>(LastSceneObjectIndex, static_cast<int32_t>(SceneObjects.size()) - 1);
    for (int32_t o = 0; o <= last; ++o) {
        SceneObject& object = SceneObjects[static_cast<size_t>(o)];
        const size_t count = std::min<size_t>(
            static_cast<size_t>(std::max<int16_t>(object.JointCount, 0)), object.Joints.size());
        for (size_t f = 0; f < count; ++f) {
            object.Joints[f].LocalPosition = D3DVECTOR{};
            object.Joints[f].Flags = 0;
        }
    }
}

void AnimatePalms() {
    SceneParams[LeafCounter] = 0;
    SceneParams[FrondAzimuth] = 0;
    for (int palm = 0; palm < kPalmCount; ++palm) {
        // A palm that was never made (Ctrl+Shift at start) has nothing to draw or bend.
        if (!SceneObjectExists(palm)) continue;
        AddObjectItem(palm, 0, -1, 2, 2);
        SceneObject& object = SceneObjects[static_cast<size_t>(palm)];
        const int last = std::min<int>(kLastPalmJoint, static_cast<int>(object.Joints.size()) - 1);
        for (int joint = kFirstTrunkJoint; joint <= last; ++joint) {
            JointState& frame = object.Joints[static_cast<size_t>(joint)];
            if (palm == kBurningPalm) {
                const D3DMATRIX& m = frame.WorldMatrix;
                ShedParticles(D3DVECTOR{m.rc41, m.rc42, m.rc43}, joint);
            }
            frame.LocalAngles =
                joint < kFirstFrondJoint ? TrunkAngles(palm, joint) : FrondAngles(palm, joint);
        }
    }
}
