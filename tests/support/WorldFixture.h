// A started 320 x 240 display and 3D device on a seeded headless host with the generated archive
// open and the geometry sets in the slots the load sequence gives them ("COMMON" 0, "USER" 1, "BG"
// 2, "SPHEROU" 3, "LAND" 4), each animated set carrying the copy of its vertices the load makes.
// Texture slots are stand-in numbers: the world only passes them on.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "animation/Animations.h"
#include "app/MainLoop.h"
#include "app/StartupResets.h"
#include "app/World.h"
#include "core/Declarations.h"
#include "core/Random.h"
#include "display/Display.h"
#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "platform/host/HeadlessHost.h"
#include "render/Camera.h"
#include "render/DeviceSetup.h"
#include "render/DrawList.h"
#include "render/FrameRender.h"
#include "render/RenderState.h"
#include "resources/Archive.h"
#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "resources/ScratchFile.h"
#include "resources/Surfaces.h"
#include "tests/support/ResourceTestSupport.h"

class WorldFixture : public ::testing::Test {
  protected:
    static constexpr int32_t kLandTexture = 77;
    static constexpr int32_t kWaterSet = 2, kSkySet = 3, kLandSet = 4;

    void SetUp() override {
        HeadlessOptions o;
        o.answerYes = false;
        o.seed = 1234;
        host = std::make_unique<HeadlessHost>(o);
        SetActiveHost(host.get());
        StateCache = RenderStateCache{};
        DX = std::make_unique<DirectX7>(*host);
        ResetTables();
        StartDisplay();
        SetUpDevice();
        ResetRandom();
        AppPath = dir.Folder();
        ResetTablesOfTheWorld();

        ASSERT_EQ(OpenArchive(std::string(VELMORA_BINARY_DIR) + "/Data.kqx"), 0);
        ASSERT_EQ(LoadGeometrySet(0, "COMMON"), 0);
        ASSERT_EQ(LoadGeometrySet(0, "USER"), 1);
        // The drifting particle's part, which the load adds to the effect shapes.
        GeometrySet& user = GeometrySets[1];
        user.Parts.resize(11, user.Parts[7]);
        user.PartCount = 11;
        ASSERT_EQ(LoadGeometrySet(0, "BG"), kWaterSet);
        KeepCopy(GeometrySets[kWaterSet]);
        LayFlat(GeometrySets[kWaterSet]);
        ASSERT_EQ(LoadGeometrySet(0, "SPHEROU"), kSkySet);
        KeepCopy(GeometrySets[kSkySet]);
        ASSERT_EQ(LoadGeometrySet(0, "LAND"), kLandSet);
        KeepCopy(GeometrySets[kLandSet]);

        EffectTextures.resize(35);
        for (size_t i = 0; i < EffectTextures.size(); ++i) {
            EffectTextures[i] = 100 + static_cast<int32_t>(i);
        }
        LastTextureIndex = kLandTexture;

        FrameScale = 1.0f;
        PauseState = 0;
        ParticleDrift = D3DVECTOR{0.001f, 0, 0.004f};
    }

    void TearDown() override {
        DeleteScratchFile();
        ResetTablesOfTheWorld();
        PauseState = 0;
        CameraState = CameraStateRecord{};
        ShutDownDisplay(PendingError{});
        SetActiveHost(nullptr);
    }

    static void ResetTablesOfTheWorld() {
        ResetArchiveTables();
        ResetGeometryTables();
        ResetModelTables();
        ResetSceneObjectTables();
        ResetDrawList();
        ResetWorldState();
        EffectState = 0;
        FillModeSetting = 0;
    }

    // One pass as the main loop runs it; the render would empty the list afterwards.
    static void Pass() {
        ResetDrawList();
        UpdateWorld();
    }
    static void Passes(int n) {
        for (int i = 0; i < n; ++i) Pass();
    }

    // The items in draw order whose test holds.
    template <typename Test>
    static std::vector<const DrawItem*> Items(Test test) {
        std::vector<const DrawItem*> found;
        for (int32_t n = 1; n <= DrawItemCount; ++n) {
            if (test(DrawList[static_cast<size_t>(n)]))
                found.push_back(&DrawList[static_cast<size_t>(n)]);
        }
        return found;
    }

    void Hold(int key, bool down) { host->SetKey(key, down); }

    TempDir dir;
    std::unique_ptr<HeadlessHost> host;

  private:
    // Vertices N to 2N - 1 become an untouched copy of vertices 0 to N - 1.
    static void KeepCopy(GeometrySet& set) {
        const size_t n = static_cast<size_t>(set.VertexCount);
        set.Vertices.resize(2 * n);
        std::copy_n(set.Vertices.begin(), n, set.Vertices.begin() + static_cast<long>(n));
    }
    // The tile is stored upright; its copy lies in the water plane.
    static void LayFlat(GeometrySet& set) {
        for (size_t i = 0; i < 49; ++i) {
            D3DVERTEX& v = set.Vertices[static_cast<size_t>(set.VertexCount) + i];
            v.z = v.y;
            v.nz = v.ny;
            v.y = 0;
            v.ny = -1;
        }
    }
};
