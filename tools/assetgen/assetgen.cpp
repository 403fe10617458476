// assetgen: builds the program's resource archive from code. Run by the build as
//   assetgen OUT.kqx
// and, to review the content by eye,
//   assetgen --preview DIR [OUT.kqx]
// which also writes every image (the font with its frame rectangles, the water frames as a
// strip) as a PNG into DIR. The same build always writes the same bytes.
//   assetgen --icon OUT.png [OUT.kqx]
// writes the desktop icon: a square, shrunk part of one of the scene's views.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "resources/Archive.h"
#include "resources/EntryCheck.h"
#include "tools/assetgen/Content.h"

namespace {

constexpr char kUsage[] =
    "usage: assetgen OUT.kqx\n"
    "       assetgen --preview DIR [OUT.kqx]\n"
    "       assetgen --icon OUT.png [OUT.kqx]\n";

constexpr int kIconSize = 128;
constexpr char kIconView[] = "SCENE-palm.png";

// The view's centred square, each icon pixel the mean of the view pixels it covers.
Raster IconFrom(const Raster& view) {
    const int side = std::min(view.width, view.height);
    const int left = (view.width - side) / 2, top = (view.height - side) / 2;
    Raster icon(kIconSize, kIconSize);
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            const int x0 = left + x * side / kIconSize, x1 = left + (x + 1) * side / kIconSize;
            const int y0 = top + y * side / kIconSize, y1 = top + (y + 1) * side / kIconSize;
            Rgb sum;
            for (int sy = y0; sy < y1; ++sy) {
                for (int sx = x0; sx < x1; ++sx) sum = sum + view.At(sx, sy);
            }
            icon.At(x, y) = sum * (1.0f / static_cast<float>((x1 - x0) * (y1 - y0)));
        }
    }
    return icon;
}

// Every entry goes through the reader the program uses for its type before it is written.
void CheckItems(const std::vector<ArchiveItem>& items) {
    for (const ArchiveItem& item : items) {
        CheckEntryBytes(item.Bytes, item.EntryType,
                        DataSource{"assetgen", item.Name, item.EntryType});
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string out, previewDir, iconFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--preview" && i + 1 < argc) {
            previewDir = argv[++i];
        } else if (arg == "--icon" && i + 1 < argc) {
            iconFile = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (out.empty() && !arg.starts_with("-")) {
            out = arg;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (out.empty() && previewDir.empty() && iconFile.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        const Content content = BuildContent();
        CheckItems(content.items);
        if (!out.empty()) WriteWholeFile(out, WriteArchive(content.items));
        if (!iconFile.empty()) {
            bool drawn = false;
            for (const Preview& p : AllPreviews(content)) {
                if (p.file != kIconView) continue;
                WriteWholeFile(iconFile, EncodePng(IconFrom(p.image)));
                drawn = true;
            }
            if (!drawn) throw std::runtime_error(std::string("no view ") + kIconView);
        }
        if (!previewDir.empty()) {
            std::filesystem::create_directories(previewDir);
            for (const Preview& p : AllPreviews(content)) {
                WriteWholeFile((std::filesystem::path(previewDir) / p.file).string(),
                               EncodePng(p.image));
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "assetgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
