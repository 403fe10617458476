#include "app/World.h"

#include <cmath>

#include "animation/Animations.h"
#include "app/MainLoop.h"
#include "app/PalmAnimation.h"
#include "app/SceneSetup.h"
#include "app/SunAndFlare.h"
#include "core/Declarations.h"
#include "core/Random.h"
#include "core/RuntimeError.h"
#include "core/WholeNumbers.h"
#include "platform/host/Host.h"
#include "render/Camera.h"
#include "render/DrawList.h"
#include "render/FrameRender.h"
#include "resources/GeometrySets.h"
#include "resources/Surfaces.h"
#include "window/EditorOverlay.h"

namespace {

// The sets the load sequence leaves in these slots, each with an untouched copy of its
// vertices behind the drawn ones.
constexpr int32_t kWaterTileSet = 2;
constexpr int32_t kSkySet = 3;
constexpr int32_t kLandSet = 4;

constexpr uint8_t kUnderWaterBlur = 2;
constexpr int kWaterGridSide = 7;
constexpr int kLastWaterFrame = 34;
constexpr int kFirstWaterFrame = 3;
constexpr float kRippleAmplitude = 0.01f;
// Vertices this close to the surface stay still, so the shore line does not shimmer.
constexpr float kSurfaceBand = 0.06f;

// One correction only: after a very long stall a phase may stay above 360 for a frame.
double WrapOnce(double a) {
    if (a > 360) return a - 360;
    if (a < 0) return a + 360;
    return a;
}

// Decided from the eye as drawn, not from the camera's last step, which may lie up to a step
// ahead of it: a dive shows no blur or ripple over an eye still above the water.
bool CameraUnderWater() {
    return ViewedPosition().y < 0;
}

void UpdateUnderWaterState() {
    if (CameraUnderWater()) {
        if (EffectState != kUnderWaterBlur) EffectState = kUnderWaterBlur;
    } else if (EffectState != 0) {
        EffectState = 0;
    }
}

// Vertex i restored from its copy, which sits VertexCount places further on. A set loaded
// without the copy is a subscript error, never a read past the list.
D3DVERTEX& Restore(GeometrySet& set, int i) {
    D3DVERTEX& v = set.Vertices[static_cast<size_t>(i)];
    v = At(set.Vertices, static_cast<long long>(set.VertexCount) + i);
    return v;
}

void Ripple(D3DVERTEX& v, int i) {
    const float a = SceneParams[ScratchAngle] =
        static_cast<float>(WrapOnce(SceneParams[WaterPhase] + 10.0 * i));
    const double shift = kRippleAmplitude * std::cos(a * DegToRad);
    v.x = static_cast<float>(v.x + shift);
    v.y = static_cast<float>(v.y + shift);
    v.z = static_cast<float>(v.z + shift);
}

// Whatever lies on the far side of the water surface wobbles, as seen through it.
void RippleLandscape() {
    GeometrySet& land = At(GeometrySets, kLandSet);
    const bool under = CameraUnderWater();
    for (int i = 0; i < land.VertexCount; ++i) {
        D3DVERTEX& v = Restore(land, i);
        if ((under && v.y > kSurfaceBand) || (!under && v.y < -kSurfaceBand)) Ripple(v, i);
    }
}

// The sky is seen through the surface only from below.
void RippleSky() {
    GeometrySet& sky = At(GeometrySets, kSkySet);
    const bool under = CameraUnderWater();
    for (int i = 0; i < sky.VertexCount; ++i) {
        D3DVERTEX& v = Restore(sky, i);
        if (under) Ripple(v, i);
    }
}

void QueueLandscape() {
    AddMeshItem({.y = -3,
                 .setIndex = kLandSet,
                 .partIndex = 0,
                 .textureIndex = LastTextureIndex,
                 .srcBlend = 2,
                 .destBlend = 2,
                 .alphaBlend = 0,
                 .alpha = -1,
                 .sx = 40,
                 .sy = 30,
                 .sz = 40});
}

void AdvancePhases() {
    if (PauseState != 0) return;
    float& water = SceneParams[WaterPhase];
    water += 8 * FrameScale;
    if (water > 360) water -= 360;
    float& trunk = SceneParams[TrunkPhase];
    trunk += 4 * FrameScale;
    if (trunk > 360) trunk -= 360;
    // The water texture moves on every other frame, cycling through frames 3 to 34.
    if (WorldFrame % 2 == 0) {
        float& frame = SceneParams[WaterFrame];
        frame += 2 * FrameScale;
        if (RoundToLong(frame) > kLastWaterFrame) frame = kFirstWaterFrame;
    }
}

void WrapCamera() {
    D3DVECTOR& c = CameraState.CameraPosition;
    if (c.x > kWorldHalfX) {
        c.x -= 2 * kWorldHalfX;
    } else if (c.x < -kWorldHalfX) {
        c.x += 2 * kWorldHalfX;
    }
    if (c.z > kWorldHalfZ) {
        c.z -= 2 * kWorldHalfZ;
    } else if (c.z < -kWorldHalfZ) {
        c.z += 2 * kWorldHalfZ;
    }
}

// A 9 x 8 grid of tiles wide enough to surround the camera anywhere inside the wrap. With
// Shift held the tiles show untextured, which shows the tile seams plainly.
void QueueWaterTiles() {
    for (int z = -108; z <= 81; z += 27) {
        for (int x = -144; x <= 144; x += 36) {
            MeshItemParams tile{.x = static_cast<float>(x),
                                .y = 0,
                                .z = static_cast<float>(z),
                                .setIndex = At(BackgroundSets, 0),
                                .partIndex = 0,
                                .srcBlend = 2,
                                .destBlend = 2,
                                .alphaBlend = -1,
                                .alpha = -1,
                                .sx = 3,
                                .sy = 3,
                                .sz = 3};
            if (KeyDown(vk::SHIFT)) {
                tile.textureIndex = -1;
                tile.destBlend = 4;
            } else {
                tile.textureIndex = At(EffectTextures, RoundToLong(SceneParams[WaterFrame]));
            }
            AddMeshItem(tile);
        }
    }
}

// The waves of the tile mesh. The last column repeats the first and the last row the first,
// so neighbouring tiles meet without a seam.
void WaveWaterTile() {
    GeometrySet& tile = At(GeometrySets, kWaterTileSet);
    int col = 0, row = 0;
    for (int i = 0; i < tile.VertexCount; ++i) {
        D3DVERTEX& v = Restore(tile, i);
        const float a = SceneParams[ScratchAngle] =
            static_cast<float>(WrapOnce(SceneParams[WaterPhase] + 10.0 * i + 10.0 * col));
        if ((i + 1) % kWaterGridSide == 0) {
            const D3DVERTEX& first = tile.Vertices[static_cast<size_t>(i - (kWaterGridSide - 1))];
            v.y = first.y;
            v.ny = first.ny;
        } else if (row == kWaterGridSide - 1) {
            const D3DVERTEX& top = tile.Vertices[static_cast<size_t>(col)];
            v.y = top.y;
            v.ny = top.ny;
        } else {
            const double c = std::cos(a * DegToRad);
            v.y = static_cast<float>(v.y + 0.25 * c);
            v.ny = static_cast<float>(-0.4 * c);
        }
        if (++col > kWaterGridSide - 1) {
            col = 0;
            ++row;
        }
    }
}

void CountFrame() {
    if (PauseState != 0) return;
    if (++WorldFrame > 1000000) WorldFrame = 1;
}

void SpawnGreenParticle() {
    float r[10];
    for (float& v : r) v = Rnd();
    const D3DVECTOR& c = CameraState.CameraPosition;
    SpawnAnimation({.kind = AnimParticle,
                    .x = c.x + 20 * r[0] - 10,
                    .y = 5 * r[1] + 4,
                    .z = c.z - 6,
                    .duration = 100,
                    .colour = static_cast<int32_t>(0xFF00FF00u),
                    .style = 5,
                    .itemFlags = 0,
                    .velocityX = 0.02f - 0.01f * r[2],
                    .velocityZ = 0.04f * r[3] - 0.02f,
                    .spinX = 10 * r[4] - 5,
                    .spinY = 10 * r[5] - 5,
                    .spinZ = 10 * r[6] - 5,
                    .modelValue = 1,
                    .partValue = 10,
                    .textureValue = 2,
                    .fadeValue = 1,
                    .size = 0.4f,
                    .pivotX = r[7] - 0.5f,
                    .pivotY = r[8] - 0.5f,
                    .pivotZ = r[9] - 0.5f});
}

void SpawnRainDrop() {
    float r[5];
    for (float& v : r) v = Rnd();
    const D3DVECTOR& c = CameraState.CameraPosition;
    SpawnAnimation({.kind = AnimParticle,
                    .x = c.x + 20 * r[0] - 10,
                    .y = 20,
                    .z = c.z + 20 * r[1] - 10,
                    .duration = 27,
                    .colour = -1,
                    .style = 2,
                    .itemFlags = 0,
                    .velocityX = 0.05f * r[2] + 0.1f,
                    .velocityY = -0.4f - 0.8f * r[3],
                    .velocityZ = 0.05f * r[4],
                    .modelValue = 1,
                    .partValue = 9,
                    .textureValue = -1,
                    .fadeValue = 1,
                    .size = 1});
}

// Rain and drifting green motes around the camera, once the fade-in is under way.
void SpawnAmbientParticles() {
    if (WorldFrame <= 50) return;
    if (Rnd() < 0.25f) SpawnGreenParticle();
    if (Rnd() < 0.75f) SpawnRainDrop();
}

}  // namespace

void UpdateWorld() {
    Randomize();
    if (WorldFrame == 0) SetUpScene();
    UpdateUnderWaterState();
    RippleLandscape();
    RippleSky();
    QueueLandscape();
    AdvancePhases();
    WrapCamera();
    QueueWaterTiles();
    WaveWaterTile();
    CountFrame();
    UpdateSunAndFlare();
    ResetObjectFrames();
    SpawnAmbientParticles();
    AnimatePalms();
    UpdateAnimations();
    // The editor's labels and selections, while F1 has them shown.
    AddEditorOverlay();
}

void ResetWorldState() {
    WorldFrame = 0;
    SceneParams.fill(0);
    HelpText.clear();
}
