#include "window/XForm.h"

#include "animation/Animations.h"
#include "core/LoopState.h"
#include "core/Random.h"
#include "render/Camera.h"
#include "render/RenderGlobals.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "window/EditorOverlay.h"
#include "window/GeometryEditor.h"

namespace {

constexpr int16_t kTab = 9;
constexpr int16_t kSpace = 32;

bool ModelLoaded() {
    return !Models.empty() && Models.front().Loaded != 0;
}

bool SceneExists() {
    return !SceneObjects.empty() && SceneObjects.front().Active != 0;
}

// The overlay fade that shows the frame as it was when SPACE was pressed.
void StartScreenshotFade() {
    SpawnAnimation({.kind = AnimOverlay, .duration = 50, .colour = -1, .style = 10});
}

}  // namespace

XForm& TheForm() {
    static XForm form;
    return form;
}

void XForm::Form_KeyUp(int16_t& keyCode, int16_t) {
    Randomize();
    if (keyCode == vk::F1) EditorOverlayVisible = !EditorOverlayVisible;
    if (SceneExists() && keyCode == vk::F2) WireframePasses = WireframePasses == 0 ? 1 : 0;
}

void XForm::Form_KeyPress(int16_t& keyAscii) {
    if (!ModelLoaded()) return;
    Randomize();
    EditorTyping(keyAscii);
    if (keyAscii == kTab) {
        CameraState = DefaultCameraState;
        ForgetCameraStep();  // drawn at the start at once, not swept there
    }
    if (keyAscii == kSpace) {
        StartScreenshotFade();
        // The window host keeps one picture per physical press; it sees the key repeat flag.
        ActiveHost().KeepScreenshot();
    }
    EditorSelectionKeys(keyAscii);
    RangeCheck();
}

void XForm::Form_Click() {
    if (!ModelLoaded()) return;
    EditorClick(PointerPosition);
}

void XForm::RangeCheck() {
    ::RangeCheck();
}
