// Writes the fuzzers' seed corpus with the program's own writers, so the seeds always follow the
// current record layouts: fuzz_seeds OUT makes OUT/archive, OUT/model, OUT/geometry, OUT/image.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "resources/Archive.h"
#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "resources/SurfaceFrames.h"
#include "stb_image_write.h"

namespace {

ModelData ChainModel() {
    ModelData m;
    for (int i = 0; i < 9; ++i) {
        m.Vertices.push_back({float(i % 3), float(i / 3), 0, 0, 0, -1, 0xFF208040u, 0.5f, 0.5f});
    }
    m.VertexCount = 9;
    m.Indices = {0, 1, 3, 1, 4, 3, 3, 4, 6, 4, 7, 6, 1, 2, 4, 2, 5, 4};
    m.IndexCount = 18;
    m.Groups = {{{0, 0, 0}, 0, 3, 0, 1}, {{0, 1, 0}, 3, 3, 1, 1}, {{0, 1, 0}, 6, 3, 2, 1}};
    m.GroupCount = 3;
    m.GroupList = {0, 1, 2, -1, 0};
    m.GroupListCount = 5;
    m.Name = "PALM";
    return m;
}

GeometrySet StripSet(const std::string& name) {
    GeometrySet s;
    for (int i = 0; i < 6; ++i) {
        D3DVERTEX v;
        v.x = float(i);
        v.y = float(i % 2);
        v.color = 0xFFFFFFFFu;
        s.Vertices.push_back(v);
        s.BaseColors.push_back(-1);
    }
    s.VertexCount = 6;
    GeometryPart strip;
    strip.PartVertexCount = 4;
    strip.Indices = {0, 1, 2, 3};
    strip.IndexCount = 4;
    strip.PrimitiveKind = 5;
    strip.PartName = FixedGeometryName("BG");
    GeometryPart tri;
    tri.FirstVertex = 3;
    tri.PartVertexCount = 3;
    tri.Indices = {0, 1, 2, 2};
    tri.IndexCount = 3;
    tri.PrimitiveKind = 4;
    tri.PartName = FixedGeometryName("MINI");
    s.Parts = {strip, tri};
    s.PartCount = 2;
    s.Name = FixedGeometryName(name);
    s.InUse = 1;
    return s;
}

void Append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

std::vector<uint8_t> Png(int w, int h, int channels) {
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * channels);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37);
    std::vector<uint8_t> out;
    stbi_write_png_to_func(Append, &out, w, h, channels, pixels.data(), w * channels);
    return out;
}

std::vector<uint8_t> Bmp(int w, int h) {
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3, 0x5A);
    std::vector<uint8_t> out;
    stbi_write_bmp_to_func(Append, &out, w, h, 3, pixels.data());
    return out;
}

void Save(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    WriteWholeFile(path.string(), bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    const std::vector<uint8_t> model = WriteModelRecord(ChainModel());
    const std::vector<uint8_t> triangle = WriteModelRecord(BuiltInTriangle());
    const std::vector<uint8_t> geometry = WriteGeometrySetRecord(StripSet("COMMON"));
    const std::vector<uint8_t> frames =
        WriteSurfaceFrames({{0, 0, 8, 8, 0, 6}, {8, 0, 16, 8, 1, 7}});
    const std::vector<uint8_t> png = Png(4, 3, 3), pngAlpha = Png(2, 2, 4), bmp = Bmp(3, 2);

    Save(out / "model" / "chain", model);
    Save(out / "model" / "triangle", triangle);
    Save(out / "geometry" / "strip", geometry);
    Save(out / "geometry" / "bg", WriteGeometrySetRecord(StripSet("BG")));
    Save(out / "image" / "rgb.png", png);
    Save(out / "image" / "rgba.png", pngAlpha);
    Save(out / "image" / "rgb.bmp", bmp);
    Save(out / "archive" / "all", WriteArchive({{"PALM", EntryTypeModel, model},
                                                {"COMMON", EntryTypeGeometry, geometry},
                                                {"FONT", EntryTypeImage, png},
                                                {"FONT", EntryTypeFrameTable, frames},
                                                {"CLICK", EntryTypeText, {'a', ',', '1', '\n'}},
                                                {"PALM", EntryTypeModel, triangle}}));
    Save(out / "archive" / "single", WriteArchive({{"X", EntryTypeText, {}}}));
    return 0;
}
