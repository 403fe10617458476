#include <gtest/gtest.h>

#include <vector>

#include "render/DrawList.h"
#include "render/FrameRender.h"
#include "render/RenderGlobals.h"
#include "render/SceneObjectDrawing.h"
#include "resources/ModelBuffers.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "resources/Surfaces.h"
#include "tests/support/FrameFixture.h"
#include "window/GeometryEditor.h"

namespace {

// "STICK": two squares of side 0.5 facing the viewer, one per group; group 1 sits one unit
// along x from its joint.
ModelData Stick() {
    ModelData m;
    for (int g = 0; g < 2; ++g) {
        const float h = 0.25f;
        const uint32_t colour = 0xFF20E040u;
        m.Vertices.push_back({-h, h, 0, 0, 0, -1, colour, 0, 0});
        m.Vertices.push_back({h, h, 0, 0, 0, -1, colour, 1, 0});
        m.Vertices.push_back({h, -h, 0, 0, 0, -1, colour, 1, 1});
        m.Vertices.push_back({-h, -h, 0, 0, 0, -1, colour, 0, 1});
        const auto f = static_cast<int16_t>(4 * g);
        m.Indices.insert(m.Indices.end(),
                         {f, int16_t(f + 1), int16_t(f + 2), f, int16_t(f + 2), int16_t(f + 3)});
        m.Groups.push_back({{g == 0 ? 0.0f : 1.0f, 0, 0}, 4 * g, 4, 0, 0});
    }
    m.VertexCount = 8;
    m.IndexCount = 12;
    m.GroupCount = 2;
    m.GroupList = {0, 1};
    m.GroupListCount = 2;
    return m;
}

class SceneObjectDrawingTest : public FrameFixture {
  protected:
    void SetUp() override {
        FrameFixture::SetUp();
        LookAlongZ();
        WireframePasses = 0;
        WriteBytes(dir.File("stick.mdl"), WriteModelRecord(Stick()));
        model = LoadModel(dir.File("stick.mdl"), "STICK", -1);
    }
    void TearDown() override {
        WireframePasses = 0;
        FrameFixture::TearDown();
    }

    void UseGroupList(std::vector<int16_t> list) {
        Models[model].GroupListCount = static_cast<int16_t>(list.size());
        Models[model].GroupList = std::move(list);
    }
    // A stick at (x, 10 + y, z), lit by a plain white material.
    static int32_t Place(float x, float y, float z, const std::string& name = "Stick") {
        D3DMATERIAL7 white;
        white.ambient = white.diffuse = D3DCOLORVALUE{1, 1, 1, 1};
        CreateSceneObject("STICK", white, {x, 10 + y, z}, {0, 0, 0}, {1, 1, 1}, name, "0", 0, 0,
                          -1);
        return LastSceneObjectIndex;
    }
    // What the world update does before each frame's animation: frames start afresh.
    static void ResetFrames() {
        for (SceneObject& o : SceneObjects) {
            for (JointState& f : o.Joints) {
                f.LocalPosition = D3DVECTOR{};
                f.Flags = 0;
            }
        }
    }
    static void DrawFrame(std::initializer_list<int32_t> objects) {
        ResetFrames();
        for (int32_t o : objects) AddObjectItem(o, 0, -1, 2, 1);
        RenderFrame();
    }
    static const JointState& Joint(int32_t object, int frame) {
        return SceneObjects.at(static_cast<size_t>(object)).Joints.at(static_cast<size_t>(frame));
    }
    static void ExpectAt(const D3DMATRIX& m, float x, float y, float z) {
        EXPECT_NEAR(m.rc41, x, 1e-4);
        EXPECT_NEAR(m.rc42, y, 1e-4);
        EXPECT_NEAR(m.rc43, z, 1e-4);
    }
    static void ExpectVector(const D3DVECTOR& v, float x, float y, float z) {
        EXPECT_NEAR(v.x, x, 1e-4);
        EXPECT_NEAR(v.y, y, 1e-4);
        EXPECT_NEAR(v.z, z, 1e-4);
    }

