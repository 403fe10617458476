#include "app/AssetLoading.h"

#include <algorithm>
#include <string>

#include "core/Declarations.h"
#include "core/Random.h"
#include "core/RuntimeError.h"
#include "display/Display.h"
#include "display/Text.h"
#include "platform/dx/Direct3D.h"
#include "render/DeviceSetup.h"
#include "resources/Archive.h"
#include "resources/DataLocation.h"
#include "resources/GeometrySets.h"
#include "resources/ScratchFile.h"
#include "resources/Surfaces.h"
#include "window/ClickMenu.h"

namespace {

constexpr int16_t kArchive = 0;
constexpr int16_t kNoArchive = -1;
constexpr int32_t kNoColourKey = -1;
constexpr int32_t kWaterFrames = 32;
constexpr int32_t kWaterCell = 64;
constexpr int32_t kWaterSheet = 256;
constexpr int32_t kFontFrames = 171;
constexpr int32_t kWaterGridVertices = 49;

std::vector<SurfaceFrame> OneFrame(int32_t left = 0, int32_t top = 0, int32_t right = 0,
                                   int32_t bottom = 0) {
    return {SurfaceFrame{left, top, right, bottom, 0, 0}};
}

int32_t Texture(std::vector<SurfaceFrame>& frames, int32_t width, int32_t height, int32_t colourKey,
                const std::string& name, int16_t archive = kArchive) {
    return LoadTexture("", frames, width, height, colourKey, name, archive);
}

// The sets the load adjusts must be there; any other may be missing and is skipped.
GeometrySet& RequiredSet(const std::string& name) {
    const Archive& archive = At(Archives, kArchive);
    if (FindEntry(archive, name, EntryTypeGeometry) < 0) {
        ThrowDataError(rt::FileNotFound, DataSource{archive.Path, name, EntryTypeGeometry},
                       "the archive holds no such geometry set");
    }
    return At(GeometrySets, LoadGeometrySet(kArchive, name));
}

// Vertices N to 2N - 1 become a copy of 0 to N - 1; the set still counts N.
void DoubleVertexList(GeometrySet& set) {
    const size_t n = static_cast<size_t>(std::max<int16_t>(set.VertexCount, 0));
    set.Vertices.resize(2 * n);
    std::copy_n(set.Vertices.begin(), n, set.Vertices.begin() + static_cast<std::ptrdiff_t>(n));
}

// The drifting particle's six vertices as part 10 of "USER", and the quad other code copies.
void AdjustUserSet(GeometrySet& user) {
    GeometryPart& rain = At(user.Parts, 9);
    At(rain.Indices, 0) = 0;
    At(rain.Indices, 1) = 1;
    UserQuad.assign(4, D3DVERTEX{});
    for (int i = 0; i < 4; ++i) UserQuad[static_cast<size_t>(i)] = At(user.Vertices, 27 + i);
    UserQuadIndices.assign(6, 0);

    GeometryPart drift = At(user.Parts, 7);
    drift.PartVertexCount = 6;
    drift.Indices.resize(6);
    drift.Indices[4] = 2;
    drift.Indices[5] = 1;
    drift.IndexCount = 6;
    drift.AmbientColor = D3DCOLORVALUE{2.0f, 4.0f, 1.5f, 1.0f};
    drift.DiffuseColor = D3DCOLORVALUE{0.75f, 4.0f, 0.4f, 1.0f};
    user.Parts.resize(11);
    user.Parts[10] = std::move(drift);
    user.PartCount = 11;
}

// 32 frames of 64 x 64 cut from the two water sheets, row by row.
void MakeWaterFrames(int32_t sheetA, int32_t sheetB) {
    int32_t x = 0, y = 0;
    for (int32_t i = 0; i < kWaterFrames; ++i) {
        std::vector<SurfaceFrame> frames = OneFrame();
        const int32_t slot =
            Texture(frames, kWaterCell, kWaterCell, kNoColourKey, "WATER", kNoArchive);
        DirectDrawSurface7* sheet =
            At(TextureList, i < kWaterFrames / 2 ? sheetA : sheetB).Surface.get();
        At(TextureList, slot)
            .Surface->BltFast(0, 0, sheet, RECT{x, y, x + kWaterCell, y + kWaterCell},
                              DDBLTFAST_WAIT);
        x += kWaterCell;
        if (x >= kWaterSheet) {
            x = 0;
            y += kWaterCell;
            if (y >= kWaterSheet) y = 0;
        }
    }
}

void MakeBackgroundTextures() {
    BgTextureSize = RenderWidth >= 640 ? 512 : 256;
    const int32_t size = BgTextureSize;
    std::vector<SurfaceFrame> frames = OneFrame(0, 0, size, size * 3 / 4);
    const int32_t first = Texture(frames, size, size, kNoColourKey, "BGT1", kNoArchive);
    // The desktop as it was at start, for the first frames to start from.
    const RECT whole{0, 0, size, size};
    const RECT screen{0, 0, RenderWidth, RenderHeight};
    At(TextureList, first)
        .Surface->Blt(&whole, At(SpriteSurfaceList, At(BackgroundSurfaces, 0)).Surface.get(),
                      &screen, DDBLT_WAIT);
    Texture(frames, size, size, kNoColourKey, "BGT2", kNoArchive);
}

// The water tile's copy is laid flat: what was its y becomes z, and it faces down.
void LayWaterGridFlat(GeometrySet& water) {
    const int32_t n = water.VertexCount;
    if (n < kWaterGridVertices) {
        throw RuntimeError(rt::SubscriptOutOfRange, "geometry set \"BG\" holds " +
                                                        std::to_string(n) + " vertices, not the " +
                                                        std::to_string(kWaterGridVertices) +
                                                        " of a water tile");
    }
    for (int32_t i = n; i < n + kWaterGridVertices; ++i) {
        D3DVERTEX& v = water.Vertices[static_cast<size_t>(i)];
        v.z = v.y;
        v.nz = v.ny;
        v.y = 0;
        v.ny = -1.0f;
    }
}

// The land's texture is laid over it from above: x and z from -1 to 1 cover it once.
void MapLandTexture(GeometrySet& land) {
    const size_t n = static_cast<size_t>(std::max<int16_t>(land.VertexCount, 0));
    land.Vertices.resize(2 * n);
    for (size_t i = 0; i < n; ++i) {
        D3DVERTEX& v = land.Vertices[i];
        v.tu = std::clamp((v.x + 1) * 0.5f, 0.0f, 1.0f);
        v.tv = std::clamp((v.z + 1) * 0.5f, 0.0f, 1.0f);
    }
    std::copy_n(land.Vertices.begin(), n, land.Vertices.begin() + static_cast<std::ptrdiff_t>(n));
}

// The editor's menu, one entry per line of the "CLICK" text; without that text there is no menu.
void LoadClickMenu() {
    if (ExtractEntry(kArchive, "CLICK", EntryTypeText) == 1) {
        const DataSource source{At(Archives, kArchive).Path, "CLICK", EntryTypeText};
        const std::vector<uint8_t> text = TakeScratchFile(source);
        ClickItems = ParseClickItems(
            std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), source);
    }
    EditCharacters = std::string(kEditCharacters);
}

}  // namespace

