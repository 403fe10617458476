#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/AssetLoading.h"
#include "app/StartupResets.h"
#include "core/Declarations.h"
#include "display/Display.h"
#include "display/Text.h"
#include "platform/host/HeadlessHost.h"
#include "render/DeviceSetup.h"
#include "render/RenderState.h"
#include "resources/Archive.h"
#include "resources/GeometrySets.h"
#include "resources/ScratchFile.h"
#include "resources/Surfaces.h"
#include "tests/support/ResourceTestSupport.h"
#include "window/ClickMenu.h"

namespace {

const std::string kGenerated = std::string(VELMORA_BINARY_DIR) + "/Data.kqx";

// Every entry of the generated archive, to compare the loaded tables with and to build
// spoiled copies from.
std::vector<ArchiveItem> GeneratedItems() {
    const Archive archive = ReadArchiveFile(kGenerated);
    std::vector<ArchiveItem> items;
    for (size_t i = 0; i < archive.Entries.size(); ++i) {
        const ArchiveEntry& e = archive.Entries[i];
        items.push_back(
            {TrimmedEntryName(e.Name), e.EntryType, ReadEntryBytes(archive, static_cast<int>(i))});
    }
    return items;
}

GeometrySet StoredSet(const std::vector<ArchiveItem>& items, const std::string& name) {
    for (const ArchiveItem& item : items) {
        if (item.Name == name && item.EntryType == EntryTypeGeometry) {
            return ReadGeometrySetRecord(item.Bytes, DataSource{});
        }
    }
    ADD_FAILURE() << "no set " << name;
    return {};
}

// A started display and device at either size, with an archive beside the "executable".
class AssetLoadingTest : public ::testing::Test {
  protected:
    void SetUp() override { Start(false); }
    void TearDown() override { Stop(); }

    void Start(bool hiRes) {
        HeadlessOptions o;
        o.answerYes = hiRes;
        host = std::make_unique<HeadlessHost>(o);
        SetActiveHost(host.get());
        StateCache = RenderStateCache{};
        DX = std::make_unique<DirectX7>(*host);
        ResetTables();
        StartDisplay();
        SetUpDevice();
        AppPath = dir.Folder();
        ClickItems.clear();
        EditCharacters.clear();
    }
    void Stop() {
        DeleteScratchFile();
        ShutDownDisplay(PendingError{});
        SetActiveHost(nullptr);
    }
    void UseArchive(const std::vector<ArchiveItem>& items) {
        WriteBytes(dir.File("Data.kqx"), WriteArchive(items));
    }
    // The generated archive with one entry changed (or dropped when change returns false).
    void UseChangedArchive(const std::string& name, uint8_t type,
                           const std::function<bool(ArchiveItem&)>& change) {
        std::vector<ArchiveItem> items = GeneratedItems();
        std::vector<ArchiveItem> kept;
        for (ArchiveItem& item : items) {
            if (item.Name == name && item.EntryType == type && !change(item)) continue;
            kept.push_back(std::move(item));
        }
        UseArchive(kept);
    }
    static const SurfaceRecord& Texture(int32_t slot) {
        return TextureList.at(static_cast<size_t>(slot));
    }

