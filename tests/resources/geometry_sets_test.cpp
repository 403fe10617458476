#include <gtest/gtest.h>

#include <filesystem>

#include "core/Declarations.h"
#include "resources/Archive.h"
#include "resources/GeometrySets.h"
#include "resources/ScratchFile.h"
#include "tests/support/ResourceTestSupport.h"

namespace {

D3DVERTEX Vertex(float x, float y, float z, uint32_t color = 0xFF000000u) {
    D3DVERTEX v;
    v.x = x;
    v.y = y;
    v.z = z;
    v.color = color;
    return v;
}

// Four vertices with a quad part and a triangle part.
GeometrySet Sample(const std::string& name = "COMMON") {
    GeometrySet s;
    for (int i = 0; i < 4; ++i) s.Vertices.push_back(Vertex(float(i), 1, 2, 0xFF000000u + i));
    s.BaseColors = {1, 2, 3, 4};
    s.VertexCount = 4;
    GeometryPart quad;
    quad.PartVertexCount = 4;
    quad.Indices = {0, 1, 2, 3};
    quad.IndexCount = 4;
    quad.PrimitiveKind = 6;
    quad.PartName = FixedGeometryName("QUAD");
    GeometryPart tri;
    tri.FirstVertex = 1;
    tri.PartVertexCount = 3;
    tri.Indices = {0, 1, 2};
    tri.IndexCount = 3;
    tri.PrimitiveKind = 4;
    tri.AmbientColor = {0.5f, 0.25f, 1, 1};
    tri.PartName = FixedGeometryName("TRI");
    s.Parts = {quad, tri};
    s.PartCount = 2;
    s.Name = FixedGeometryName(name);
    s.InUse = 1;
    return s;
}

const DataSource kSource{"Data.kqx", "LAND", 5};

class GeometrySetsTest : public ::testing::Test {
  protected:
    TempDir dir;

    void SetUp() override {
        AppPath = dir.Folder();
        ResetArchiveTables();
        ResetGeometryTables();
    }
    void TearDown() override {
        DeleteScratchFile();
        ResetArchiveTables();
        ResetGeometryTables();
    }

