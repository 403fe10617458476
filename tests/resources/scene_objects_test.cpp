#include <gtest/gtest.h>

#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "resources/Surfaces.h"
#include "tests/support/DeviceFixture.h"
#include "tests/support/ResourceTestSupport.h"

namespace {

// Models get vertex buffers and objects textures, so the device is there.
class SceneObjectsTest : public DeviceFixture {
  protected:
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
    const int32_t textures = LastTextureIndex;
    Create("CHAR", "A", "0");
    Create("CHAR", "B", "");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(SceneObjects[i].TextureIndex, -1);
        EXPECT_EQ(SceneObjects[i].ColorKey, -1);
        EXPECT_EQ(SceneObjects[i].TexturePath, "");
    }
    EXPECT_EQ(LastTextureIndex, textures);
}

// A 2 x 2 picture, all one colour, as a 24-bit BMP.
std::vector<uint8_t> SolidBmp(uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> bmp(54 + 16, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, static_cast<uint32_t>(bmp.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, 2);
    bmp[26] = 1;
    bmp[28] = 24;
    put32(34, 16);
    for (size_t row = 0; row < 2; ++row) {
        for (size_t px = 0; px < 2; ++px) {
            const size_t at = 54 + row * 8 + px * 3;
            bmp[at] = b;
            bmp[at + 1] = g;
            bmp[at + 2] = r;
        }
    }
    return bmp;
}

TEST_F(SceneObjectsTest, TexturePathLoadsThatFileUnderTheObjectsName) {
    TempDir dir;
    WriteBytes(dir.File("bark.bmp"), SolidBmp(255, 0, 0));
    LoadModel("", "CHAR", -1);
    Create("CHAR", "Bark", dir.File("bark.bmp"));
    Create("CHAR", "Gone", dir.File("missing.png"));

    const SceneObject& bark = SceneObjects[0];
    EXPECT_EQ(bark.TexturePath, dir.File("bark.bmp"));
    EXPECT_EQ(bark.ColorKey, 0);
    ASSERT_GE(bark.TextureIndex, 0);
    const SurfaceRecord& texture = TextureList.at(static_cast<size_t>(bark.TextureIndex));
    EXPECT_EQ(texture.Name, "Bark");
    ASSERT_EQ(texture.Surface->Width(), 64);  // stretched to the size asked for
    ASSERT_EQ(texture.Surface->Height(), 32);
    EXPECT_EQ(texture.Surface->Row(31)[63], 0xF800);
    EXPECT_TRUE(texture.Surface->HasSourceColorKey());
    ASSERT_EQ(texture.Frames.size(), 1u);
    EXPECT_EQ(texture.Frames[0].Right, 64);
    EXPECT_EQ(texture.Frames[0].Bottom, 32);

    // A file that is not there still gives the object a texture of its own, empty.
    const SceneObject& gone = SceneObjects[1];
    ASSERT_GE(gone.TextureIndex, 0);
    EXPECT_NE(gone.TextureIndex, bark.TextureIndex);
    EXPECT_EQ(TextureList.at(static_cast<size_t>(gone.TextureIndex)).Surface->Row(0)[0], 0);
}

}  // namespace