    TempDir dir;
    std::unique_ptr<HeadlessHost> host;
};

TEST_F(AssetLoadingTest, SetsTexturesAndSurfacesTakeTheirPlacesInLoadOrder) {
    std::filesystem::copy_file(kGenerated, dir.File("Data.kqx"));
    LoadAssets();

    ASSERT_EQ(GeometrySetCount, 4);
    const char* names[] = {"COMMON", "USER", "BG", "SPHEROU", "LAND"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(TrimmedEntryName(GeometrySets[i].Name), names[i]);
    EXPECT_EQ(CommonSets[0], 0);
    EXPECT_EQ(BackgroundSets[0], 2);
    EXPECT_EQ(BackgroundParts, std::vector<int16_t>{0});

    std::vector<std::string> textures;
    for (const SurfaceRecord& r : TextureList) textures.push_back(r.Name);
    std::vector<std::string> expected = {"BLUR1", "FONT",   "TRAIL", "LENS",
                                         "SKY",   "WATERA", "WATERB"};
    expected.insert(expected.end(), 32, "WATER");
    expected.insert(expected.end(), {"BGT1", "BGT2", "LAND"});
    EXPECT_EQ(textures, expected);
    EXPECT_EQ(LastTextureIndex, 41);
    EXPECT_EQ(SpecialTextures, (std::vector<int32_t>{1, 0, 0}));
    ASSERT_EQ(EffectTextures.size(), 35u);
    EXPECT_EQ(EffectTextures[0], 2);
    EXPECT_EQ(EffectTextures[1], 3);
    EXPECT_EQ(EffectTextures[2], 4);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(EffectTextures[3 + i], 7 + i);
    EXPECT_EQ(BackgroundTextures, (std::vector<int32_t>{39, 40}));

    // The font: a keyed texture and a keyed surface, both with the 171 glyph frames.
    const SurfaceRecord& font = Texture(1);
    EXPECT_EQ(font.Frames.size(), 171u);
    EXPECT_TRUE(font.Surface->HasSourceColorKey());
    const SurfaceRecord& fontSurface = SpriteSurfaceList.at(FontSurfaces[0]);
    EXPECT_EQ(fontSurface.Name, "FONT");
    EXPECT_EQ(fontSurface.Frames.size(), 171u);
    EXPECT_EQ(fontSurface.Frames[40].Right, font.Frames[40].Right);

    // The blur texture: black, with its capture rectangle as frame 0.
    const SurfaceRecord& blur = Texture(0);
    EXPECT_EQ(blur.Frames.size(), 1u);
    EXPECT_EQ(blur.Frames[0].Right, 128);
    EXPECT_EQ(blur.Frames[0].Bottom, 96);
    EXPECT_EQ(blur.Surface->Row(127)[127], 0);

    EXPECT_FALSE(std::filesystem::exists(dir.File("Temp.dat")));

    // The water frames walk both sheets row by row.
    for (int frame : {0, 1, 5, 15, 16, 22, 31}) {
        SCOPED_TRACE(frame);
        const DirectDrawSurface7& sheet = *Texture(frame < 16 ? 5 : 6).Surface;
        const DirectDrawSurface7& cell = *Texture(7 + frame).Surface;
        ASSERT_EQ(cell.Width(), 64);
        const int cx = (frame % 4) * 64, cy = (frame % 16 / 4) * 64;
        for (int y : {0, 17, 63}) {
            for (int x : {0, 40, 63}) EXPECT_EQ(cell.Row(y)[x], sheet.Row(cy + y)[cx + x]);
        }
    }
}

class BackgroundTextures : public AssetLoadingTest, public ::testing::WithParamInterface<bool> {};

TEST_P(BackgroundTextures, HoldTheDesktopAtTheSizeTheScreenAsks) {
    Stop();
    const bool hi = GetParam();
    Start(hi);
    std::filesystem::copy_file(kGenerated, dir.File("Data.kqx"));
    LoadAssets();
    const int size = hi ? 512 : 256;
    EXPECT_EQ(BgTextureSize, size);
    for (int t : {39, 40}) {
        EXPECT_EQ(Texture(t).Surface->Width(), size);
        EXPECT_EQ(Texture(t).Surface->Height(), size);
        EXPECT_EQ(Texture(t).Frames[0].Bottom, size * 3 / 4);
    }
    // BGT1 is the whole desktop picture stretched over the square.
    const DirectDrawSurface7& desktop = *SpriteSurfaceList.at(BackgroundSurfaces[0]).Surface;
    const DirectDrawSurface7& bgt1 = *Texture(39).Surface;
    for (int y : {0, size / 3, size - 1}) {
        for (int x : {0, size / 2, size - 1}) {
            EXPECT_EQ(bgt1.Row(y)[x], desktop.Row(y * RenderHeight / size)[x * RenderWidth / size]);
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Screens, BackgroundTextures, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Hi" : "Lo"; });

TEST_F(AssetLoadingTest, SetsAreAdjustedAfterLoading) {
    std::filesystem::copy_file(kGenerated, dir.File("Data.kqx"));
    LoadAssets();
    const std::vector<ArchiveItem> items = GeneratedItems();

    // "USER": the quad copied out, part 10 made from part 7, part 9's first indices fixed.
    const GeometrySet user = StoredSet(items, "USER");
    const GeometrySet& loadedUser = GeometrySets[1];
    ASSERT_EQ(UserQuad.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(UserQuad[i].x, user.Vertices[27 + i].x);
    EXPECT_EQ(UserQuadIndices, std::vector<int16_t>(6, 0));
    ASSERT_EQ(loadedUser.Parts.size(), 11u);
    EXPECT_EQ(loadedUser.PartCount, 11);
    const GeometryPart& drift = loadedUser.Parts[10];
    EXPECT_EQ(drift.FirstVertex, user.Parts[7].FirstVertex);
    EXPECT_EQ(drift.PartVertexCount, 6);
    EXPECT_EQ(drift.IndexCount, 6);
    ASSERT_EQ(drift.Indices.size(), 6u);
    EXPECT_EQ(drift.Indices[0], user.Parts[7].Indices[0]);
    EXPECT_EQ(drift.Indices[4], 2);
    EXPECT_EQ(drift.Indices[5], 1);
    EXPECT_EQ(drift.AmbientColor.g, 4.0f);
    EXPECT_EQ(drift.DiffuseColor.r, 0.75f);
    EXPECT_EQ(loadedUser.Parts[9].Indices[0], 0);
    EXPECT_EQ(loadedUser.Parts[9].Indices[1], 1);

    // "BG": doubled, the copy laid flat, facing down.
    const GeometrySet water = StoredSet(items, "BG");
    const GeometrySet& loadedWater = GeometrySets[2];
    const int n = water.VertexCount;
    ASSERT_GE(n, 49);
    EXPECT_EQ(loadedWater.VertexCount, n);
    ASSERT_EQ(loadedWater.Vertices.size(), static_cast<size_t>(2 * n));
    for (int i = 0; i < 49; ++i) {
        const D3DVERTEX &from = water.Vertices[i], &flat = loadedWater.Vertices[n + i];
        EXPECT_EQ(flat.x, from.x);
        EXPECT_EQ(flat.y, 0);
        EXPECT_EQ(flat.z, from.y);
        EXPECT_EQ(flat.ny, -1.0f);
        EXPECT_EQ(flat.nz, from.ny);
        EXPECT_EQ(loadedWater.Vertices[i].y, from.y);  // the drawn list is untouched
    }

    // "SPHEROU": doubled.
    const GeometrySet& sky = GeometrySets[3];
    ASSERT_EQ(sky.Vertices.size(), static_cast<size_t>(2 * sky.VertexCount));
    for (int i = 0; i < sky.VertexCount; i += 7) {
        EXPECT_EQ(sky.Vertices[sky.VertexCount + i].z, sky.Vertices[i].z);
    }

    // "LAND": mapped from above, clamped, then doubled.
    const GeometrySet& land = GeometrySets[4];
    ASSERT_EQ(land.Vertices.size(), static_cast<size_t>(2 * land.VertexCount));
    for (int i = 0; i < land.VertexCount; ++i) {
        const D3DVERTEX& v = land.Vertices[i];
        EXPECT_FLOAT_EQ(v.tu, std::clamp((v.x + 1) * 0.5f, 0.0f, 1.0f));
        EXPECT_FLOAT_EQ(v.tv, std::clamp((v.z + 1) * 0.5f, 0.0f, 1.0f));
        EXPECT_EQ(land.Vertices[land.VertexCount + i].tu, v.tu);
    }

    ASSERT_EQ(GlyphQuad.size(), 4u);
    for (const D3DVERTEX& v : GlyphQuad) {
        EXPECT_EQ(v.color, 0xFFFFFFFFu);
        EXPECT_EQ(v.nz, -1.0f);
    }
}

TEST_F(AssetLoadingTest, TheMenuComesFromTheClickText) {
    UseChangedArchive("CLICK", EntryTypeText, [](ArchiveItem& item) {
        item.Bytes = Bytes("Vertex X,FF00,0.1,0.2,0.3,0.4\n\"Say, hi\",ff,1,2,3,4\n");
        return true;
    });
    LoadAssets();
    ASSERT_EQ(ClickItems.size(), 2u);
    EXPECT_EQ(ClickItems[0].Label, "Vertex X");
    EXPECT_EQ(ClickItems[0].Colour, 65280);
    EXPECT_FLOAT_EQ(ClickItems[0].Height, 0.4f);
    EXPECT_EQ(ClickItems[1].Label, "Say, hi");
    EXPECT_EQ(EditCharacters, "0123456789.-ABCDEF");

    Stop();
    Start(false);
    UseChangedArchive("CLICK", EntryTypeText, [](ArchiveItem&) { return false; });
    LoadAssets();
    EXPECT_TRUE(ClickItems.empty());
    EXPECT_EQ(EditCharacters, "0123456789.-ABCDEF");
}

TEST_F(AssetLoadingTest, SetsTheLoadAdjustsMustBeThere) {
    for (const char* name : {"USER", "BG", "SPHEROU", "LAND"}) {
        SCOPED_TRACE(name);
        Stop();
        Start(false);
        UseChangedArchive(name, EntryTypeGeometry, [](ArchiveItem&) { return false; });
        ExpectRuntimeError([] { LoadAssets(); }, rt::FileNotFound,
                           {"Data.kqx", "\"" + std::string(name) + "\"", "no such geometry set"});
    }
    // A "BG" set too small for the water grid is refused, not read past.
    Stop();
    Start(false);
    UseChangedArchive("BG", EntryTypeGeometry, [](ArchiveItem& item) {
        GeometrySet small = ReadGeometrySetRecord(item.Bytes, DataSource{});
        small.Vertices.resize(10);
        small.BaseColors.resize(10);
        small.VertexCount = 10;
        small.Parts.clear();
        small.PartCount = 0;
        item.Bytes = WriteGeometrySetRecord(small);
        return true;
    });
    ExpectRuntimeError([] { LoadAssets(); }, rt::SubscriptOutOfRange, {"\"BG\" holds 10"});
}

}  // namespace
