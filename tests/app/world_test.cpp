#include "app/World.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "tests/support/WorldFixture.h"

namespace {

class World_ : public WorldFixture {
  protected:
    static const D3DVERTEX& Drawn(int32_t set, int i) {
        return GeometrySets[static_cast<size_t>(set)].Vertices[static_cast<size_t>(i)];
    }
    static const D3DVERTEX& Copy(int32_t set, int i) {
        const GeometrySet& s = GeometrySets[static_cast<size_t>(set)];
        return s.Vertices[static_cast<size_t>(s.VertexCount + i)];
    }
    static bool Moved(int32_t set, int i) {
        return std::memcmp(&Drawn(set, i), &Copy(set, i), sizeof(D3DVERTEX)) != 0;
    }
    static std::vector<const DrawItem*> Tiles() {
        return Items([](const DrawItem& i) {
            return i.Kind != ItemSceneObject && i.ObjectIndex == kWaterSet;
        });
    }
    static int AmbientCount() {
        int n = 0;
        for (int32_t i = 1; i <= AnimationCount; ++i) {
            const Animation& a = Animations[static_cast<size_t>(i)];
            n += a.Model == 1 && (a.Part == 9 || a.Part == 10) ? 1 : 0;
        }
        return n;
    }
};

TEST_F(World_, UnderWaterStateFollowsTheCameraHeight) {
    CameraState.CameraPosition.y = -0.5f;
    Pass();
    EXPECT_EQ(EffectState, 2);
    CameraState.CameraPosition.y = 0;  // the surface itself counts as above water
    EffectState = 3;
    Pass();
    EXPECT_EQ(EffectState, 0);
}

TEST_F(World_, OnlyWhatLiesBeyondTheSurfaceRipples) {
    SceneParams[WaterPhase] = 5;  // no vertex at a phase where the ripple passes through 0
    const GeometrySet& land = GeometrySets[kLandSet];
    const int skyCount = GeometrySets[kSkySet].VertexCount;
    for (const float cameraY : {4.0f, -1.0f}) {
        CameraState.CameraPosition.y = cameraY;
        Pass();
        int moved = 0;
        for (int i = 0; i < land.VertexCount; ++i) {
            const float y = Copy(kLandSet, i).y;
            ASSERT_EQ(Moved(kLandSet, i), cameraY < 0 ? y > 0.06f : y < -0.06f) << i;
            ASSERT_LE(std::fabs(Drawn(kLandSet, i).y - y), 0.01f + 1e-6f);
            moved += Moved(kLandSet, i);
        }
        EXPECT_GT(moved, 0);
        // The sky shows through the surface only from below.
        int skyMoved = 0;
        for (int i = 0; i < skyCount; ++i) skyMoved += Moved(kSkySet, i);
        EXPECT_EQ(skyMoved, cameraY < 0 ? skyCount : 0);
    }
}

TEST_F(World_, CameraWrapsAroundTheTorus) {
    CameraState.CameraPosition = D3DVECTOR{72.5f, 4, -54.25f};
    Pass();
    EXPECT_FLOAT_EQ(CameraState.CameraPosition.x, -71.5f);
    EXPECT_FLOAT_EQ(CameraState.CameraPosition.z, 53.75f);
    CameraState.CameraPosition = D3DVECTOR{72, 4, 54};  // the edges themselves stay
    Pass();
    EXPECT_FLOAT_EQ(CameraState.CameraPosition.x, 72);
    EXPECT_FLOAT_EQ(CameraState.CameraPosition.z, 54);
}

TEST_F(World_, SeventyTwoWaterTilesUntexturedWithShift) {
    Pass();
    auto tiles = Tiles();
    ASSERT_EQ(tiles.size(), 72u);
    std::set<std::pair<float, float>> places;
    for (const DrawItem* t : tiles) {
        places.insert({t->Position.x, t->Position.z});
        EXPECT_EQ(t->TextureIndex, EffectTextures[3]);
        EXPECT_EQ(t->DestBlend, 2);
    }
    EXPECT_EQ(places.size(), 72u);
    EXPECT_EQ(*places.begin(), std::make_pair(-144.0f, -108.0f));
    EXPECT_EQ(*places.rbegin(), std::make_pair(144.0f, 81.0f));

    Hold(vk::SHIFT, true);
    Pass();
    tiles = Tiles();
    ASSERT_EQ(tiles.size(), 72u);
    for (const DrawItem* t : tiles) {
        EXPECT_EQ(t->TextureIndex, -1);
        EXPECT_EQ(t->DestBlend, 4);
    }
}

TEST_F(World_, WaterTextureCyclesEveryOtherFrameThroughFrames3To34) {
    std::vector<float> frames;
    for (int i = 0; i < 40; ++i) {
        Pass();
        frames.push_back(SceneParams[WaterFrame]);
        ASSERT_EQ(Tiles()[0]->TextureIndex, EffectTextures[std::lround(frames.back())]);
    }
    int falls = 0;
    for (size_t i = 2; i < frames.size(); ++i) {
        EXPECT_LE(std::lround(frames[i]), 34);
        // It moves on one pass and rests on the next.
        EXPECT_NE(frames[i] == frames[i - 1], frames[i - 1] == frames[i - 2]);
        if (frames[i] < frames[i - 1]) {
            ++falls;
            EXPECT_EQ(frames[i], 3);
            EXPECT_EQ(frames[i - 1], 33);
        }
    }
    EXPECT_EQ(falls, 1);
}

TEST_F(World_, WaterTileWavesWithoutSeams) {
    SceneParams[WaterPhase] = 20;
    Passes(2);
    const int n = 7;
    int waved = 0;
    for (int i = 0; i < n * n; ++i) {
        const int row = i / n, col = i % n;
        const D3DVERTEX &v = Drawn(kWaterSet, i), &flat = Copy(kWaterSet, i);
        ASSERT_EQ(v.x, flat.x);  // waves move the surface up and down only
        ASSERT_EQ(v.z, flat.z);
        waved += v.y != 0;
        const int twin = col == n - 1 ? row * n : row == n - 1 ? col : i;
        ASSERT_EQ(v.y, Drawn(kWaterSet, twin).y) << i;
        ASSERT_EQ(v.ny, Drawn(kWaterSet, twin).ny) << i;
    }
    EXPECT_GT(waved, 40);
}

TEST_F(World_, NoRainOrGreenMotesInTheFirstFiftyFrames) {
    Passes(10);
    PauseState = 2;  // paused passes do not count
    Passes(20);
    PauseState = 0;
    for (int i = 0; i < 39; ++i) {
        Pass();
        ASSERT_EQ(AmbientCount(), 0) << "pass " << i;
    }
    EXPECT_EQ(WorldFrame, 50);
    Passes(20);
    EXPECT_GT(AmbientCount(), 5);
}

TEST_F(World_, PauseFreezesWaterPalmsAndParticles) {
    Passes(60);
    PauseState = 2;
    Pass();  // removes what finished in the last running pass
    const auto params = SceneParams;
    const int32_t frame = WorldFrame;
    const std::vector<D3DVERTEX> water = GeometrySets[kWaterSet].Vertices;
    const JointState frond = SceneObjects[3].Joints[17];
    const std::vector<Animation> records = Animations;
    ASSERT_GT(AmbientCount(), 0);

    Passes(5);
    EXPECT_EQ(SceneParams, params);
    EXPECT_EQ(WorldFrame, frame);
    EXPECT_EQ(std::memcmp(GeometrySets[kWaterSet].Vertices.data(), water.data(),
                          water.size() * sizeof(D3DVERTEX)),
              0);
    EXPECT_EQ(
        std::memcmp(&SceneObjects[3].Joints[17].LocalAngles, &frond.LocalAngles, sizeof(D3DVECTOR)),
        0);
    ASSERT_EQ(AnimationCount, static_cast<int32_t>(records.size()) - 1);
    EXPECT_EQ(NewAnimationCount, 0);
    for (int32_t i = 1; i <= AnimationCount; ++i) {
        EXPECT_EQ(Animations[i].Elapsed, records[i].Elapsed);
        EXPECT_EQ(Animations[i].Position.y, records[i].Position.y);
    }
    // Frozen, not hidden.
    EXPECT_EQ(Tiles().size(), 72u);
    EXPECT_EQ(Items([](const DrawItem& i) { return i.Kind == ItemSceneObject; }).size(), 5u);
}

}  // namespace
