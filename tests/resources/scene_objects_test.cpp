#include <gtest/gtest.h>

#include "platform/host/HeadlessHost.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"

namespace {

class SceneObjectsTest : public ::testing::Test {
  protected:
    HeadlessHost host{HeadlessOptions{}};  // loading and placing re-seed from its clock

    void SetUp() override {
        SetActiveHost(&host);
        ResetModelTables();
        ResetSceneObjectTables();
    }
    void TearDown() override {
        ResetModelTables();
        ResetSceneObjectTables();
        SetActiveHost(nullptr);
    }

    static void Create(const std::string& model, const std::string& name,
                       const std::string& texture = "0") {
        D3DMATERIAL7 material;
        material.diffuse = {1, 0.5f, 0.25f, 1};
        material.power = 7;
        CreateSceneObject(model, material, {1, 2, 3}, {0, 40, 0}, {1, 1.4f, 1}, name, texture, 64,
                          32, 0);
    }
};

TEST_F(SceneObjectsTest, ObjectsFillSlotZeroThenOneAndCopyTheirPlacement) {
    LoadModel("", "CHAR", -1);
    Create("CHAR", "Char1");
    Create("CHAR", "Char2");
    ASSERT_EQ(LastSceneObjectIndex, 1);
    ASSERT_EQ(SceneObjects.size(), 2u);
    const SceneObject& o = SceneObjects[0];
    EXPECT_EQ(o.ObjectName, "Char1");
    EXPECT_EQ(SceneObjects[1].ObjectName, "Char2");
    EXPECT_EQ(o.Active, 1);
    EXPECT_EQ(o.ModelName, "CHAR");
    EXPECT_EQ(o.Position.z, 3);
    EXPECT_EQ(o.Rotation.y, 40);
    EXPECT_EQ(o.Scale.y, 1.4f);
    EXPECT_EQ(o.Material.diffuse.g, 0.5f);
    EXPECT_EQ(o.Material.power, 7);
    EXPECT_EQ(o.StyleFlag, 0);
}

TEST_F(SceneObjectsTest, UnknownModelNameCreatesNothing) {
    LoadModel("", "CHAR", -1);
    Create("PALM", "Char1");
    Create("char", "Char1");
    EXPECT_EQ(LastSceneObjectIndex, 0);
    EXPECT_EQ(SceneObjects.size(), 1u);
    EXPECT_EQ(SceneObjects[0].Active, 0);
    Create("", "Char1");  // the name of an empty model slot is no model either
    EXPECT_EQ(SceneObjects[0].Active, 0);
}

TEST_F(SceneObjectsTest, ObjectUsesTheLowestModelOfItsNameAndGetsAJointPerGroup) {
    LoadModel("", "OTHER", -1);
    LoadModel("", "PALM", -1);
    LoadModel("", "PALM", -1);
    Models[1].Groups.resize(29);
    Models[1].GroupCount = 29;
    Create("PALM", "Char1");
    const SceneObject& o = SceneObjects[0];
    EXPECT_EQ(o.ModelIndex, 1);
    EXPECT_EQ(o.JointCount, 29);
    ASSERT_EQ(o.Joints.size(), 29u);
    EXPECT_EQ(o.Joints[28].Flags, 0);
    EXPECT_EQ(o.Joints[28].LocalAngles.x, 0);

    Create("OTHER", "Tri");  // the built-in triangle has one group
    EXPECT_EQ(SceneObjects[1].JointCount, 1);
    EXPECT_EQ(SceneObjects[1].Joints.size(), 1u);
}

TEST_F(SceneObjectsTest, NoTextureLeavesTheTextureFieldsUnset) {
    LoadModel("", "CHAR", -1);
    Create("CHAR", "A", "0");
    Create("CHAR", "B", "");
    Create("CHAR", "C", "bark.png");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(SceneObjects[i].TextureIndex, -1);
        EXPECT_EQ(SceneObjects[i].ColorKey, -1);
        EXPECT_EQ(SceneObjects[i].TexturePath, "");
    }
    EXPECT_EQ(SceneObjects[2].TexturePath, "bark.png");
    EXPECT_EQ(SceneObjects[2].TextureWidth, 64);
    EXPECT_EQ(SceneObjects[2].TextureHeight, 32);
    EXPECT_EQ(SceneObjects[2].ColorKey, 0);
}

}  // namespace
