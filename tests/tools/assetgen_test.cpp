// Holds the generated Data.kqx to what the program needs of it, read back with the program's own
// readers: which entries exist, how the geometry sets and parts are numbered and shaped, where
// the islands stand, how the palm is jointed, the font's frames and arrows, the water loop and
// the editor menu.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "core/Declarations.h"
#include "platform/dx/DirectDraw.h"
#include "platform/dx/DirectX7.h"
#include "platform/host/HeadlessHost.h"
#include "resources/Archive.h"
#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "resources/SurfaceFrames.h"
#include "tests/support/ResourceTestSupport.h"
#include "tests/support/TestSystem.h"

namespace {

const std::string kDataPath = std::string(VELMORA_BINARY_DIR) + "/Data.kqx";
constexpr char kCharacterMap[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz1234567890.:,;-()|!?'%$*{}^_+/\\ @";

const std::array<D3DVECTOR, 5> kPalmPositions{
    {{27, 6, -17.5f}, {-25, 3.6f, 4}, {-32, 3.2f, 1.5f}, {-4, 1.2f, 8}, {21, 6.65f, -24}}};

const Archive& Data() {
    static const Archive archive = ReadArchiveFile(kDataPath);
    return archive;
}

std::vector<uint8_t> Entry(const std::string& name, uint8_t type) {
    const int index = FindEntry(Data(), name, type);
    if (index < 0) throw std::runtime_error("no entry " + name);
    return ReadEntryBytes(Data(), index);
}

GeometrySet Set(const std::string& name) {
    return ReadGeometrySetRecord(Entry(name, EntryTypeGeometry), {kDataPath, name, 5});
}

RgbImage Image(const std::string& name) {
    return DecodeImage(Entry(name, EntryTypeImage));
}

std::array<int, 3> Channels(const RgbImage& image, int x, int y) {
    const uint32_t p = image.pixels[static_cast<size_t>(y) * image.width + x];
    return {static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF),
            static_cast<int>(p & 0xFF)};
}

D3DVECTOR Pos(const D3DVERTEX& v) {
    return {v.x, v.y, v.z};
}
D3DVECTOR Sub(D3DVECTOR a, D3DVECTOR b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
D3DVECTOR Cross(D3DVECTOR a, D3DVECTOR b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(D3DVECTOR a, D3DVECTOR b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
float Length(D3DVECTOR a) {
    return std::sqrt(Dot(a, a));
}
// The side the device draws: a triangle is drawn when it is clockwise on screen, which is when
// this normal points at the viewer.
D3DVECTOR FrontNormal(D3DVECTOR a, D3DVECTOR b, D3DVECTOR c) {
    return Cross(Sub(b, a), Sub(c, a));
}

// Triangles of a part, as positions.
std::vector<std::array<D3DVECTOR, 3>> Triangles(const GeometrySet& set, const GeometryPart& part) {
    std::vector<std::array<D3DVECTOR, 3>> out;
    for (int i = 0; i + 2 < part.IndexCount; i += 3) {
        out.push_back({Pos(set.Vertices[part.FirstVertex + part.Indices[i]]),
                       Pos(set.Vertices[part.FirstVertex + part.Indices[i + 1]]),
                       Pos(set.Vertices[part.FirstVertex + part.Indices[i + 2]])});
    }
    return out;
}

D3DVECTOR Apply(D3DVECTOR p, const D3DMATRIX& m) {
    return {p.x * m.rc11 + p.y * m.rc21 + p.z * m.rc31 + m.rc41,
            p.x * m.rc12 + p.y * m.rc22 + p.z * m.rc32 + m.rc42,
            p.x * m.rc13 + p.y * m.rc23 + p.z * m.rc33 + m.rc43};
}

// The program's math helpers, for turning content the way the renderer will.
class ProgramMath {
  public:
    D3DMATRIX RotX(float deg) { return Rot(&DirectX7::RotateXMatrix, deg); }
    D3DMATRIX RotY(float deg) { return Rot(&DirectX7::RotateYMatrix, deg); }
    D3DMATRIX RotZ(float deg) { return Rot(&DirectX7::RotateZMatrix, deg); }
    D3DMATRIX Mul(const D3DMATRIX& a, const D3DMATRIX& b) {
        D3DMATRIX r;
        dx_.MatrixMultiply(r, a, b);
        return r;
    }
    // A jointed group's local matrix: Rx * Ry * Rz * T.
    D3DMATRIX Euler(D3DVECTOR pos, D3DVECTOR deg) {
        D3DMATRIX t;
        dx_.IdentityMatrix(t);
        t.rc41 = pos.x;
        t.rc42 = pos.y;
        t.rc43 = pos.z;
        return Mul(Mul(Mul(RotX(deg.x), RotY(deg.y)), RotZ(deg.z)), t);
    }

  private:
    HeadlessHost host_{HeadlessOptions{}};
    DirectX7 dx_{host_};
    D3DMATRIX Rot(void (DirectX7::*f)(D3DMATRIX&, float) const, float deg) {
        D3DMATRIX m;
        (dx_.*f)(m, static_cast<float>(deg * DegToRad));
        return m;
    }
};

// ---------------------------------------------------------------------------------------------

TEST(AssetArchive, HoldsEveryEntryTheLoadReadsAtItsSize) {
    const std::vector<std::pair<std::string, uint8_t>> needed{
        {"COMMON", 5}, {"USER", 5},    {"FONT", 2},   {"FONT", 4},   {"TRAIL", 2},
        {"LENS", 2},   {"SKY", 2},     {"WATERA", 2}, {"WATERB", 2}, {"BG", 5},
        {"CLICK", 1},  {"SPHEROU", 5}, {"LAND", 5},   {"LAND", 2},   {"PALM", 6}};
    for (const auto& [name, type] : needed) {
        EXPECT_GE(FindEntry(Data(), name, type), 0) << name << " type " << int(type);
    }
    const std::map<std::string, int> sizes{{"FONT", 128}, {"TRAIL", 128},  {"LENS", 256},
                                           {"SKY", 256},  {"WATERA", 256}, {"WATERB", 256},
                                           {"LAND", 256}};
    for (const auto& [name, size] : sizes) {
        const RgbImage image = Image(name);
        EXPECT_EQ(image.width, size) << name;
        EXPECT_EQ(image.height, size) << name;
    }
}

int RunStatus(const std::string& program, const std::string& args) {
    return RunProgram(BuiltProgram(program), Words(args)).status;
}

TEST(AssetArchive, PassesTheArchiveCheckAndComesOutTheSameEveryRun) {
    EXPECT_EQ(RunStatus("kqx", "check '" + kDataPath + "'"), 0);
    TempDir dir;
    const std::string again = dir.File("Again.kqx");
    ASSERT_EQ(RunStatus("assetgen", "'" + again + "'"), 0);
    EXPECT_EQ(ReadBytes(again), ReadBytes(kDataPath));
}

TEST(GeometrySetsInArchive, LoadOrderGivesTheSetNumbersAndNamesTheProgramLooksFor) {
    ResetGeometryTables();
    const char* order[] = {"COMMON", "USER", "BG", "SPHEROU", "LAND"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(StoreGeometrySet(Set(order[i])), i) << order[i];
    EXPECT_EQ(CommonSets[0], 0);
    for (int part : {0, 1, 2, 3, 5}) EXPECT_EQ(MiniParts.at(part), part);
    EXPECT_EQ(BackgroundSets[0], 2);
    EXPECT_EQ(BackgroundParts, std::vector<int16_t>{0});
    ResetGeometryTables();
}

// --- "COMMON" ---------------------------------------------------------------------------------

TEST(ScreenQuad, FillsTheScreenAtDistanceOneAsAClockwiseFan) {
    const GeometrySet common = Set("COMMON");
    const GeometryPart& part = common.Parts.at(0);
    EXPECT_EQ(TrimmedEntryName(part.PartName), "COMMON");  // text items take the first part
    EXPECT_EQ(part.FirstVertex, 4);
    EXPECT_EQ(part.PartVertexCount, 4);
    EXPECT_EQ(part.PrimitiveKind, 6);
    EXPECT_EQ(part.Indices, (std::vector<int16_t>{0, 1, 2, 3}));
    EXPECT_FLOAT_EQ(part.DiffuseColor.a, 1.0f);  // a fading overlay must reach full cover

    // Screen corners through the device projection (x * 1.5 / z, y * 2 / z), one unit away.
    std::set<std::pair<int, int>> corners;
    for (int i = 4; i < 8; ++i) {
        const D3DVERTEX& v = common.Vertices[i];
        const float z = v.z + 1;
        EXPECT_NEAR(std::abs(1.5f * v.x / z), 1.0f, 1e-5f);
        EXPECT_NEAR(std::abs(2.0f * v.y / z), 1.0f, 1e-5f);
        corners.insert({v.x > 0, v.y > 0});
        EXPECT_EQ(v.color, 0xFFFFFFFFu);
        EXPECT_EQ(static_cast<uint32_t>(common.BaseColors[i]), 0xFFFFFFFFu);
        // The captures fill the top three quarters of their textures, top row first.
        EXPECT_FLOAT_EQ(v.tu, v.x > 0 ? 1.0f : 0.0f);
        EXPECT_FLOAT_EQ(v.tv, v.y > 0 ? 0.0f : 0.75f);
    }
    EXPECT_EQ(corners.size(), 4u);
    const D3DVECTOR toViewer{0, 0, -1};
    for (int k = 1; k < 3; ++k) {
        const D3DVECTOR n = FrontNormal(Pos(common.Vertices[4]), Pos(common.Vertices[4 + k]),
                                        Pos(common.Vertices[5 + k]));
        EXPECT_GT(Dot(n, toViewer), 0) << "fan triangle " << k << " would be culled";
    }
}

// --- "USER" -----------------------------------------------------------------------------------

TEST(EffectShapes, PartsHaveTheKindsAndLayoutTheEffectsUse) {
    const GeometrySet user = Set("USER");
    ASSERT_GE(user.VertexCount, 31);
    ASSERT_GE(user.PartCount, 10);
    for (int p : {0, 1, 2, 3, 5}) EXPECT_EQ(TrimmedEntryName(user.Parts[p].PartName), "MINI");
    for (int p = 0; p <= 8; ++p) {
        EXPECT_EQ(user.Parts[p].PrimitiveKind, 4) << "part " << p;
        EXPECT_GT(user.Parts[p].IndexCount, 0) << "part " << p;
        EXPECT_EQ(user.Parts[p].IndexCount % 3, 0) << "part " << p;
    }
    const GeometryPart& rain = user.Parts[9];
    EXPECT_EQ(rain.PrimitiveKind, 2);
    EXPECT_EQ(rain.PartVertexCount, 2);
    EXPECT_EQ(rain.Indices, (std::vector<int16_t>{0, 1}));
    // The load draws the drifting particle from six vertices starting at part 7's first.
    EXPECT_LE(user.Parts[7].FirstVertex + 6, user.VertexCount);
    // Vertices 27 to 30, which the load copies, are a flat quad with four distinct corners.
    const D3DVECTOR n =
        FrontNormal(Pos(user.Vertices[27]), Pos(user.Vertices[28]), Pos(user.Vertices[29]));
    EXPECT_GT(Length(n), 0.1f);
    EXPECT_NEAR(Dot(Sub(Pos(user.Vertices[30]), Pos(user.Vertices[27])), n), 0, 1e-5f);
    std::set<std::pair<float, float>> quadCorners;
    for (int i = 27; i <= 30; ++i) quadCorners.insert({user.Vertices[i].x, user.Vertices[i].y});
    EXPECT_EQ(quadCorners.size(), 4u);
}

TEST(EffectShapes, ScreenFacingShapesAreDrawnTowardsTheViewer) {
    const GeometrySet user = Set("USER");
    // Flare elements, the sun, the ember and the spark all face -z (billboards and screen items).
    for (int p : {0, 1, 2, 3, 5, 6, 8}) {
        for (const auto& t : Triangles(user, user.Parts[p])) {
            EXPECT_LT(FrontNormal(t[0], t[1], t[2]).z, 0) << "part " << p;
            EXPECT_EQ(t[0].z, 0.0f) << "part " << p;
        }
    }
}

TEST(EffectShapes, DriftingParticleMadeByTheLoadShowsFromAlmostEveryDirection) {
    const GeometrySet user = Set("USER");
    const GeometryPart& base = user.Parts[7];
    ASSERT_GE(base.Indices.size(), 4u);
    std::vector<int16_t> indices(base.Indices.begin(), base.Indices.begin() + 4);
    indices.push_back(2);
    indices.push_back(1);
    auto at = [&](int i) { return Pos(user.Vertices[base.FirstVertex + indices[i]]); };
    const D3DVECTOR n1 = FrontNormal(at(0), at(1), at(2)), n2 = FrontNormal(at(3), at(4), at(5));
    ASSERT_GT(Length(n1), 1e-4f);
    ASSERT_GT(Length(n2), 1e-4f);
    // It tumbles in every axis without facing the camera: count the view directions from
    // which at least one of its two triangles is drawn.
    int seen = 0;
    const int samples = 2000;
    for (int i = 0; i < samples; ++i) {
        const float y = 1 - 2 * (i + 0.5f) / samples, r = std::sqrt(1 - y * y);
        const float a = i * 2.39996323f;
        const D3DVECTOR towardsViewer{r * std::cos(a), y, r * std::sin(a)};
        if (Dot(n1, towardsViewer) > 0 || Dot(n2, towardsViewer) > 0) ++seen;
    }
    EXPECT_GT(seen, samples * 85 / 100);
}

TEST(EffectShapes, RippleQuadTurnedAboutXFacesUpAndDown) {
    const GeometrySet user = Set("USER");
    const auto t = Triangles(user, user.Parts[8]).at(0);
    const D3DVECTOR n = FrontNormal(t[0], t[1], t[2]);
    ProgramMath math;
    const D3DVECTOR up = Apply(n, math.RotX(90)), down = Apply(n, math.RotX(270));
    EXPECT_GT(up.y, 0.99f * Length(n));
    EXPECT_LT(down.y, -0.99f * Length(n));
}

TEST(EffectShapes, RainStreakTurnedByItsVelocityLiesAlongTheFall) {
    const GeometrySet user = Set("USER");
    const GeometryPart& part = user.Parts[9];
    const D3DVECTOR streak =
        Sub(Pos(user.Vertices[part.FirstVertex + 1]), Pos(user.Vertices[part.FirstVertex]));
    ProgramMath math;
    // Velocities across the range rain drops are spawned with.
    for (float vx : {0.1f, 0.15f}) {
        for (float vy : {-0.4f, -1.2f}) {
            for (float vz : {0.0f, 0.05f}) {
                const D3DVECTOR v{vx, vy, vz};
                const float p = AngleBetween({0, 0, 0}, v, 1), q = AngleBetween({0, 0, 0}, v, 0);
                const float ax = static_cast<float>(360 - p * RadToDeg);
                const float ay = static_cast<float>(180 - q * RadToDeg);
                const D3DVECTOR d = Apply(streak, math.Mul(math.RotX(ax), math.RotY(ay)));
                const float cosine = std::abs(Dot(d, v)) / (Length(d) * Length(v));
                EXPECT_GT(cosine, std::cos(20 * DegToRad)) << vx << " " << vy << " " << vz;
            }
        }
    }
}

// --- "BG" -------------------------------------------------------------------------------------

TEST(WaterTile, IsASevenBySevenGridRowByRowSpanningTwelveByNine) {
    const GeometrySet bg = Set("BG");
    ASSERT_EQ(bg.VertexCount, 49);
    for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 7; ++col) {
            const D3DVERTEX& v = bg.Vertices[row * 7 + col];
            EXPECT_NEAR(v.x, -6 + 2.0f * col, 1e-5f);
            EXPECT_NEAR(v.y, -4.5f + 1.5f * row, 1e-5f);
            EXPECT_EQ(v.z, 0.0f);
        }
    }
    // Texture coordinates repeat whole times across a tile, so neighbours meet seamlessly.
    for (int row = 0; row < 7; ++row) {
        const float du = bg.Vertices[row * 7 + 6].tu - bg.Vertices[row * 7].tu;
        EXPECT_NEAR(du, std::round(du), 1e-5f);
        EXPECT_NE(std::round(du), 0.0f);
    }
    for (int col = 0; col < 7; ++col) {
        const float dv = bg.Vertices[42 + col].tv - bg.Vertices[col].tv;
        EXPECT_NEAR(dv, std::round(dv), 1e-5f);
        EXPECT_NE(std::round(dv), 0.0f);
    }
}

TEST(WaterTile, LaidFlatItCoversTheTileSeenFromAboveAndFromBelow) {
    const GeometrySet bg = Set("BG");
    float up = 0, down = 0;
    for (auto t : Triangles(bg, bg.Parts.at(0))) {
        for (D3DVECTOR& p : t) p = {p.x, 0, p.y};  // as the load lays the copy flat
        const D3DVECTOR n = FrontNormal(t[0], t[1], t[2]);
        (n.y > 0 ? up : down) += Length(n) / 2;
    }
    EXPECT_NEAR(up, 12 * 9, 1e-3f);
    EXPECT_NEAR(down, 12 * 9, 1e-3f);
}

// --- "SPHEROU" --------------------------------------------------------------------------------

TEST(SkySphere, SkyPartFacesInwardAndMapsTheSkyAboveAndBlackBelow) {
    const GeometrySet sphere = Set("SPHEROU");
    const GeometryPart& sky = sphere.Parts.at(1);
    ASSERT_EQ(sky.FirstVertex + sky.PartVertexCount, sphere.VertexCount);
    for (const auto& t : Triangles(sphere, sky)) {
        const D3DVECTOR centre{(t[0].x + t[1].x + t[2].x) / 3, (t[0].y + t[1].y + t[2].y) / 3,
                               (t[0].z + t[1].z + t[2].z) / 3};
        EXPECT_LT(Dot(FrontNormal(t[0], t[1], t[2]), centre), 0);
    }
    const RgbImage texture = Image("SKY");
    int above = 0, below = 0;
    for (int i = sky.FirstVertex; i < sky.FirstVertex + sky.PartVertexCount; ++i) {
        const D3DVERTEX& v = sphere.Vertices[i];
        EXPECT_NEAR(Length(Pos(v)), 1.0f, 1e-4f);
        const float u = v.tu - std::floor(v.tu);
        const auto c = Channels(texture, std::min(255, static_cast<int>(u * 256)),
                                std::min(255, static_cast<int>(v.tv * 256)));
        const int brightness = c[0] + c[1] + c[2];
        if (v.y < -0.05f) {
            ++below;
            EXPECT_EQ(brightness, 0) << "vertex " << i << " below the horizon";
        } else if (v.y > 0.05f) {
            ++above;
            EXPECT_GT(brightness, 30) << "vertex " << i << " above the horizon";
        }
    }
    EXPECT_GT(above, 0);
    EXPECT_GT(below, 0);
}

// --- "LAND" -----------------------------------------------------------------------------------

constexpr D3DVECTOR kLandScale{40, 30, 40};
constexpr float kLandY = -3;

D3DVECTOR LandWorld(const D3DVERTEX& v) {
    return {v.x * kLandScale.x, v.y * kLandScale.y + kLandY, v.z * kLandScale.z};
}

// The drawn land surface: height at a world point from the triangle that covers it.
class LandSurface {
  public:
    explicit LandSurface(const GeometrySet& land) {
        for (const auto& t : Triangles(land, land.Parts.at(0))) {
            std::array<D3DVECTOR, 3> w;
            for (int i = 0; i < 3; ++i) {
                w[i] = {t[i].x * kLandScale.x, t[i].y * kLandScale.y + kLandY,
                        t[i].z * kLandScale.z};
            }
            triangles_.push_back(w);
            const float x0 = std::min({w[0].x, w[1].x, w[2].x}),
                        x1 = std::max({w[0].x, w[1].x, w[2].x});
            const float z0 = std::min({w[0].z, w[1].z, w[2].z}),
                        z1 = std::max({w[0].z, w[1].z, w[2].z});
            for (int bx = Bucket(x0); bx <= Bucket(x1); ++bx) {
                for (int bz = Bucket(z0); bz <= Bucket(z1); ++bz) {
                    buckets_[bz * kBuckets + bx].push_back(static_cast<int>(triangles_.size() - 1));
                }
            }
        }
    }

    // NaN outside the land.
    float HeightAt(float x, float z) const {
        const int bx = Bucket(x), bz = Bucket(z);
        for (int index : buckets_[bz * kBuckets + bx]) {
            const auto& t = triangles_[index];
            const float d =
                (t[1].z - t[2].z) * (t[0].x - t[2].x) + (t[2].x - t[1].x) * (t[0].z - t[2].z);
            const float a =
                ((t[1].z - t[2].z) * (x - t[2].x) + (t[2].x - t[1].x) * (z - t[2].z)) / d;
            const float b =
                ((t[2].z - t[0].z) * (x - t[2].x) + (t[0].x - t[2].x) * (z - t[2].z)) / d;
            const float c = 1 - a - b;
            if (a >= -1e-5f && b >= -1e-5f && c >= -1e-5f)
                return a * t[0].y + b * t[1].y + c * t[2].y;
        }
        return NAN;
    }

  private:
    static constexpr int kBuckets = 32;
    static int Bucket(float w) {
        return std::clamp(static_cast<int>((w + 40) / 80 * kBuckets), 0, kBuckets - 1);
    }
    std::vector<std::array<D3DVECTOR, 3>> triangles_;
    std::vector<std::vector<int>> buckets_ = std::vector<std::vector<int>>(kBuckets * kBuckets);
};

TEST(Land, EveryPalmStandsOnIslandGroundAtItsHeight) {
    const LandSurface surface(Set("LAND"));
    for (const D3DVECTOR& palm : kPalmPositions) {
        EXPECT_NEAR(surface.HeightAt(palm.x, palm.z), palm.y, 0.2f) << palm.x << ", " << palm.z;
    }
}

TEST(Land, RisesFromADeepSeabedThroughGentleBeaches) {
    const GeometrySet land = Set("LAND");
    int border = 0, deep = 0, dry = 0;
    for (const D3DVERTEX& v : land.Vertices) {
        const D3DVECTOR w = LandWorld(v);
        if (std::abs(v.x) > 0.999f || std::abs(v.z) > 0.999f) {
            ++border;
            EXPECT_LT(w.y, -3.0f) << "the land's edge must lie deep under water";
        }
        if (w.y < -4.8f) ++deep;  // deep enough for the through-the-water ripple
        if (w.y > 0.5f) ++dry;
    }
    EXPECT_GT(border, 0);
    EXPECT_GT(deep, land.VertexCount / 2);
    EXPECT_GT(dry, 0);
    // Where the land meets the water the ground is a beach, not a cliff.
    std::vector<float> slopes;
    for (auto t : Triangles(land, land.Parts.at(0))) {
        for (D3DVECTOR& p : t)
            p = {p.x * kLandScale.x, p.y * kLandScale.y + kLandY, p.z * kLandScale.z};
        const float lo = std::min({t[0].y, t[1].y, t[2].y}),
                    hi = std::max({t[0].y, t[1].y, t[2].y});
        if (lo < 0 && hi > 0) {
            const D3DVECTOR n = FrontNormal(t[0], t[1], t[2]);
            slopes.push_back(static_cast<float>(std::acos(n.y / Length(n)) * RadToDeg));
        }
    }
    ASSERT_FALSE(slopes.empty());
    std::sort(slopes.begin(), slopes.end());
    EXPECT_LT(slopes[slopes.size() / 2], 20.0f) << "median waterline slope in degrees";
}

TEST(Land, IsSeenFromAboveWithNormalsUnitLengthOnceDrawnAtItsScale) {
    const GeometrySet land = Set("LAND");
    const GeometryPart& part = land.Parts.at(0);
    for (const auto& t : Triangles(land, part)) EXPECT_GT(FrontNormal(t[0], t[1], t[2]).y, 0);
    for (const D3DVERTEX& v : land.Vertices) {
        // The device turns normals by the inverse transpose of the draw scale, unnormalised.
        const D3DVECTOR n{v.nx / kLandScale.x, v.ny / kLandScale.y, v.nz / kLandScale.z};
        EXPECT_NEAR(Length(n), 1.0f, 1e-3f);
        EXPECT_GT(n.y, 0);
    }
}

TEST(Land, MapPaintsLandWhereTheReliefIsAboveWaterAndSeabedBelow) {
    const LandSurface surface(Set("LAND"));
    const RgbImage map = Image("LAND");
    int checked = 0, agree = 0;
    for (int py = 1; py < map.height; py += 3) {
        for (int px = 1; px < map.width; px += 3) {
            // The load maps u = (x + 1) / 2, v = (z + 1) / 2 over the land.
            const float x = ((px + 0.5f) / map.width * 2 - 1) * kLandScale.x;
            const float z = ((py + 0.5f) / map.height * 2 - 1) * kLandScale.z;
            const float h = surface.HeightAt(x, z);
            if (std::isnan(h) || std::abs(h) < 0.6f) continue;
            const auto c = Channels(map, px, py);
            ++checked;
            if ((h > 0) == (c[0] > c[2])) ++agree;  // dry land reddish, seabed bluish
        }
    }
    ASSERT_GT(checked, 1000);
    EXPECT_GT(agree, checked * 97 / 100);
}

// --- "PALM" -----------------------------------------------------------------------------------

ModelData PalmModel() {
    return ReadModelRecord(Entry("PALM", EntryTypeModel), {kDataPath, "PALM", 6});
}

TEST(PalmModel, GroupsAreRunsCoveringEveryVertexInOrder) {
    const ModelData palm = PalmModel();
    ASSERT_GE(palm.GroupCount, 29);
    EXPECT_LE(palm.VertexCount, 512);
    int next = 0;
    for (int g = 0; g < palm.GroupCount; ++g) {
        EXPECT_EQ(palm.Groups[g].FirstVertex, next) << "group " << g;
        EXPECT_GT(palm.Groups[g].GroupVertexCount, 0) << "group " << g;
        next += palm.Groups[g].GroupVertexCount;
    }
    EXPECT_EQ(next, palm.VertexCount);
    for (const ModelVertex& v : palm.Vertices) {
        EXPECT_EQ(v.Color >> 24, 0xFFu);
        EXPECT_NE(v.Color & 0xFFFFFF, 0u);
        EXPECT_NEAR(std::sqrt(v.NX * v.NX + v.NY * v.NY + v.NZ * v.NZ), 1.0f, 1e-4f);
    }
}

TEST(PalmModel, FirstChainRunsRootToFirstFrondAndEveryOtherFrondRestartsAtTheCrown) {
    const ModelData palm = PalmModel();
    std::vector<std::vector<int>> chains(1);
    for (int i = 0; i < palm.GroupListCount; ++i) {
        if (palm.GroupList[i] < 0) {
            chains.emplace_back();
        } else {
            chains.back().push_back(palm.GroupList[i]);
        }
    }
    ASSERT_EQ(chains.size(), 5u);
    EXPECT_EQ(chains[0], (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    for (int f = 1; f < 5; ++f) {
        const int base = 4 + 5 * f;
        EXPECT_EQ(chains[f], (std::vector<int>{3, base, base + 1, base + 2, base + 3, base + 4}));
    }
}

// Poses a palm as the renderer composes it, with the animation's angles, and returns each
// group's world matrix.
std::vector<D3DMATRIX> PosePalm(const ModelData& palm, int palmIndex, float trunkPhase,
                                float waterPhase, ProgramMath& math) {
    std::vector<D3DVECTOR> angles(palm.GroupCount);
    float leaf = 0, azimuth = 360.0f * palmIndex;  // the frond azimuth keeps growing palm to palm
    for (int i = 1; i <= 28; ++i) {
        const float k = static_cast<float>(DegToRad);
        if (i <= 3) {
            const float a = (trunkPhase + 10 * i + 20 * palmIndex) * k;
            angles[i] = {2 * std::sin(a) + 2, 2 * std::sin(a), 2 * std::cos(a) + 5};
            continue;
        }
        const float a =
            std::fmod(10 * leaf + waterPhase + azimuth / 72 * 20 + 20 * palmIndex, 360.0f) * k;
        if ((i + 1) % 5 == 0) {
            angles[i] = {4 * std::sin(a) - 40, azimuth + 4 * std::sin(a), 0};
            leaf = 0;
            azimuth += 72;
        } else {
            angles[i] = {10 * leaf + 4 * std::sin(a), 4 * std::sin(a), 0};
        }
        leaf += 1;
        angles[i].z = 4 * std::cos(a) + 2;
    }
    const D3DMATRIX object = math.Euler({0, 0, 0}, {0, 0, 0});  // standing at the origin
    std::vector<D3DMATRIX> world(palm.GroupCount);
    std::vector<bool> done(palm.GroupCount, false);
    D3DMATRIX current = object;
    for (int i = 0; i < palm.GroupListCount; ++i) {
        const int e = palm.GroupList[i];
        if (e < 0) {
            current = object;
        } else if (done[e]) {
            current = world[e];
        } else {
            current = math.Mul(math.Euler(palm.Groups[e].GroupOffset, angles[e]), current);
            world[e] = current;
            done[e] = true;
        }
    }
    return world;
}

TEST(PalmModel, SwayingPalmKeepsItsSegmentsJoinedAndFrondsArchingOutward) {
    const ModelData palm = PalmModel();
    ProgramMath math;
    for (float phase : {0.0f, 90.0f, 200.0f}) {
        const std::vector<D3DMATRIX> world = PosePalm(palm, 1, phase, phase * 1.7f, math);
        auto origin = [&](int g) { return Apply({0, 0, 0}, world[g]); };
        const D3DVECTOR crown = origin(4);
        EXPECT_GT(crown.y, 3.0f) << "a trunk tall enough to stand above the islands";
        // Each joint lies on the group before it in the chain: some vertex of that group
        // touches it.
        for (int f = 0; f < 5; ++f) {
            for (int s = 0; s < 5; ++s) {
                const int g = 4 + 5 * f + s, parent = s == 0 ? 3 : g - 1;
                const ModelGroup& pg = palm.Groups[parent];
                float nearest = 1e9f;
                for (int v = pg.FirstVertex; v < pg.FirstVertex + pg.GroupVertexCount; ++v) {
                    const ModelVertex& mv = palm.Vertices[v];
                    nearest = std::min(
                        nearest, Length(Sub(Apply({mv.X, mv.Y, mv.Z}, world[parent]), origin(g))));
                }
                EXPECT_LT(nearest, s == 0 ? 0.2f : 1e-3f) << "group " << g << " phase " << phase;
            }
        }
        // Fronds spread around the crown, 72 degrees apart, and curl back down at their tips.
        std::vector<float> headings;
        for (int f = 0; f < 5; ++f) {
            const D3DVECTOR tipJoint = origin(8 + 5 * f);
            const D3DVECTOR out = Sub(tipJoint, crown);
            EXPECT_GT(std::hypot(out.x, out.z), 1.2f) << "frond " << f;
            EXPECT_LT(Apply({0, 0, 0.5f}, world[8 + 5 * f]).y, tipJoint.y) << "frond " << f;
            headings.push_back(static_cast<float>(std::atan2(out.x, out.z) * RadToDeg));
        }
        std::sort(headings.begin(), headings.end());
        for (int f = 0; f < 5; ++f) {
            const float gap =
                f < 4 ? headings[f + 1] - headings[f] : headings[0] + 360 - headings[4];
            EXPECT_NEAR(gap, 72, 20) << "phase " << phase;
        }
    }
}

// --- "FONT" -----------------------------------------------------------------------------------

std::vector<SurfaceFrame> FontFrames() {
    std::vector<SurfaceFrame> frames(171);
    ReadSurfaceFrames(Entry("FONT", EntryTypeFrameTable), frames, {kDataPath, "FONT", 4});
    return frames;
}

struct Ink {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
    std::vector<int> rows, columns;  // lit pixels per row and per column of the frame
};

Ink InkOf(const RgbImage& image, const SurfaceFrame& f) {
    Ink ink;
    ink.rows.assign(f.Bottom - f.Top, 0);
    ink.columns.assign(f.Right - f.Left, 0);
    for (int y = f.Top; y < f.Bottom; ++y) {
        for (int x = f.Left; x < f.Right; ++x) {
            if (Channels(image, x, y)[1] < 96) continue;
            ink.left = std::min(ink.left, x - f.Left);
            ink.right = std::max(ink.right, x - f.Left);
            ink.top = std::min(ink.top, y - f.Top);
            ink.bottom = std::max(ink.bottom, y - f.Top);
            ++ink.rows[y - f.Top];
            ++ink.columns[x - f.Left];
        }
    }
    return ink;
}

int MapIndex(char c) {
    return static_cast<int>(std::string(kCharacterMap).find(c));
}

TEST(Font, FramesAreCellsInsideTheImageThatDoNotOverlap) {
    const std::vector<SurfaceFrame> frames = FontFrames();
    for (int i = 0; i < 171; ++i) {
        const SurfaceFrame& f = frames[i];
        EXPECT_TRUE(f.Left >= 0 && f.Top >= 0 && f.Right <= 128 && f.Bottom <= 128)
            << "frame " << i;
        const int w = f.Right - f.Left, h = f.Bottom - f.Top;
        if (i < 85) {
            EXPECT_TRUE(w >= 9 && w <= 11 && h >= 11 && h <= 13) << "large frame " << i;
        } else {
            EXPECT_TRUE(w >= 4 && w <= 6 && h >= 7 && h <= 9) << "small frame " << i;
        }
        for (int j = 0; j < i; ++j) {
            const SurfaceFrame& g = frames[j];
            const bool overlap =
                f.Left < g.Right && g.Left < f.Right && f.Top < g.Bottom && g.Top < f.Bottom;
            EXPECT_FALSE(overlap) << "frames " << j << " and " << i;
        }
    }
}

TEST(Font, GlyphsAreWhiteOnBlackWithProportionalAdvanceAndLoweredDescenders) {
    const std::vector<SurfaceFrame> frames = FontFrames();
    const RgbImage image = Image("FONT");
    for (int i = 0; i < image.width * image.height; ++i) {
        const auto c = Channels(image, i % image.width, i / image.width);
        EXPECT_TRUE(c[0] == c[1] && c[1] == c[2]) << "pixel " << i << " is not grey";
    }
    for (int base : {0, 85}) {
        for (int p = 0; p < 85; ++p) {
            const Ink ink = InkOf(image, frames[base + p]);
            if (kCharacterMap[p] == ' ') {
                // Exactly black: the colour key, so a blitted space leaves the picture alone.
                const SurfaceFrame& f = frames[base + p];
                for (int y = f.Top; y < f.Bottom; ++y) {
                    for (int x = f.Left; x < f.Right; ++x) {
                        EXPECT_EQ(Channels(image, x, y), (std::array<int, 3>{0, 0, 0}));
                    }
                }
            } else {
                EXPECT_GE(ink.right, 0)
                    << "no ink for '" << kCharacterMap[p] << "' in set " << base;
            }
        }
        auto advance = [&](char c) { return frames[base + MapIndex(c)].HotSpotX; };
        EXPECT_LT(advance('i'), advance('M'));
        EXPECT_LT(advance('.'), advance('W'));
        for (char c : std::string("gjpqy")) EXPECT_GT(frames[base + MapIndex(c)].HotSpotY, 0) << c;
        for (char c : std::string("AHx1")) EXPECT_EQ(frames[base + MapIndex(c)].HotSpotY, 0) << c;
    }
}

TEST(Font, CaretUnderscoreAndBracesAreArrowsUpDownLeftAndRight) {
    const std::vector<SurfaceFrame> frames = FontFrames();
    const RgbImage image = Image("FONT");
    for (int base : {0, 85}) {
        // An arrow carries most of its ink in its head half, and tapers to a point there.
        auto headFirst = [](const std::vector<int>& counts, int from, int to) {
            const int half = (to - from + 1) / 2;
            int head = 0, tail = 0;
            for (int i = 0; i < half; ++i) {
                head += counts[from + i];
                tail += counts[to - i];
            }
            const int widest = *std::max_element(counts.begin(), counts.end());
            return head > tail && counts[from] < widest;
        };
        auto reversed = [](std::vector<int> v) {
            std::reverse(v.begin(), v.end());
            return v;
        };
        const Ink up = InkOf(image, frames[base + MapIndex('^')]);
        const Ink down = InkOf(image, frames[base + MapIndex('_')]);
        const Ink left = InkOf(image, frames[base + MapIndex('{')]);
        const Ink right = InkOf(image, frames[base + MapIndex('}')]);
        EXPECT_TRUE(headFirst(up.rows, up.top, up.bottom)) << "set " << base;
        const int h = static_cast<int>(down.rows.size()),
                  w = static_cast<int>(right.columns.size());
        EXPECT_TRUE(headFirst(reversed(down.rows), h - 1 - down.bottom, h - 1 - down.top))
            << "set " << base;
        EXPECT_TRUE(headFirst(left.columns, left.left, left.right)) << "set " << base;
        EXPECT_TRUE(headFirst(reversed(right.columns), w - 1 - right.right, w - 1 - right.left))
            << "set " << base;
    }
}

// --- "WATERA" / "WATERB" ----------------------------------------------------------------------

TEST(WaterAnimation, EveryCellTilesAndTheLoopClosesWithAnOrdinaryStep) {
    const RgbImage sheets[2] = {Image("WATERA"), Image("WATERB")};
    auto pixel = [&](int frame, int x, int y) {
        const int cell = frame % 16;
        return Channels(sheets[frame / 16], (cell % 4) * 64 + x, (cell / 4) * 64 + y);
    };
    auto diff = [](std::array<int, 3> a, std::array<int, 3> b) {
        return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
    };
    for (int frame = 0; frame < 32; ++frame) {
        double inside = 0, wrapX = 0, wrapY = 0;
        for (int i = 0; i < 64; ++i) {
            for (int k = 0; k < 63; ++k) inside += diff(pixel(frame, k, i), pixel(frame, k + 1, i));
            wrapX += diff(pixel(frame, 63, i), pixel(frame, 0, i));
            wrapY += diff(pixel(frame, i, 63), pixel(frame, i, 0));
        }
        const double typical = inside / 63;
        EXPECT_LT(wrapX, 2 * typical) << "frame " << frame << " does not tile left to right";
        EXPECT_LT(wrapY, 2 * typical) << "frame " << frame << " does not tile top to bottom";
    }
    auto step = [&](int a, int b) {
        double sum = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) sum += diff(pixel(a, x, y), pixel(b, x, y));
        }
        return sum;
    };
    double largest = 0, smallest = 1e18;
    for (int f = 0; f < 31; ++f) {
        largest = std::max(largest, step(f, f + 1));
        smallest = std::min(smallest, step(f, f + 1));
    }
    EXPECT_GT(smallest, 0) << "the animation stands still";
    EXPECT_LE(step(31, 0), largest * 1.02);
}

// --- "CLICK" ----------------------------------------------------------------------------------

struct MenuLine {
    std::string label, colour;
    float x, y, width, height;
};

std::vector<MenuLine> Menu() {
    const std::vector<uint8_t> bytes = Entry("CLICK", EntryTypeText);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::vector<MenuLine> lines;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream fs(line);
        std::string field;
        while (std::getline(fs, field, ',')) fields.push_back(field);
        EXPECT_EQ(fields.size(), 6u) << line;
        if (fields.size() != 6) continue;
        lines.push_back({fields[0], fields[1], std::stof(fields[2]), std::stof(fields[3]),
                         std::stof(fields[4]), std::stof(fields[5])});
    }
    return lines;
}

TEST(ClickMenu, HasAnEntryPerEditorItemWithLabelsTheFontCanDraw) {
    const std::vector<MenuLine> menu = Menu();
    ASSERT_EQ(menu.size(), 33u);
    std::set<std::string> labels;
    for (const MenuLine& m : menu) {
        EXPECT_FALSE(m.label.empty());
        for (char c : m.label) {
            EXPECT_NE(std::string(kCharacterMap).find(c), std::string::npos) << m.label;
            EXPECT_NE(c, '@') << m.label;  // "@" would break the label's line
        }
        EXPECT_FALSE(m.colour.empty());
        EXPECT_EQ(m.colour.find_first_not_of("0123456789ABCDEF"), std::string::npos) << m.colour;
        labels.insert(m.label);
    }
    EXPECT_EQ(labels.size(), 33u) << "two entries share a label";
}

TEST(ClickMenu, HitRectanglesFitThePointerRangeDoNotOverlapAndLeaveTheMiddleFree) {
    const std::vector<MenuLine> menu = Menu();
    for (size_t i = 0; i < menu.size(); ++i) {
        const MenuLine& m = menu[i];
        EXPECT_GT(m.width, 0);
        EXPECT_GT(m.height, 0);
        // Pointer x reaches about +-1.6 and y +-1.2, y up; Y is the top edge.
        EXPECT_TRUE(m.x >= -1.6f && m.x + m.width <= 1.6f) << m.label;
        EXPECT_TRUE(m.y <= 1.2f && m.y - m.height >= -1.2f) << m.label;
        EXPECT_TRUE(m.x >= 0.6f || m.x + m.width <= -0.6f) << m.label << " covers the middle";
        for (size_t j = 0; j < i; ++j) {
            const MenuLine& o = menu[j];
            const bool overlap = m.x < o.x + o.width && o.x < m.x + m.width &&
                                 m.y - m.height < o.y && o.y - o.height < m.y;
            EXPECT_FALSE(overlap) << m.label << " and " << o.label;
        }
    }
}

}  // namespace