    int32_t model = 0;
};

// ---------------------------------------------------------------- chains

TEST_F(SceneObjectDrawingTest, EachGroupOfAChainIsPlacedInTheSpaceOfTheOneBefore) {
    const int32_t o = Place(0, 0, 5);
    SceneObjects[o].Joints[0].LocalAngles = D3DVECTOR{0, 0, 90};
    DrawFrame({o});

    // Turning the first joint a quarter about z carries the second square from the right of
    // the stick to above it.
    ExpectAt(Joint(o, 0).WorldMatrix, 0, 10, 5);
    ExpectAt(Joint(o, 1).WorldMatrix, 0, 11, 5);
    EXPECT_TRUE(Drawn(ScreenX(0, 5), ScreenY(1, 5)));
    EXPECT_FALSE(Drawn(ScreenX(1, 5), ScreenY(0, 5)));
    // Positions and angles are summed along the chain; the offset went into the local place.
    ExpectVector(Joint(o, 1).LocalPosition, 1, 0, 0);
    ExpectVector(Joint(o, 1).WorldPosition, 1, 10, 5);
    ExpectVector(Joint(o, 1).WorldAngles, 0, 0, 90);
    EXPECT_EQ(Joint(o, 0).Flags, FrameMatrixValid | FrameVerticesProcessed);
    EXPECT_EQ(Joint(o, 1).Flags, FrameMatrixValid | FrameVerticesProcessed);
}

TEST_F(SceneObjectDrawingTest, AGroupAfterASeparatorStartsAFreshChainAtTheObject) {
    const int32_t o = Place(0, 0, 5);
    SceneObjects[o].Joints[0].LocalAngles = D3DVECTOR{0, 0, 90};
    UseGroupList({0, -1, 1});
    DrawFrame({o});
    ExpectAt(Joint(o, 1).WorldMatrix, 1, 10, 5);
    ExpectVector(Joint(o, 1).WorldPosition, 1, 10, 5);
    ExpectVector(Joint(o, 1).WorldAngles, 0, 0, 0);
    EXPECT_TRUE(Drawn(ScreenX(1, 5), ScreenY(0, 5)));
}

TEST_F(SceneObjectDrawingTest, AListStartingWithASeparatorPlacesItsFirstGroupInObjectSpace) {
    const int32_t o = Place(0, 0, 5);
    SceneObjects[o].Joints[0].LocalAngles = D3DVECTOR{0, 0, 90};
    UseGroupList({-1, 0, 1});
    DrawFrame({o});
    ExpectAt(Joint(o, 0).WorldMatrix, 0, 10, 5);
    ExpectVector(Joint(o, 0).WorldPosition, 0, 10, 5);
    ExpectVector(Joint(o, 0).WorldAngles, 0, 0, 90);
    ExpectAt(Joint(o, 1).WorldMatrix, 0, 11, 5);
    EXPECT_TRUE(Drawn(ScreenX(0, 5), ScreenY(0, 5)));
    EXPECT_TRUE(Drawn(ScreenX(0, 5), ScreenY(1, 5)));
}

TEST_F(SceneObjectDrawingTest, AFrameNamedTwiceIsComposedAndProcessedOnce) {
    // The palm's fronds restart from the crown like this: the second mention only takes the
    // crown's matrix again.
    const int32_t o = Place(0, 0, 5);
    UseGroupList({0, 1, -1, 0, 1});
    DrawFrame({o});
    ExpectVector(Joint(o, 1).LocalPosition, 1, 0, 0);  // the offset added once only
    ExpectAt(Joint(o, 1).WorldMatrix, 1, 10, 5);
}

TEST_F(SceneObjectDrawingTest, ObjectTransformScalesThenTurnsThenPlaces) {
    D3DMATERIAL7 white;
    white.ambient = white.diffuse = D3DCOLORVALUE{1, 1, 1, 1};
    CreateSceneObject("STICK", white, {0, 10, 5}, {0, 0, 90}, {2, 1, 1}, "Big", "0", 0, 0, -1);
    DrawFrame({LastSceneObjectIndex});
    // Group 1's offset of one unit, doubled along x, then turned up.
    ExpectAt(Joint(LastSceneObjectIndex, 1).WorldMatrix, 0, 12, 5);
}

// ---------------------------------------------------------------- passes and sharing

TEST_F(SceneObjectDrawingTest, WireframePassDrawsTheGroupsWherePassZeroPutThem) {
    const int32_t o = Place(0, 0, 5);
    SceneObjects[o].Joints[0].LocalAngles = D3DVECTOR{0, 0, 30};
    DrawFrame({o});
    const std::vector<uint16_t> solid = Frame();
    const D3DMATRIX placed = Joint(o, 1).WorldMatrix;

    WireframePasses = 1;
    DrawFrame({o});
    int changed = 0;
    EXPECT_EQ(ChangedAwayFromDrawing(solid, Frame(), changed), 0);
    EXPECT_GT(changed, 40);
    ExpectVector(Joint(o, 1).LocalPosition, 1, 0, 0);  // not composed a second time
    ExpectAt(Joint(o, 1).WorldMatrix, placed.rc41, placed.rc42, placed.rc43);
    EXPECT_EQ(Joint(o, 1).Flags, FrameMatrixValid | FrameVerticesProcessed);
}

TEST_F(SceneObjectDrawingTest, ObjectsSharingAModelEachShowTheirOwnPose) {
    const int32_t left = Place(-1.5f, 0, 6, "Left");
    const int32_t right = Place(1.5f, 0, 6, "Right");
    SceneObjects[right].Joints[0].LocalAngles = D3DVECTOR{0, 0, 90};
    ASSERT_EQ(SceneObjects[left].ModelIndex, SceneObjects[right].ModelIndex);
    DrawFrame({left, right});
    Save("two-sticks");
    // Left: straight, its second square to its right. Right: turned, the square above it.
    EXPECT_TRUE(Drawn(ScreenX(-0.5f, 6), ScreenY(0, 6)));
    EXPECT_FALSE(Drawn(ScreenX(-1.5f, 6), ScreenY(1, 6)));
    EXPECT_TRUE(Drawn(ScreenX(1.5f, 6), ScreenY(1, 6)));
    EXPECT_FALSE(Drawn(ScreenX(2.5f, 6), ScreenY(0, 6)));
}

TEST_F(SceneObjectDrawingTest, EditsOfTheFirstModelShowOnceTheEditorCountsThem) {
    const int32_t o = Place(0, 0, 5);
    DrawFrame({o});
    ASSERT_TRUE(Drawn(ScreenX(1, 5), ScreenY(0, 5)));
    // The second square moved up by a unit, as the editor writes it.
    for (int v = 4; v < 8; ++v) Models[model].Vertices[v].Y += 1;
    ++EditedModelSerial;
    DrawFrame({o});
    EXPECT_FALSE(Drawn(ScreenX(1, 5), ScreenY(0, 5)));
    EXPECT_TRUE(Drawn(ScreenX(1, 5), ScreenY(1, 5)));
}

// ---------------------------------------------------------------- the light and bad data

TEST_F(SceneObjectDrawingTest, TheLightFollowsFrameFourOfTheFirstObject) {
    // Slot 0 holds the stick model's object only once the table is fresh: build five groups.
    ModelData m = Stick();
    for (int g = 2; g < 5; ++g) m.Groups.push_back({{0, 0.5f, 0}, 0, 4, 0, 0});
    m.GroupCount = 5;
    m.GroupList = {0, 1, 2, 3, 4};
    m.GroupListCount = 5;
    WriteBytes(dir.File("five.mdl"), WriteModelRecord(m));
    LoadModel(dir.File("five.mdl"), "FIVE", -1);
    D3DMATERIAL7 white;
    CreateSceneObject("FIVE", white, {3, 10, 20}, {}, {1, 1, 1}, "Lamp", "0", 0, 0, -1);
    ASSERT_EQ(LastSceneObjectIndex, 0);
    DrawFrame({0});
    const D3DVECTOR lamp = Joint(0, 4).WorldPosition;
    ExpectVector(lamp, 4, 11.5f, 20);
    DrawFrame({});  // the light is placed before anything is drawn: where last frame left it
    D3DLIGHT7 light;
    Device->GetLight(1, light);
    ExpectVector(light.position, lamp.x, lamp.y, lamp.z);
    ExpectVector(SceneLight.position, lamp.x, lamp.y, lamp.z);
}

TEST_F(SceneObjectDrawingTest, BadModelDataIsAnErrorNotAReadPastTheLists) {
    const int32_t o = Place(0, 0, 5);
    UseGroupList({0, 1});
    Models[model].GroupList[1] = 2;  // a group the model does not have
    DrawFrame({});
    AddObjectItem(o, 0, -1, 2, 1);
    ResetFrames();
    ExpectRuntimeError([] { RenderFrame(); }, rt::SubscriptOutOfRange, {});
    Device->EndScene();
    ResetDrawList();

    UseGroupList({0, 1});
    Models[model].BufferIndex = -1;
    AddObjectItem(o, 0, -1, 2, 1);
    ExpectRuntimeError([] { RenderFrame(); }, rt::SubscriptOutOfRange, {});
    Device->EndScene();
    ResetDrawList();

    Models[model].BufferIndex = LastBufferIndex;
    Models[model].IndexCount = 13;  // one more than the list holds
    AddObjectItem(o, 0, -1, 2, 1);
    ExpectRuntimeError([] { RenderFrame(); }, rt::SubscriptOutOfRange, {});
    Device->EndScene();
}

}  // namespace
