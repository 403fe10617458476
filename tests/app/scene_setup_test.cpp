#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/SceneSetup.h"
#include "tests/support/WorldFixture.h"

namespace {

class SceneSetup_ : public WorldFixture {
  protected:
    // The set-up's own records: the sky, the help text and the fade-in. Everything else in
    // the first passes comes from the burning palm.
    static bool FromSetUp(const Animation& a) {
        return a.Kind == AnimText || a.Kind == AnimOverlay ||
               (a.Kind == AnimParticle && a.Model == 3);
    }
    static int CountKind(uint8_t kind) {
        int n = 0;
        for (int32_t i = 1; i <= AnimationCount; ++i) {
            n += Animations[i].Kind == kind && FromSetUp(Animations[i]) ? 1 : 0;
        }
        return n;
    }
    static const Animation* FirstOfKind(uint8_t kind) {
        for (int32_t i = 1; i <= AnimationCount; ++i) {
            if (Animations[i].Kind == kind && FromSetUp(Animations[i])) return &Animations[i];
        }
        return nullptr;
    }
};

TEST_F(SceneSetup_, FirstPassPlacesFivePalmsAndStartsSkyHelpAndFadeIn) {
    Pass();
    ASSERT_EQ(LastSceneObjectIndex, 4);
    for (int j = 0; j < kPalmCount; ++j) {
        const SceneObject& palm = SceneObjects[static_cast<size_t>(j)];
        EXPECT_EQ(palm.ObjectName, "Char" + std::to_string(j + 1));
        EXPECT_GE(palm.JointCount, 29);  // every palm bends joints 1 to 28
        EXPECT_EQ(palm.StyleFlag, j == 0 ? 0 : 1);
    }
    // The burning palm is darker than the scene material the others keep.
    EXPECT_FLOAT_EQ(SceneObjects[0].Material.diffuse.g, 0.3f);
    EXPECT_FLOAT_EQ(SceneObjects[1].Material.ambient.r, 0.5f);
    EXPECT_EQ(FillModeSetting, 3);
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_DITHERENABLE), -1);
    EXPECT_EQ(WorldFrame, 2);

    EXPECT_EQ(CountKind(AnimParticle), 1);
    ASSERT_EQ(CountKind(AnimText), 1);
    ASSERT_EQ(CountKind(AnimOverlay), 1);
    const Animation& sky = *FirstOfKind(AnimParticle);
    EXPECT_EQ(sky.Texture, EffectTextures[2]);
    EXPECT_EQ(sky.ItemFlags, FlagCameraRelative | FlagFarDepth);
    // The key help exactly as shown, "@" breaking its lines.
    EXPECT_EQ(FirstOfKind(AnimText)->Text,
              "A - Forward@Z - Backward@^_{} to Turn@Alt + Direction - Strafe@P - Pause "
              "Animations@F2 - WireFrame@TAB - Default Camera Pos@SPACE - ScreenShot Fade");
    EXPECT_EQ(FirstOfKind(AnimOverlay)->Elapsed, 0);  // the fade-in waits before it counts

    // Later passes never build the scene again.
    Passes(3);
    EXPECT_EQ(LastSceneObjectIndex, 4);
    EXPECT_EQ(LastModelIndex, 0);
    EXPECT_EQ(CountKind(AnimText), 1);
    EXPECT_EQ(CountKind(AnimOverlay), 1);
}

TEST_F(SceneSetup_, PausedFirstPassStillStartsSkyHelpAndFadeInWhichWaitForTheEnd) {
    PauseState = 1;  // P held as the first frame starts
    Passes(3);
    EXPECT_EQ(LastSceneObjectIndex, 4);
    EXPECT_EQ(WorldFrame, 1);
    // Only the set-up's own records: the palm's sparks are refused while paused.
    EXPECT_EQ(AnimationCount, 3);
    EXPECT_EQ(CountKind(AnimParticle), 1);
    EXPECT_EQ(CountKind(AnimText), 1);
    ASSERT_EQ(CountKind(AnimOverlay), 1);
    EXPECT_FLOAT_EQ(FirstOfKind(AnimOverlay)->StartDelay, 100);  // time stands still
    EXPECT_FLOAT_EQ(FirstOfKind(AnimParticle)->Elapsed, 0);

    PauseState = 0;
    Pass();
    EXPECT_EQ(WorldFrame, 2);
    EXPECT_EQ(CountKind(AnimParticle), 1);
    EXPECT_EQ(CountKind(AnimText), 1);
    ASSERT_EQ(CountKind(AnimOverlay), 1);
    EXPECT_LT(FirstOfKind(AnimOverlay)->StartDelay, 100);
    EXPECT_GT(AnimationCount, 3);  // the sparks start
}

TEST_F(SceneSetup_, CtrlShiftStartShowsTheTriangleModelAndRunsWithoutPalms) {
    Hold(vk::CONTROL, true);
    Hold(vk::SHIFT, true);
    ASSERT_NO_THROW(Pass());
    EXPECT_EQ(Models[0].Name, "CHAR");
    EXPECT_EQ(Models[0].VertexCount, 3);
    EXPECT_EQ(SceneObjects[0].Active, 0);
    EXPECT_TRUE(Items([](const DrawItem& i) { return i.Kind == ItemSceneObject; }).empty());
    EXPECT_EQ(AnimationCount, 3);  // no palm, so no sparks either

    // Well past the start of the rain: the world carries on, only without palms.
    Hold(vk::CONTROL, false);
    Hold(vk::SHIFT, false);
    ASSERT_NO_THROW(Passes(70));
    EXPECT_EQ(SceneObjects[0].Active, 0);
    EXPECT_EQ(LastSceneObjectIndex, 0);
    EXPECT_TRUE(Items([](const DrawItem& i) { return i.Kind == ItemSceneObject; }).empty());
    EXPECT_TRUE(std::any_of(Animations.begin() + 1, Animations.end(),
                            [](const Animation& a) { return IsRainDrop(a); }));
}

}  // namespace
