#include "app/StartupResets.h"

#include "animation/Animations.h"
#include "app/MainLoop.h"
#include "app/World.h"
#include "core/Random.h"
#include "render/BlurEffect.h"
#include "render/Camera.h"
#include "render/DrawList.h"
#include "render/FrameRender.h"
#include "render/PointerHistory.h"
#include "render/RenderGlobals.h"
#include "render/RenderState.h"
#include "resources/Archive.h"
#include "resources/GeometrySets.h"
#include "resources/ModelBuffers.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "resources/Surfaces.h"
#include "window/ClickMenu.h"
#include "window/EditorOverlay.h"
#include "window/GeometryEditor.h"
#include "window/XForm.h"

void ResetTables() {
    ResetGeometryTables();
    ResetModelTables();
    ResetModelBufferTables();
    ResetSceneObjectTables();
    ResetDrawList();
    ResetSurfaceTables();
    ResetArchiveTables();
    ClickItems.clear();
    ResetEditorState();
    ResetAnimationTables();
}

void ResetRunState() {
    ResetRandom();
    ResetMainLoopState();
    ResetWorldState();
    StateCache = RenderStateCache{};
    CameraState = CameraStateRecord{};
    DefaultCameraState = CameraStateRecord{};
    ResetCameraClock();
    EffectState = 0;
    EffectLevel = 0;
    FillModeSetting = 0;
    WireframePasses = 0;
    BackgroundItemDistance = 0;
    PointerPosition = D3DVECTOR{};
    PreviousPointerPosition = D3DVECTOR{};
    EditorOverlayVisible = false;
}
