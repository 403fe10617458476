// Runs the built kqx tool on archives written by the program's own writers.
#include <gtest/gtest.h>

#include <cstdio>

#include "resources/Archive.h"
#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "resources/SurfaceFrames.h"
#include "tests/support/ResourceTestSupport.h"
#include "tests/support/TestSystem.h"

namespace {

struct Result {
    int status = -1;
    std::string output;  // standard output and standard error together
};

Result Kqx(const std::string& args) {
    const ProgramRun run = RunProgram(BuiltProgram("kqx"), Words(args));
    return Result{run.status, run.output + run.errors};
}

std::string Q(const std::string& s) {
    return "'" + s + "'";
}

ModelData TwoGroupModel() {
    ModelData m = BuiltInTriangle();
    m.Groups.push_back({{0.5f, 1, 0}, 1, 2, 3, 0.25f});
    m.GroupCount = 2;
    m.GroupList = {0, -1, 1};
    m.GroupListCount = 3;
    return m;
}

GeometrySet QuadSet() {
    GeometrySet s;
    s.Vertices.resize(4);
    s.BaseColors.assign(4, -1);
    s.VertexCount = 4;
    GeometryPart p;
    p.PartVertexCount = 4;
    p.Indices = {0, 1, 2, 3};
    p.IndexCount = 4;
    p.PrimitiveKind = 6;
    p.PartName = FixedGeometryName("QUAD");
    s.Parts = {p};
    s.PartCount = 1;
    s.Name = FixedGeometryName("COMMON");
    return s;
}

class KqxTest : public ::testing::Test {
  protected:
    TempDir dir;

    std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
        WriteBytes(dir.File(name), bytes);
        return dir.File(name);
    }
};

TEST_F(KqxTest, PackListExtractRoundTripsByteForByte) {
    std::vector<uint8_t> binary(3000);
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<uint8_t>(i * 7 + 3);
    const std::string a = Put("a.bin", binary);
    const std::string b = Put("b.txt", Bytes("Label,FF00,1,2,3,4\n"));
    const std::string e = Put("empty", {});
    const std::string archive = dir.File("out.kqx");
    const Result pack = Kqx("pack " + Q(archive) + " " + Q(a + ":FONT:4") + " " +
                            Q(b + ":CLICK:1") + " " + Q(e + ":NIL:text") + " " + Q(b + ":FONT:2"));
    ASSERT_EQ(pack.status, 0) << pack.output;

    const Result list = Kqx("list " + Q(archive));
    ASSERT_EQ(list.status, 0) << list.output;
    // 10 + 4 * 12 = 58 bytes of header and directory, so data starts at position 59.
    EXPECT_EQ(list.output,
              "    0  FONT       4          59        3000\n"
              "    1  CLICK      1        3059          19\n"
              "    2  NIL        1        3078           0\n"
              "    3  FONT       2        3078          19\n");

    const std::string out = dir.File("font.out");
    ASSERT_EQ(Kqx("extract " + Q(archive) + " FONT 4 " + Q(out)).status, 0);
    EXPECT_EQ(ReadBytes(out), binary);
    const Result toStdout = Kqx("extract " + Q(archive) + " CLICK text -");
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(toStdout.output, "Label,FF00,1,2,3,4\n");
    ASSERT_EQ(Kqx("extract " + Q(archive) + " NIL 1 " + Q(out)).status, 0);
    EXPECT_TRUE(ReadBytes(out).empty());

    // The tool's matching is the program's: exact, case-sensitive, by type.
    for (const char* miss : {"font 4", "' FONT' 4", "FONT 5", "FONTFONT 4"}) {
        const Result r = Kqx("extract " + Q(archive) + " " + miss + " -");
        EXPECT_EQ(r.status, 1) << miss;
        EXPECT_NE(r.output.find("no such entry"), std::string::npos) << r.output;
    }
}

