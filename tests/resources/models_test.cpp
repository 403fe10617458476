#include "resources/Models.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "core/Declarations.h"
#include "resources/Archive.h"
#include "resources/ScratchFile.h"
#include "tests/support/DeviceFixture.h"
#include "tests/support/ResourceTestSupport.h"

namespace {

// A small jointed model: two groups of two triangles' worth of vertices, one chain.
ModelData Sample() {
    ModelData m;
    m.Vertices.resize(6);
    for (int i = 0; i < 6; ++i) {
        m.Vertices[i] = {float(i), float(-i), 0.5f, 0, 1, 0, 0xFF102030u + i, 0.25f, 0.75f};
    }
    m.VertexCount = 6;
    m.Indices = {0, 1, 2, 3, 4, 5};
    m.IndexCount = 6;
    m.Groups = {{{0, 1, 0}, 0, 3, 7, 0.5f}, {{0, 2, 0}, 3, 3, 8, 1.0f}};
    m.GroupCount = 2;
    m.GroupList = {0, 1, -1};
    m.GroupListCount = 3;
    m.BufferIndex = 99;
    m.Name = "STORED";
    return m;
}

const DataSource kSource{"Data.kqx", "PALM", 6};

void ExpectSame(const ModelData& a, const ModelData& b) {
    EXPECT_EQ(WriteModelRecord(a), WriteModelRecord(b));
}

// Loading makes the model's vertex buffers, so the device is there.
class ModelsTest : public DeviceFixture {
  protected:
    TempDir dir;

    void SetUp() override {
        DeviceFixture::SetUp();
        AppPath = dir.Folder();
    }
    void TearDown() override {
        DeleteScratchFile();
        DeviceFixture::TearDown();
    }

