// The start-up load of the generated archive beside the benchmark binary, and frames of a
// scene like the first one the program shows (land, a field of water tiles, five palms) at
// 640 x 480.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "app/AssetLoading.h"
#include "app/Main.h"
#include "app/StartupResets.h"
#include "core/Declarations.h"
#include "display/Display.h"
#include "platform/dx/Direct3D.h"
#include "platform/host/HeadlessHost.h"
#include "render/Camera.h"
#include "render/DeviceSetup.h"
#include "render/DrawList.h"
#include "render/FrameRender.h"
#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "resources/Surfaces.h"

namespace {

struct Program {
    HeadlessHost host{HeadlessOptions{}};

    explicit Program(int threads = 1) {
        SetDeviceThreads(threads);
        SetActiveHost(&host);
        DX = std::make_unique<DirectX7>(host);
        StartDisplay();
        SetUpDevice();
        AppPath = ExecutableFolder();
    }
    ~Program() {
        ShutDownDisplay(PendingError{});
        SetActiveHost(nullptr);
    }
};

void BM_LoadAssets(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        {
            Program program;
            state.ResumeTiming();
            LoadAssets();
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadAssets)->Unit(benchmark::kMillisecond);

void QueueScene() {
    AddMeshItem({.y = -3,
                 .setIndex = 4,
                 .textureIndex = LastTextureIndex,
                 .srcBlend = 2,
                 .destBlend = 2,
                 .sx = 40,
                 .sy = 30,
                 .sz = 40});
    for (int z = -108; z <= 81; z += 27) {
        for (int x = -144; x <= 144; x += 36) {
            AddMeshItem({.x = static_cast<float>(x),
                         .z = static_cast<float>(z),
                         .setIndex = BackgroundSets[0],
                         .textureIndex = EffectTextures[3],
                         .srcBlend = 2,
                         .destBlend = 2,
                         .alphaBlend = -1,
                         .sx = 3,
                         .sy = 3,
                         .sz = 3});
        }
    }
    for (int32_t o = 0; o <= LastSceneObjectIndex; ++o) {
        for (JointState& f : SceneObjects[static_cast<size_t>(o)].Joints) {
            f.LocalPosition = D3DVECTOR{};
            f.Flags = 0;
        }
        AddObjectItem(o, 0, -1, 2, 2);
    }
}

void BM_RenderFrameFirstScene(benchmark::State& state) {
    Program program(static_cast<int>(state.range(0)));
    LoadAssets();
    LoadModel("", "PALM", 0);
    D3DMATERIAL7 bark;
    bark.ambient = bark.diffuse = D3DCOLORVALUE{0.5f, 0.5f, 0.5f, 0.5f};
    const D3DVECTOR places[] = {
        {27, 6, -17.5f}, {-25, 3.6f, 4}, {-32, 3.2f, 1.5f}, {-4, 1.2f, 8}, {8, 2, 12}};
    for (const D3DVECTOR& p : places) {
        CreateSceneObject("PALM", bark, p, {0, 40, 0}, {1, 1.4f, 1}, "Palm", "0", 0, 0, -1);
    }
    // The tile is laid flat from its copy, as the world update does every frame.
    GeometrySet& tile = GeometrySets[static_cast<size_t>(BackgroundSets[0])];
    std::copy_n(tile.Vertices.begin() + tile.VertexCount, tile.VertexCount, tile.Vertices.begin());
    CameraState.Yaw = 100;
    for (auto _ : state) {
        QueueScene();
        RenderFrame();
        Device->Finish();  // the frame's pixels, as the next blit or flip would wait for them
    }
}
// Argument: the device's threads.
BENCHMARK(BM_RenderFrameFirstScene)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