TEST_F(KqxTest, CheckValidatesEveryEntryAndNamesTheFirstProblem) {
    const std::string model = Put("m", WriteModelRecord(TwoGroupModel()));
    const std::string set = Put("g", WriteGeometrySetRecord(QuadSet()));
    const std::string frames = Put("f", WriteSurfaceFrames(std::vector<SurfaceFrame>(3)));
    const std::string good = dir.File("good.kqx");
    ASSERT_EQ(Kqx("pack " + Q(good) + " " + Q(model + ":PALM:6") + " " + Q(set + ":COMMON:5") +
                  " " + Q(frames + ":FONT:4"))
                  .status,
              0);
    const Result ok = Kqx("check " + Q(good));
    EXPECT_EQ(ok.status, 0) << ok.output;
    EXPECT_NE(ok.output.find("3 entries, all valid"), std::string::npos);

    ModelData bad = TwoGroupModel();
    bad.GroupList[2] = 5;
    const std::string badModel = Put("bad", WriteModelRecord(bad));
    const std::string notImage = Put("img", Bytes("not an image"));
    const std::string oddFrames = Put("odd", std::vector<uint8_t>(30));
    struct Case {
        std::string entry, fragment;
    };
    for (const Case& c : std::vector<Case>{
             {badModel + ":PALM:6", "entry \"PALM\" (type 6): GroupList entry 2 names group 5"},
             {notImage + ":SKY:2", "entry \"SKY\" (type 2): image does not decode"},
             {oddFrames + ":FONT:4", "entry \"FONT\" (type 4): frame table of 30 bytes"},
             {model + ":ODD:3", "entry \"ODD\" (type 3): unknown entry type 3"}}) {
        const std::string archive = dir.File("bad.kqx");
        ASSERT_EQ(Kqx("pack " + Q(archive) + " " + Q(model + ":OK:6") + " " + Q(c.entry)).status,
                  0);
        const Result r = Kqx("check " + Q(archive));
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(c.fragment), std::string::npos) << r.output;
    }

    // A broken directory is reported too.
    std::vector<uint8_t> truncated = ReadBytes(good);
    truncated.resize(20);
    const Result r = Kqx("check " + Q(Put("short.kqx", truncated)));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("directory of 3 entries needs 46 bytes"), std::string::npos)
        << r.output;
}

TEST_F(KqxTest, ShowPrintsCountsAndGroupsOrParts) {
    const std::string archive = dir.File("show.kqx");
    ASSERT_EQ(Kqx("pack " + Q(archive) + " " +
                  Q(Put("m", WriteModelRecord(TwoGroupModel())) + ":PALM:6") + " " +
                  Q(Put("g", WriteGeometrySetRecord(QuadSet())) + ":COMMON:5"))
                  .status,
              0);
    const Result model = Kqx("show " + Q(archive) + " PALM model");
    ASSERT_EQ(model.status, 0) << model.output;
    for (const char* line :
         {"VertexCount 3 (list 3)", "GroupCount 2 (list 2)",
          "group 1: GroupOffset (0.5, 1, 0) FirstVertex 1 GroupVertexCount 2 Joint 3 Weight 0.25",
          "GroupList: 0 -1 1"}) {
        EXPECT_NE(model.output.find(line), std::string::npos) << line << "\n" << model.output;
    }
    const Result set = Kqx("show " + Q(archive) + " COMMON 5");
    ASSERT_EQ(set.status, 0) << set.output;
    EXPECT_NE(set.output.find("part 0 \"QUAD   \": FirstVertex 0 PartVertexCount 4 IndexCount 4"),
              std::string::npos)
        << set.output;
}

TEST_F(KqxTest, WrongCallsExitWithTwo) {
    EXPECT_EQ(Kqx("--help").status, 0);
    EXPECT_NE(Kqx("--help").output.find("kqx pack OUT FILE:NAME:TYPE"), std::string::npos);
    const std::string f = Put("f", Bytes("x"));
    for (const std::string& args : std::vector<std::string>{
             std::string(""), std::string("list"), std::string("frobnicate x"),
             "extract a.kqx NAME notatype", "pack out.kqx", "pack out.kqx " + Q(f + ":TOOLONGX:1"),
             "pack out.kqx " + Q(f + ": LEAD:1"), "pack out.kqx " + Q(f + ":NAME"),
             "show a.kqx NAME 2"}) {
        EXPECT_EQ(Kqx(args).status, 2) << args;
    }
    EXPECT_EQ(Kqx("list " + Q(dir.File("missing.kqx"))).status, 1);
}

}  // namespace
