#include <gtest/gtest.h>

#include <cmath>

#include "app/PalmAnimation.h"
#include "app/SceneSetup.h"
#include "tests/support/WorldFixture.h"

namespace {

class PalmAnimation_ : public WorldFixture {
  protected:
    void SetUp() override {
        WorldFixture::SetUp();
        Pass();  // the palms exist from the first pass on
    }
    static JointState& Joint(int palm, int joint) {
        return SceneObjects[static_cast<size_t>(palm)].Joints[static_cast<size_t>(joint)];
    }
    // Where each joint's last draw left it.
    static D3DVECTOR PlacedAt(int palm, int joint) {
        return D3DVECTOR{100.0f * palm, 10.0f * joint, -5.0f};
    }
    static void PlaceJoints() {
        for (int j = 0; j < kPalmCount; ++j) {
            for (int i = 0; i <= kLastPalmJoint; ++i) {
                D3DMATRIX& m = Joint(j, i).WorldMatrix;
                const D3DVECTOR p = PlacedAt(j, i);
                m.rc41 = p.x;
                m.rc42 = p.y;
                m.rc43 = p.z;
            }
        }
    }
    // The joint of palm 0 a spawned record started next to, or -1.
    static int SourceJoint(const Animation& a) {
        for (int i = 0; i <= kLastPalmJoint; ++i) {
            const D3DVECTOR p = PlacedAt(0, i);
            if (std::fabs(a.Position.x - p.x) <= 0.1f && std::fabs(a.Position.y - p.y) <= 0.1f &&
                std::fabs(a.Position.z - p.z) <= 0.1f) {
                return i;
            }
        }
        return -1;
    }
};

TEST_F(PalmAnimation_, BurningPalmLeansFurtherThanTheOthers) {
    SceneParams[TrunkPhase] = 37;
    AnimatePalms();
    // Palm 1's first trunk joint sways at the phase of palm 0's third.
    const D3DVECTOR burning = Joint(0, 3).LocalAngles, other = Joint(1, 1).LocalAngles;
    EXPECT_FLOAT_EQ(burning.x, other.x - 8);
    EXPECT_FLOAT_EQ(burning.y, other.y);
    EXPECT_FLOAT_EQ(burning.z, other.z + 10);
    // Joint 0 is left to the model.
    EXPECT_EQ(Joint(0, 0).LocalAngles.x, 0);
}

TEST_F(PalmAnimation_, FrondsTurnAboutTheTrunkAndCurlAlongTheirLength) {
    SceneParams[WaterPhase] = 123;
    AnimatePalms();
    for (int palm = 0; palm < kPalmCount; ++palm) {
        for (int frond = 0; frond < 5; ++frond) {
            const int base = kFirstFrondJoint + 5 * frond;
            const D3DVECTOR b = Joint(palm, base).LocalAngles;
            // 72 degrees apart, carrying on from palm to palm, give or take the ripple.
            EXPECT_NEAR(b.y, 360 * palm + 72 * frond, 4.0f) << palm << "/" << frond;
            EXPECT_NEAR(b.x, palm == 0 ? 0 : -40, 4.0f);
            for (int s = 1; s < 5; ++s) {
                const D3DVECTOR a = Joint(palm, base + s).LocalAngles;
                EXPECT_NEAR(a.x, 10 * s, 4.0f) << palm << "/" << frond << "/" << s;
                EXPECT_NEAR(a.y, 0, 4.0f);
                EXPECT_NEAR(a.z, 2, 4.0f);
            }
        }
    }
}

TEST_F(PalmAnimation_, ResetClearsOnlyThePerFrameStateOfEveryJoint) {
    for (int j = 0; j < kPalmCount; ++j) {
        for (JointState& f : SceneObjects[static_cast<size_t>(j)].Joints) {
            f.LocalPosition = D3DVECTOR{1, 2, 3};
            f.Flags = 3;
            f.WorldMatrix.rc41 = 9;
        }
    }
    ResetObjectFrames();
    for (int j = 0; j < kPalmCount; ++j) {
        for (const JointState& f : SceneObjects[static_cast<size_t>(j)].Joints) {
            ASSERT_EQ(f.LocalPosition.y, 0);
            ASSERT_EQ(f.Flags, 0);
            ASSERT_EQ(f.WorldMatrix.rc41, 9);  // the particles still start from the last draw
        }
    }
}

TEST_F(PalmAnimation_, OnlyTheBurningPalmShedsAndOnlyJoint3ThrowsEmitters) {
    PlaceJoints();
    ResetDrawList();
    NewAnimations.resize(1);
    NewAnimationCount = 0;
    for (int pass = 0; pass < 60; ++pass) AnimatePalms();
    EXPECT_EQ(Items([](const DrawItem& i) { return i.Kind == ItemSceneObject; }).size(), 300u);

    int sparks = 0, embers = 0, emitters = 0;
    for (int32_t n = 1; n <= NewAnimationCount; ++n) {
        const Animation& a = NewAnimations[static_cast<size_t>(n)];
        const int joint = SourceJoint(a);
        ASSERT_GE(joint, 1) << "record " << n << " is not next to a joint of palm 0";
        if (a.Kind == AnimEmitter) {
            ++emitters;
            EXPECT_EQ(joint, 3);
            EXPECT_GT(a.Velocity.y, 0);
        } else if (a.Part == 8) {
            ++sparks;
            EXPECT_EQ(static_cast<uint32_t>(a.Colour), 0xFFFFC080u);
            EXPECT_EQ(a.ItemFlags, FlagBillboard);
        } else {
            ++embers;
            EXPECT_EQ(a.Part, 6);
            EXPECT_EQ(a.ItemFlags, FlagBillboard | FlagShrink);
        }
    }
    // 28 joints over 60 passes: about 420 sparks, 134 embers and 12 emitters.
    EXPECT_GT(sparks, 300);
    EXPECT_GT(embers, 70);
    EXPECT_GT(emitters, 3);
}

}  // namespace
