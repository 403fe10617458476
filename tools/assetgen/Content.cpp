#include "tools/assetgen/Content.h"

#include "tools/assetgen/ContentBuilders.h"
#include "tools/assetgen/PreviewScene.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

void AddImage(Content& content, const std::string& name, const Raster& image) {
    content.items.push_back({name, EntryTypeImage, EncodePng(image)});
    content.previews.push_back({name + ".png", image});
}

// Textures loaded from the archive also read a frame table of their name; one frame covering
// the whole image keeps that table meaningful.
void AddImageWithFrame(Content& content, const std::string& name, const Raster& image) {
    AddImage(content, name, image);
    content.items.push_back(
        {name, EntryTypeFrameTable, WriteSurfaceFrames({{0, 0, image.width, image.height, 0, 0}})});
}

// The font enlarged four times, every frame's rectangle outlined: large set red, small set
// green, the unused last frame blue.
Raster FontPreview(const FontAtlas& font) {
    constexpr int kZoom = 4;
    Raster preview = font.image.Enlarged(kZoom);
    for (size_t i = 0; i < font.frames.size(); ++i) {
        const SurfaceFrame& f = font.frames[i];
        const Rgb colour = i < 85 ? Rgb{0.8f, 0.1f, 0.1f}
                                  : (i < 170 ? Rgb{0.1f, 0.7f, 0.1f} : Rgb{0.2f, 0.3f, 1.0f});
        preview.OutlineRect(f.Left * kZoom, f.Top * kZoom, f.Right * kZoom, f.Bottom * kZoom,
                            colour);
    }
    return preview;
}

// The 32 water frames side by side, in playing order.
Raster WaterStrip(const std::array<Raster, 2>& sheets) {
    constexpr int kCell = 64;
    Raster strip(32 * kCell, kCell);
    for (int frame = 0; frame < 32; ++frame) {
        const Raster& sheet = sheets[frame / 16];
        const int cx = (frame % 4) * kCell, cy = (frame % 16 / 4) * kCell;
        for (int y = 0; y < kCell; ++y) {
            for (int x = 0; x < kCell; ++x)
                strip.At(frame * kCell + x, y) = sheet.At(cx + x, cy + y);
        }
    }
    return strip;
}

}  // namespace

Content BuildContent() {
    Content content;
    auto geometry = [&](const GeometrySet& set) {
        content.items.push_back(
            {TrimmedEntryName(set.Name), EntryTypeGeometry, WriteGeometrySetRecord(set)});
    };

    // In the order the program loads them.
    geometry(BuildCommonSet());
    geometry(BuildEffectShapes());

    const FontAtlas font = BuildFontAtlas();
    content.items.push_back({"FONT", EntryTypeImage, EncodePng(font.image)});
    content.items.push_back({"FONT", EntryTypeFrameTable, WriteSurfaceFrames(font.frames)});
    content.previews.push_back({"FONT.png", FontPreview(font)});

    AddImageWithFrame(content, "TRAIL", PaintTrailTexture());
    content.lens = PaintLensTexture();
    AddImageWithFrame(content, "LENS", content.lens);
    content.sky = PaintSkyTexture();
    AddImageWithFrame(content, "SKY", content.sky);
    content.water = PaintWaterSheets();
    AddImageWithFrame(content, "WATERA", content.water[0]);
    AddImageWithFrame(content, "WATERB", content.water[1]);
    content.previews.push_back({"WATER-frames.png", WaterStrip(content.water)});

    geometry(BuildWaterTileMesh());
    content.items.push_back({"CLICK", EntryTypeText, Bytes(WriteClickMenu())});
    geometry(BuildSkySphere());
    content.land = BuildLandMesh();
    geometry(content.land);
    content.landTexture = PaintLandTexture();
    AddImageWithFrame(content, "LAND", content.landTexture);

    // Loaded by the scene set-up on the first frame.
    content.palm = BuildPalmModel();
    content.items.push_back({"PALM", EntryTypeModel, WriteModelRecord(content.palm)});
    return content;
}

std::vector<Preview> AllPreviews(const Content& content) {
    std::vector<Preview> all = content.previews;
    for (Preview& p : RenderScenePreviews({content.land, content.landTexture, content.palm,
                                           content.sky, content.lens, content.water})) {
        all.push_back(std::move(p));
    }
    return all;
}
