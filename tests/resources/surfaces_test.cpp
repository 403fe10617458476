#include "resources/Surfaces.h"

#include <gtest/gtest.h>

#include "core/Declarations.h"
#include "display/Display.h"
#include "platform/host/HeadlessHost.h"
#include "resources/Archive.h"
#include "stb_image_write.h"
#include "tests/support/ResourceTestSupport.h"

namespace {

void AppendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

// A w x h PNG whose pixel (x, y) is red x*16, green y*16.
std::vector<uint8_t> Png(int w, int h) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            rgb[(y * w + x) * 3] = static_cast<uint8_t>(x * 16);
            rgb[(y * w + x) * 3 + 1] = static_cast<uint8_t>(y * 16);
        }
    std::vector<uint8_t> out;
    stbi_write_png_to_func(AppendBytes, &out, w, h, 3, rgb.data(), w * 3);
    return out;
}

class SurfaceLoading : public ::testing::Test {
  protected:
    void SetUp() override {
        SetActiveHost(&host);
        AppPath = dir.Folder();
        ResetSurfaceTables();
        ResetArchiveTables();
        DX = std::make_unique<DirectX7>(host);
        DirectDraw = DX->DirectDrawCreate("");
        std::vector<SurfaceFrame> two(2);
        two[0] = SurfaceFrame{0, 0, 4, 4, 1, 2};
        two[1] = SurfaceFrame{4, 0, 8, 4, -3, 5};
        WriteBytes(dir.File("Data.kqx"),
                   WriteArchive({{"FONT", EntryTypeImage, Png(8, 4)},
                                 {"FONT", EntryTypeFrameTable, WriteSurfaceFrames(two)},
                                 {"BAD", EntryTypeImage, Bytes("not an image")},
                                 {"SHORT", EntryTypeImage, Png(2, 2)},
                                 {"SHORT", EntryTypeFrameTable, WriteSurfaceFrames({two[0]})}}));
        ASSERT_EQ(OpenArchive(dir.File("Data.kqx")), 0);
    }
    void TearDown() override {
        DirectDraw.reset();
        DX.reset();
        SetActiveHost(nullptr);
    }
    HeadlessHost host{HeadlessOptions{}};
    TempDir dir;
};

TEST_F(SurfaceLoading, ArchiveImageAndFrameTableFillTheSlot) {
    std::vector<SurfaceFrame> frames(2);
    int32_t w = 0, h = 0;
    const int32_t slot = LoadSurface("", frames, w, h, 0, 0, "FONT", 0);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(FontSurfaces[0], 0);
    const SurfaceRecord& r = SpriteSurfaceList[0];
    EXPECT_EQ(r.Surface->Width(), 8);  // no size asked: the image's own
    EXPECT_EQ(r.LastFrame, 1);
    EXPECT_EQ(r.Frames[1].HotSpotX, -3);
    EXPECT_EQ(frames[1].HotSpotY, 5);  // the caller's table is filled too
    EXPECT_EQ(r.Surface->Row(2)[3], Rgb565FromRgb(3 * 16 << 16 | 2 * 16 << 8));
    EXPECT_TRUE(r.Surface->HasSourceColorKey());
    EXPECT_FALSE(std::filesystem::exists(dir.File("Temp.dat")));  // read and deleted
}

TEST_F(SurfaceLoading, MissingImageGivesAnEmptySurfaceAndKeepsTheFrames) {
    std::vector<SurfaceFrame> frames(1);
    frames[0].Right = 77;
    int32_t w = 16, h = 8;
    LoadSurface("", frames, w, h, 0, -1, "NONE", 0);
    const int32_t second = LoadSurface("", frames, w, h, 0, -1, "NONE2", 0);
    EXPECT_EQ(second, 1);  // element 0 in use: the list grows
    EXPECT_EQ(SpriteSurfaceList[1].Surface->Width(), 16);
    EXPECT_EQ(SpriteSurfaceList[1].Frames[0].Right, 77);
}

TEST_F(SurfaceLoading, BadBytesAreNamedAndLeaveTheListAlone) {
    std::vector<SurfaceFrame> frames(1);
    int32_t w = 0, h = 0;
    ExpectRuntimeError([&] { LoadSurface("", frames, w, h, 0, -1, "BAD", 0); }, 321,
                       {"Data.kqx", "\"BAD\"", "does not decode"});
    std::vector<SurfaceFrame> three(3);
    ExpectRuntimeError([&] { LoadSurface("", three, w, h, 0, -1, "SHORT", 0); }, 62, {"\"SHORT\""});
    EXPECT_EQ(SpriteSurfaceList.size(), 1u);
    EXPECT_EQ(SpriteSurfaceList[0].Loaded, 0);
}

}  // namespace

#include "tests/support/DeviceFixture.h"

namespace {

class TextureLoading : public DeviceFixture {};

TEST_F(TextureLoading, SizesCapsAndIndexTablesFollowTheNames) {
    std::vector<SurfaceFrame> frames(1);
    int32_t w = 0, h = 64;
    const int32_t blur1 = LoadTexture("", frames, w, h, -1, "BLUR1", -1);
    EXPECT_EQ(w, 128);  // the caller's variable is corrected too
    EXPECT_EQ(TextureList[static_cast<size_t>(blur1)].Surface->Width(), 128);
    EXPECT_EQ(SpecialTextures[1], blur1);
    DDSURFACEDESC2 desc;
    TextureList[static_cast<size_t>(blur1)].Surface->GetSurfaceDesc(desc);
    EXPECT_EQ(desc.ddsCaps.lCaps2, DDSCAPS2_TEXTUREMANAGE);
    const int32_t blur = LoadTexture("", frames, w, h, -1, "BLUR", -1);
    TextureList[static_cast<size_t>(blur)].Surface->GetSurfaceDesc(desc);
    EXPECT_NE(desc.ddsCaps.lCaps & DDSCAPS_VIDEOMEMORY, 0);
    EXPECT_EQ(desc.ddsCaps.lCaps2, 0);

    w = h = 64;
    LoadTexture("", frames, w, h, -1, "SKY", -1);
    const int32_t water1 = LoadTexture("", frames, w, h, -1, "WATER", -1);
    const int32_t water2 = LoadTexture("", frames, w, h, -1, "WATER", -1);
    ASSERT_EQ(EffectTextures.size(), 5u);
    EXPECT_EQ(EffectTextures[3], water1);
    EXPECT_EQ(EffectTextures[4], water2);
    const int32_t trail = LoadTexture("", frames, w, h, -1, "TRAIL", -1);
    EXPECT_EQ(EffectTextures.size(), 3u);  // a fixed name shrinks the table back
    EXPECT_EQ(EffectTextures[0], trail);
    EXPECT_EQ(LastTextureIndex, trail);
}

}  // namespace
