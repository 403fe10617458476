#include "window/XForm.h"

#include <gtest/gtest.h>

#include "render/Camera.h"
#include "tests/support/EditorFixture.h"

namespace {

using XFormEvents = EditorFixture;

void KeyUp(int16_t key) {
    XForm::Form_KeyUp(key, 0);
}

CameraStateRecord MovedCamera() {
    CameraStateRecord c;
    c.CameraPosition = D3DVECTOR{5, 6, 7};
    c.MoveSpeed = 0.8f;
    c.TurnSpeed = -2;
    c.Yaw = 200;
    return c;
}

// --- F2 and F1 -------------------------------------------------------------------------------

TEST_F(XFormEvents, F2FlipsTheWireframePassOnceTheSceneExists) {
    SceneObjects[0].Active = 0;
    KeyUp(vk::F2);
    EXPECT_EQ(WireframePasses, 0);
    SceneObjects[0].Active = 1;
    KeyUp(vk::F2);
    EXPECT_EQ(WireframePasses, 1);
    KeyUp(vk::F1 + 2);
    KeyUp('Q');
    EXPECT_EQ(WireframePasses, 1);
    KeyUp(vk::F2);
    EXPECT_EQ(WireframePasses, 0);
}

TEST_F(XFormEvents, F1ShowsAndHidesTheEditorOverlayAtAnyTime) {
    Models[0].Loaded = 0;
    SceneObjects[0].Active = 0;
    KeyUp(vk::F1);
    EXPECT_TRUE(EditorOverlayVisible);
    KeyUp(vk::F1);
    EXPECT_FALSE(EditorOverlayVisible);
    EXPECT_EQ(WireframePasses, 0);
}

// --- TAB and SPACE ---------------------------------------------------------------------------

TEST_F(XFormEvents, TabPutsTheWholeCameraBackEvenWhileEditing) {
    DefaultCameraState.CameraPosition = D3DVECTOR{0, 4, 0};
    DefaultCameraState.Yaw = 55;
    CameraState = MovedCamera();
    Click(1);
    const std::string text = EditText;
    Press(9);
    EXPECT_FLOAT_EQ(CameraState.CameraPosition.y, 4);
    EXPECT_FLOAT_EQ(CameraState.Yaw, 55);
    EXPECT_EQ(CameraState.MoveSpeed, 0);
    EXPECT_EQ(CameraState.TurnSpeed, 0);
    EXPECT_EQ(EditText, text);  // not typed
    EXPECT_EQ(EditMode, -1);
}

TEST_F(XFormEvents, SpaceStartsAScreenshotFadeEachTimeEvenWhileEditing) {
    Click(1);
    const int32_t before = NewAnimationCount;
    const std::string text = EditText;
    Press(32);
    Press(32);
    EXPECT_EQ(NewAnimationCount, before + 2);
    EXPECT_EQ(host->ScreenshotRequests(), 2);  // two presses: the key was never seen held
    const Animation& fade = LastSpawn();
    EXPECT_EQ(fade.Kind, AnimOverlay);
    EXPECT_EQ(fade.Duration, 50);
    EXPECT_EQ(fade.Style, 10);
    EXPECT_EQ(fade.ItemFlags, FlagScreenSpace);
    EXPECT_EQ(fade.ParentObject, -1);
    EXPECT_EQ(EditText, text);
}

TEST_F(XFormEvents, HeldSpaceFadesAndAsksTheHostOnEveryRepeat) {
    const int32_t before = NewAnimationCount;
    host->SetKey(vk::SPACE, true);
    for (int repeat = 0; repeat < 5; ++repeat) Press(32);
    EXPECT_EQ(NewAnimationCount, before + 5);
    // Every SPACE asks the host; the window host keeps one picture per physical press.
    EXPECT_EQ(host->ScreenshotRequests(), 5);
}

TEST_F(XFormEvents, SpaceWhilePausedSpawnsNothingButKeepsThePicture) {
    PauseState = 2;
    Press(32);
    EXPECT_EQ(NewAnimationCount, 0);
    EXPECT_EQ(host->ScreenshotRequests(), 1);
}

// --- before the first model ------------------------------------------------------------------

TEST_F(XFormEvents, KeysAndClicksBeforeTheFirstModelAreIgnored) {
    Models[0].Loaded = 0;
    CameraState = MovedCamera();
    Press(9);
    Press(32);
    Press('X');
    Click(1);
    Press('5');
    Press(13);
    EXPECT_FLOAT_EQ(CameraState.CameraPosition.x, 5);
    EXPECT_EQ(NewAnimationCount, 0);
    EXPECT_EQ(SelectedVertex, 0);
    EXPECT_EQ(SelectedItem, 0);
    EXPECT_EQ(EditMode, 0);
    EXPECT_TRUE(EditText.empty());
}

}  // namespace
