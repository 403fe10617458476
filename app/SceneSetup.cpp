#include "app/SceneSetup.h"

#include "animation/Animations.h"
#include "app/MainLoop.h"
#include "app/World.h"
#include "core/RuntimeError.h"
#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "platform/host/Host.h"
#include "render/DeviceSetup.h"
#include "render/DrawList.h"
#include "render/FrameRender.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "resources/Surfaces.h"

namespace {

constexpr int32_t kFillSolid = 3;
constexpr int32_t kTrue = -1;

// The sky sphere (set 3) follows the camera, far behind everything, turning slowly about y.
void SpawnSky() {
    SpawnAnimation({.kind = AnimParticle,
                    .y = 100,
                    .duration = 100000,
                    .colour = -1,
                    .style = 0,
                    .itemFlags = FlagCameraRelative | FlagFarDepth,
                    .spinY = 0.05f,
                    .modelValue = 3,
                    .partValue = 1,
                    .textureValue = static_cast<float>(At(EffectTextures, 2)),
                    .fadeValue = 1,
                    .size = 5000});
}

void SpawnHelpText() {
    SpawnAnimation({.kind = AnimText,
                    .x = -0.75f,
                    .y = 1,
                    .z = 2.4f,
                    .duration = 1000,
                    .colour = -1,
                    .style = 2,
                    .itemFlags = FlagScreenSpace,
                    .text = HelpText,
                    .size = 1});
}

// The picture fades in from black once the first frames have settled.
void SpawnFadeIn() {
    SpawnAnimation({.kind = AnimOverlay,
                    .duration = 100,
                    .colour = -1,
                    .style = 4,
                    .itemFlags = 0,
                    .startDelay = 100});
}

}  // namespace

bool SceneObjectExists(int index) {
    return index >= 0 && index <= LastSceneObjectIndex &&
           static_cast<size_t>(index) < SceneObjects.size() &&
           SceneObjects[static_cast<size_t>(index)].Active == 1;
}

void SetUpScene() {
    FillModeSetting = kFillSolid;
    Device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, kTrue);

    // Ctrl+Shift at the first frame is the one way to look at the built-in triangle; no model
    // then bears the palms' name, so no palm is made.
    if (KeyDown(vk::CONTROL) && KeyDown(vk::SHIFT)) {
        LoadModel("", "CHAR", -1);
    } else {
        LoadModel("", "PALM", 0);
    }

    SceneMaterial.ambient = D3DCOLORVALUE{0.5f, 0.5f, 0.5f, 0.5f};
    SceneMaterial.diffuse = D3DCOLORVALUE{1, 1, 1, 1};
    for (const PalmPlacement& palm : kPalmPlacements) {
        CreateSceneObject("PALM", SceneMaterial, palm.position, palm.rotation, palm.scale,
                          palm.name, "0", 128, 128, -1);
    }

    // The first palm is the burning one: darker, lit by its own material. The others colour
    // their vertices themselves.
    if (SceneObjectExists(0)) {
        SceneObject& burning = SceneObjects[0];
        burning.StyleFlag = 0;
        burning.Material.ambient = D3DCOLORVALUE{0.5f, 0.3f, 0.2f, 0.2f};
        burning.Material.diffuse = burning.Material.ambient;
    }
    for (int j = 1; j < kPalmCount; ++j) {
        if (SceneObjectExists(j)) SceneObjects[static_cast<size_t>(j)].StyleFlag = 1;
    }

    SpawnSky();
    // "@", "^", "_", "{" and "}" are glyphs of the font: line breaks and arrows.
    HelpText =
        "A - Forward@Z - Backward@^_{} to Turn@Alt + Direction - Strafe@P - Pause Animations@F2 - "
        "WireFrame@TAB - Default Camera Pos@SPACE - ScreenShot Fade";
    SpawnHelpText();

    WorldFrame = 1;
    SceneParams[FlareStrength] = 0;
    SceneParams[WaterFrame] = 3;
    SpawnFadeIn();
}