void LoadAssets() {
    Randomize();
    OpenArchive(FindDataArchive(DataFolders(AppPath, BuiltDataFolder())));

    LoadGeometrySet(kArchive, "COMMON");
    AdjustUserSet(RequiredSet("USER"));

    std::vector<SurfaceFrame> frames = OneFrame(0, 0, 128, 96);
    const int32_t blur = Texture(frames, 128, 128, kNoColourKey, "BLUR1", kNoArchive);
    const RECT blurRect{0, 0, 128, 128};
    At(TextureList, blur).Surface->BltColorFill(&blurRect, 0);

    frames.assign(kFontFrames, SurfaceFrame{});
    const int32_t font = Texture(frames, 128, 128, 0, "FONT");
    At(TextureList, font).Surface->GetSurfaceDesc(SurfaceDesc);
    int32_t fontWidth = 128, fontHeight = 128;
    LoadSurface("", frames, fontWidth, fontHeight, DDSCAPS_VIDEOMEMORY, 0, "FONT", kArchive);

    frames = OneFrame();
    Texture(frames, 128, 128, kNoColourKey, "TRAIL");
    Texture(frames, 256, 256, kNoColourKey, "LENS");
    Texture(frames, 256, 256, kNoColourKey, "SKY");
    const int32_t sheetA = Texture(frames, kWaterSheet, kWaterSheet, kNoColourKey, "WATERA");
    const int32_t sheetB = Texture(frames, kWaterSheet, kWaterSheet, kNoColourKey, "WATERB");
    MakeWaterFrames(sheetA, sheetB);

    MakeBackgroundTextures();

    ResetBackgroundParts();
    GeometrySet& water = RequiredSet("BG");
    DoubleVertexList(water);
    LayWaterGridFlat(water);

    LoadClickMenu();

    DoubleVertexList(RequiredSet("SPHEROU"));
    MapLandTexture(RequiredSet("LAND"));

    GlyphQuad.resize(4);
    for (D3DVERTEX& v : GlyphQuad) {
        v.color = 0xFFFFFFFF;
        v.nz = -1.0f;
    }

    frames = OneFrame();
    Texture(frames, 256, 256, kNoColourKey, "LAND");
}