    int16_t OpenWith(const std::vector<ArchiveItem>& items) {
        const std::string path = dir.File("Data.kqx");
        WriteBytes(path, WriteArchive(items));
        return OpenArchive(path);
    }
};

TEST_F(ModelsTest, RecordIsPackedLittleEndianInFieldOrder) {
    const ModelData m = BuiltInTriangle();
    const std::vector<uint8_t> bytes = WriteModelRecord(m);
    // 4 + (10 + 25) + 2 + (10 + 3 * 36) + 4 + (10 + 3 * 2) + 4 + (10 + 2) + 2 + 2 + 0 + 1
    ASSERT_EQ(bytes.size(), 200u);
    // The groups' list header: one dimension, one element, from index 0.
    EXPECT_EQ((std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 14)),
              (std::vector<uint8_t>{1, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
    // GroupVertexCount of group 0 at 4 + 10 + 16, GroupCount right after the 25-byte group.
    EXPECT_EQ(bytes[30], 3);
    EXPECT_EQ(bytes[39], 1);
    EXPECT_EQ(bytes[40], 0);
    // Vertex 1's X (1.0f) at 41 + 10 + 36, and its colour 0xFF0000FF little-endian 24 bytes on.
    float x = 0;
    std::memcpy(&x, &bytes[87], 4);
    EXPECT_EQ(x, 1.0f);
    EXPECT_EQ((std::vector<uint8_t>(bytes.begin() + 111, bytes.begin() + 115)),
              (std::vector<uint8_t>{0xFF, 0, 0, 0xFF}));
    ExpectSame(ReadModelRecord(bytes, kSource), m);
    ExpectSame(ReadModelRecord(WriteModelRecord(Sample()), kSource), Sample());
}

TEST_F(ModelsTest, BuiltInTriangleFillsSlotZeroAndTheNextModelSlotOne) {
    EXPECT_EQ(LoadModel("", "CHAR", -1), 0);
    const ModelData& m = Models[0];
    EXPECT_EQ(m.Loaded, 1);
    EXPECT_EQ(m.Name, "CHAR");
    ASSERT_EQ(m.VertexCount, 3);
    EXPECT_EQ(m.Vertices[0].Color, 0xFF00FF00u);
    EXPECT_EQ(m.Vertices[1].X, 1.0f);
    EXPECT_EQ(m.Vertices[1].TU, 1.0f);
    EXPECT_EQ(m.Vertices[1].Color, 0xFF0000FFu);
    EXPECT_EQ(m.Vertices[2].Y, -1.0f);
    EXPECT_EQ(m.Vertices[2].TV, 1.0f);
    EXPECT_EQ(m.Vertices[2].Color, 0xFFFF0000u);
    EXPECT_EQ(m.Indices, (std::vector<int16_t>{0, 1, 2}));
    EXPECT_EQ(m.IndexCount, 3);
    ASSERT_EQ(m.GroupCount, 1);
    EXPECT_EQ(m.Groups[0].FirstVertex, 0);
    EXPECT_EQ(m.Groups[0].GroupVertexCount, 3);
    EXPECT_EQ(m.GroupList, (std::vector<int16_t>{0}));
    EXPECT_EQ(m.GroupListCount, 1);

    EXPECT_EQ(LoadModel("", "CHAR2", -1), 1);
    EXPECT_EQ(LastModelIndex, 1);
    EXPECT_EQ(Models[1].Name, "CHAR2");
}

TEST_F(ModelsTest, ArchiveAndPlainFileLoadsTakeTheRequestedName) {
    const int16_t slot = OpenWith({{"PALM", 6, WriteModelRecord(Sample())}});
    EXPECT_EQ(LoadModel("", "PALM", slot), 0);
    EXPECT_EQ(Models[0].Name, "PALM");  // the stored "STORED" and BufferIndex 99 are ignored
    EXPECT_NE(Models[0].BufferIndex, 99);
    EXPECT_EQ(Models[0].GroupCount, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.File("Temp.dat")));

    const std::string path = dir.File("tree.mdl");
    WriteBytes(path, WriteModelRecord(Sample()));
    EXPECT_EQ(LoadModel(path, "TREE", -1), 1);
    EXPECT_EQ(Models[1].Name, "TREE");
    EXPECT_EQ(Models[1].VertexCount, 6);
    ExpectRuntimeError([&] { LoadModel(dir.File("none.mdl"), "X", -1); }, rt::FileNotFound,
                       {dir.File("none.mdl")});
}

TEST_F(ModelsTest, MissingEntryIsAnErrorEvenWithAStaleScratchFileAround) {
    const int16_t slot = OpenWith({{"PALM", 6, WriteModelRecord(Sample())}});
    // A valid model left in Temp.dat by an earlier run must not be taken for the missing one.
    WriteBytes(dir.File("Temp.dat"), WriteModelRecord(Sample()));
    ExpectRuntimeError([&] { LoadModel("", "PALMX", slot); }, rt::FileNotFound,
                       {dir.File("Data.kqx"), "entry \"PALMX\" (type 6)", "no such model"});
    // After a real extraction was taken, the next miss must not find its leftovers either.
    LoadModel("", "PALM", slot);
    ExpectRuntimeError([&] { LoadModel("", "palm", slot); }, rt::FileNotFound, {"palm"});
    EXPECT_EQ(LastModelIndex, 0);
    EXPECT_EQ(Models.size(), 1u);
}

TEST_F(ModelsTest, FindModelIsCaseSensitiveAndTakesTheLowestSlot) {
    LoadModel("", "PALM", -1);
    LoadModel("", "palm", -1);
    LoadModel("", "PALM", -1);
    EXPECT_EQ(FindModel("PALM"), 0);
    EXPECT_EQ(FindModel("palm"), 1);
    EXPECT_EQ(FindModel("Palm"), -1);
    EXPECT_EQ(FindModel(""), -1);  // the empty slot 0 of a fresh table is no model
    ResetModelTables();
    EXPECT_EQ(FindModel(""), -1);
}

TEST_F(ModelsTest, InconsistentRecordsAreRefusedWithTheirReason) {
    struct Case {
        const char* what;
        void (*spoil)(ModelData&);
        std::string fragment;
    };
    const std::vector<Case> cases = {
        {"groups", [](ModelData& m) { m.GroupCount = 3; }, "GroupCount 3 exceeds the 2 elements"},
        {"vertices", [](ModelData& m) { m.VertexCount = 7; },
         "VertexCount 7 exceeds the 6 elements of Vertices"},
        {"indices", [](ModelData& m) { m.IndexCount = 9; }, "IndexCount 9 exceeds"},
        {"group list", [](ModelData& m) { m.GroupListCount = 4; }, "GroupListCount 4 exceeds"},
        {"negative", [](ModelData& m) { m.VertexCount = -1; }, "VertexCount -1 is negative"},
        {"index", [](ModelData& m) { m.Indices[4] = 6; },
         "index 4 (vertex 6) points outside the 6 vertices"},
        {"negative index", [](ModelData& m) { m.Indices[0] = -2; }, "index 0 (vertex -2)"},
        {"group range", [](ModelData& m) { m.Groups[1].GroupVertexCount = 4; },
         "group 1 (first vertex 3, 4 vertices) lies outside the 6 vertices"},
        {"group start", [](ModelData& m) { m.Groups[0].FirstVertex = -1; }, "group 0"},
        {"group list entry", [](ModelData& m) { m.GroupList[1] = 2; },
         "GroupList entry 1 names group 2 of only 2"},
        {"too many vertices",
         [](ModelData& m) {
             m.Vertices.resize(600);
             m.VertexCount = 600;
         },
         "vertex count 600 exceeds the 512 the buffers hold"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModelData m = Sample();
        c.spoil(m);
        const std::vector<uint8_t> bytes = WriteModelRecord(m);
        ExpectRuntimeError([&] { ReadModelRecord(bytes, kSource); }, rt::InvalidFileFormat,
                           {"Data.kqx: entry \"PALM\" (type 6): " + c.fragment});
    }
    // Counts below their list lengths are fine: the extra elements are kept, not counted.
    ModelData m = Sample();
    m.GroupCount = 1;
    m.GroupList = {0};
    m.GroupListCount = 1;
    EXPECT_EQ(ReadModelRecord(WriteModelRecord(m), kSource).Groups.size(), 2u);
}

TEST_F(ModelsTest, ListHeadersMustBeOneDimensionFromZero) {
    const std::vector<uint8_t> good = WriteModelRecord(Sample());
    std::vector<uint8_t> bytes = good;
    bytes[4] = 2;  // the groups list claims two dimensions
    ExpectRuntimeError([&] { ReadModelRecord(bytes, kSource); }, rt::InvalidFileFormat,
                       {"list Groups has 2 dimensions, not 1"});
    bytes = good;
    bytes[10] = 1;  // lower bound 1
    ExpectRuntimeError([&] { ReadModelRecord(bytes, kSource); }, rt::InvalidFileFormat,
                       {"list Groups starts at index 1, not 0"});
    bytes = good;
    bytes[6] = 0xFF;
    bytes[7] = 0xFF;
    bytes[8] = 0xFF;
    bytes[9] = 0x7F;  // two billion groups in a few hundred bytes
    ExpectRuntimeError([&] { ReadModelRecord(bytes, kSource); }, rt::InputPastEndOfFile,
                       {"list Groups declares 2147483647 elements"});
}

TEST_F(ModelsTest, EveryTruncationIsReportedAsInputPastTheEnd) {
    const std::vector<uint8_t> good = WriteModelRecord(Sample());
    for (size_t n = 0; n < good.size(); ++n) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + n);
        try {
            ReadModelRecord(cut, kSource);
            ADD_FAILURE() << "a record cut to " << n << " bytes was accepted";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Number(), rt::InputPastEndOfFile) << n << ": " << e.what();
        }
    }
    ExpectRuntimeError(
        [&] {
            ReadModelRecord({good.data(), 70}, kSource);
        },
        rt::InputPastEndOfFile, {"Data.kqx: entry \"PALM\"", "inside Vertices"});
}

}  // namespace