    int16_t OpenWith(const std::vector<ArchiveItem>& items) {
        const std::string path = dir.File("Data.kqx");
        WriteBytes(path, WriteArchive(items));
        return OpenArchive(path);
    }
};

TEST_F(GeometrySetsTest, RecordRoundTripsAndHasThePackedSize) {
    const GeometrySet s = Sample();
    const std::vector<uint8_t> bytes = WriteGeometrySetRecord(s);
    // Vertices 10 + 4 * 36, BaseColors 10 + 16, VertexCount 2, Parts 10 + (71 + 8) + (71 + 6),
    // PartCount 2, Name 7, InUse 1.
    EXPECT_EQ(bytes.size(), 154u + 26 + 2 + 10 + 79 + 77 + 2 + 7 + 1);
    EXPECT_EQ(WriteGeometrySetRecord(ReadGeometrySetRecord(bytes, kSource)), bytes);
    // The set's name closes the record just before InUse.
    EXPECT_EQ(std::string(bytes.end() - 8, bytes.end() - 1), "COMMON ");
}

TEST_F(GeometrySetsTest, LoadedSetsNumberFromZeroAndRegisterTheirNames) {
    GeometrySet bg = Sample("BG");
    bg.Parts[0].PartName = FixedGeometryName("BG");
    bg.Parts[1].PartName = FixedGeometryName("BG");
    bg.InUse = 0;  // a loaded set is in use whatever its record says
    const int16_t slot = OpenWith(
        {{"COMMON", 5, WriteGeometrySetRecord(Sample())}, {"BG", 5, WriteGeometrySetRecord(bg)}});
    EXPECT_EQ(LoadGeometrySet(slot, "COMMON"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("Temp.dat")));
    EXPECT_EQ(LoadGeometrySet(slot, "BG"), 1);
    EXPECT_EQ(LoadGeometrySet(slot, "COMMON"), 2);
    EXPECT_EQ(GeometrySetCount, 2);
    EXPECT_EQ(GeometrySets[1].InUse, 1);
    EXPECT_EQ(CommonSets[0], 2);  // the latest registration wins
    EXPECT_EQ(BackgroundSets[0], 1);
    EXPECT_EQ(BackgroundParts, (std::vector<int16_t>{0, 1}));

    // A missing entry changes nothing and answers 0.
    EXPECT_EQ(LoadGeometrySet(slot, "NONE"), 0);
    EXPECT_EQ(GeometrySetCount, 2);
    EXPECT_EQ(GeometrySets.size(), 3u);
}

TEST_F(GeometrySetsTest, BackgroundPartsStartFromMinusOne) {
    for (int n : {0, 1, 2}) RegisterGeometryName("BG     ", n);
    EXPECT_EQ(BackgroundParts, (std::vector<int16_t>{0, 1, 2}));
    ResetBackgroundParts();
    RegisterGeometryName("BG", 3);
    RegisterGeometryName("BG", 4);
    EXPECT_EQ(BackgroundParts, (std::vector<int16_t>{0, 4}));
}

TEST_F(GeometrySetsTest, MiniAndCommonPartsRecordTheirNumbersAndOtherNamesAreIgnored) {
    RegisterGeometryName("MINI", 3);
    EXPECT_EQ(MiniParts, (std::vector<int16_t>{0, 0, 0, 3}));
    RegisterGeometryName("MINI", 1);
    EXPECT_EQ(MiniParts, (std::vector<int16_t>{0, 1, 0, 3}));
    RegisterGeometryName(" COMMON ", 2);
    EXPECT_EQ(CommonParts, (std::vector<int16_t>{0, 0, 2}));
    GeometrySetCount = 5;
    RegisterGeometryName("MINI", -1);
    RegisterGeometryName("mini", -1);
    RegisterGeometryName("MINIS", 7);
    EXPECT_EQ(MiniSets[0], 5);
    EXPECT_EQ(CommonSets[0], 0);
    EXPECT_EQ(MiniParts.size(), 4u);
}

TEST_F(GeometrySetsTest, BuiltSetsKeepBaseColoursAndPartsIndexFromTheirFirstVertex) {
    std::vector<D3DVERTEX> vertices = {Vertex(-3, 0, 0), Vertex(1, 2, 3, 0x80FF0000u),
                                       Vertex(5, -2, 1, 0x8000FF00u), Vertex(3, 4, -5)};
    EXPECT_EQ(AddGeometrySet(vertices, 3, "MINI"), 0);
    EXPECT_EQ(AddGeometrySet(vertices, 4, "EXTRA"), 1);
    const GeometrySet& s = GeometrySets[0];
    EXPECT_EQ(s.VertexCount, 3);
    EXPECT_EQ(s.Vertices.size(), 3u);
    EXPECT_EQ(s.BaseColors, (std::vector<int32_t>{int32_t(0xFF000000u), int32_t(0x80FF0000u),
                                                  int32_t(0x8000FF00u)}));
    EXPECT_EQ(s.Name, "MINI   ");
    EXPECT_EQ(MiniSets[0], 0);

    // Indices come from position 2 of the source, relative to vertex 1.
    const std::vector<int16_t> source = {9, 9, 1, 2, 3};
    const std::array<D3DCOLORVALUE, 2> colours = {D3DCOLORVALUE{1, 0, 0, 1},
                                                  D3DCOLORVALUE{0, 0, 1, 1}};
    EXPECT_EQ(AddGeometryPart(1, 1, 3, source, 3, colours, 4, "MINI", 1, 2, true), 0);
    const GeometryPart& p = GeometrySets[1].Parts[0];
    EXPECT_EQ(p.Indices, (std::vector<int16_t>{0, 1, 2}));
    EXPECT_EQ(p.DiffuseColor.r, 1);
    EXPECT_EQ(p.AmbientColor.b, 1);
    // The box of vertices 1 to 3: x 1..5, y -2..4, z -5..3.
    EXPECT_EQ(p.Centre.x, 3);
    EXPECT_EQ(p.Centre.y, 1);
    EXPECT_EQ(p.Centre.z, -1);
    EXPECT_EQ(MiniParts, (std::vector<int16_t>{0}));

    EXPECT_EQ(AddGeometryPart(1, 0, 0, source, 0, colours, 4, "EMPTY", 0, 0, false), 1);
    EXPECT_TRUE(GeometrySets[1].Parts[1].Indices.empty());
    EXPECT_EQ(GeometrySets[1].PartCount, 2);

    // Indices that leave the source or the vertices are subscript errors, not stray reads.
    ExpectRuntimeError([&] { AddGeometryPart(1, 0, 3, source, 4, colours, 4, "X", 0, 2, false); },
                       rt::SubscriptOutOfRange, {});
    const std::vector<int16_t> far = {40};
    ExpectRuntimeError([&] { AddGeometryPart(1, 0, 1, far, 1, colours, 4, "X", 0, 0, true); },
                       rt::SubscriptOutOfRange, {});
    ExpectRuntimeError([&] { AddGeometrySet(vertices, 5, "X"); }, rt::SubscriptOutOfRange,
                       {"5 vertices asked of a list of 4"});
    ExpectRuntimeError([&] { AddGeometryPart(9, 0, 0, source, 0, colours, 4, "X", 0, 0, false); },
                       rt::SubscriptOutOfRange, {});
}

TEST_F(GeometrySetsTest, InconsistentRecordsAreRefusedWithTheirReason) {
    struct Case {
        const char* what;
        void (*spoil)(GeometrySet&);
        std::string fragment;
    };
    const std::vector<Case> cases = {
        {"vertices", [](GeometrySet& s) { s.VertexCount = 5; },
         "VertexCount 5 exceeds the 4 elements of Vertices"},
        {"base colours", [](GeometrySet& s) { s.BaseColors.pop_back(); },
         "VertexCount 4 exceeds the 3 elements of BaseColors"},
        {"parts", [](GeometrySet& s) { s.PartCount = 3; }, "PartCount 3 exceeds the 2"},
        {"indices", [](GeometrySet& s) { s.Parts[1].IndexCount = 4; },
         "part 1 IndexCount 4 exceeds the 3 elements of part 1 Indices"},
        {"part range", [](GeometrySet& s) { s.Parts[1].PartVertexCount = 4; },
         "part 1 (first vertex 1, 4 vertices) lies outside the 4 vertices"},
        {"index", [](GeometrySet& s) { s.Parts[1].Indices[2] = 3; },
         "part 1 index 2 (vertex 3) points outside the part's 3 vertices"},
        {"kind", [](GeometrySet& s) { s.Parts[0].PrimitiveKind = 9; },
         "part 0 has primitive kind 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GeometrySet s = Sample();
        c.spoil(s);
        const std::vector<uint8_t> bytes = WriteGeometrySetRecord(s);
        ExpectRuntimeError([&] { ReadGeometrySetRecord(bytes, kSource); }, rt::InvalidFileFormat,
                           {"Data.kqx: entry \"LAND\" (type 5): " + c.fragment});
    }

    std::vector<uint8_t> bytes = WriteGeometrySetRecord(Sample());
    bytes[0] = 0;  // a list without dimensions
    ExpectRuntimeError([&] { ReadGeometrySetRecord(bytes, kSource); }, rt::InvalidFileFormat,
                       {"list Vertices has 0 dimensions"});
}

TEST_F(GeometrySetsTest, EveryTruncationIsReportedAndLeavesTheTableAlone) {
    const std::vector<uint8_t> good = WriteGeometrySetRecord(Sample());
    for (size_t n = 0; n < good.size(); ++n) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + n);
        try {
            ReadGeometrySetRecord(cut, kSource);
            ADD_FAILURE() << "a record cut to " << n << " bytes was accepted";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Number(), rt::InputPastEndOfFile) << n << ": " << e.what();
        }
    }
    std::vector<uint8_t> cut = good;
    cut.resize(good.size() / 2);
    const int16_t slot = OpenWith({{"LAND", 5, cut}});
    ExpectRuntimeError([&] { LoadGeometrySet(slot, "LAND"); }, rt::InputPastEndOfFile,
                       {dir.File("Data.kqx") + ": entry \"LAND\" (type 5)"});
    EXPECT_EQ(GeometrySets.size(), 1u);
    EXPECT_EQ(GeometrySets[0].InUse, 0);
}

}  // namespace
