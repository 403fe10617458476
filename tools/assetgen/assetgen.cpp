// assetgen: builds the program's resource archive from code. Run by the build as
//   assetgen OUT.kqx
// and, to review the content by eye,
//   assetgen --preview DIR [OUT.kqx]
// which also writes every image (the font with its frame rectangles, the water frames as a
// strip) as a PNG into DIR. The same build always writes the same bytes.
//   assetgen --icon OUT.png [OUT.kqx]
// writes the desktop icon: a square, shrunk part of one of the scene's views; --ico OUT.ico the
// same picture as a Windows icon, at the sizes Explorer, the taskbar and Alt+Tab ask for.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "resources/Archive.h"
#include "resources/EntryCheck.h"
#include "tools/assetgen/Content.h"

namespace {

constexpr char kUsage[] =
    "usage: assetgen OUT.kqx\n"
    "       assetgen --preview DIR [OUT.kqx]\n"
    "       assetgen --icon OUT.png [OUT.kqx]\n"
    "       assetgen --ico OUT.ico [OUT.kqx]\n";

constexpr int kIconSize = 128;
constexpr int kWindowsIconSizes[] = {16, 24, 32, 48, 64, 256};
constexpr char kIconView[] = "SCENE-palm.png";

// The view's centred square at size x size, each icon pixel the mean of the view pixels it
// covers.
Raster IconFrom(const Raster& view, int size) {
    const int side = std::min(view.width, view.height);
    const int left = (view.width - side) / 2, top = (view.height - side) / 2;
    Raster icon(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int x0 = left + x * side / size, x1 = left + (x + 1) * side / size;
            const int y0 = top + y * side / size, y1 = top + (y + 1) * side / size;
            Rgb sum;
            for (int sy = y0; sy < y1; ++sy) {
                for (int sx = x0; sx < x1; ++sx) sum = sum + view.At(sx, sy);
            }
            icon.At(x, y) = sum * (1.0f / static_cast<float>((x1 - x0) * (y1 - y0)));
        }
    }
    return icon;
}

void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// One size's image as an icon holds it: from 256 pixels a PNG, below that the bitmap every
// reader of icons knows (a header, 32-bit BGRA rows bottom-up, then an all-clear AND mask).
std::vector<uint8_t> IconImage(const Raster& icon) {
    if (icon.width >= 256) return EncodePng(icon);
    const std::vector<uint8_t> rgb = RgbBytes(icon);
    const int maskRow = (icon.width + 31) / 32 * 4;
    std::vector<uint8_t> dib;
    PutLittleEndian(dib, 40, 4);  // BITMAPINFOHEADER
    PutLittleEndian(dib, static_cast<uint32_t>(icon.width), 4);
    PutLittleEndian(dib, static_cast<uint32_t>(icon.height * 2), 4);  // the colours and the mask
    PutLittleEndian(dib, 1, 2);
    PutLittleEndian(dib, 32, 2);
    PutLittleEndian(dib, 0, 4);  // uncompressed
    PutLittleEndian(dib,
                    static_cast<uint32_t>(icon.width * icon.height * 4 + maskRow * icon.height), 4);
    for (int i = 0; i < 4; ++i) PutLittleEndian(dib, 0, 4);
    for (int y = icon.height - 1; y >= 0; --y) {
        for (int x = 0; x < icon.width; ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * icon.width + x) * 3];
            dib.insert(dib.end(), {p[2], p[1], p[0], 255});
        }
    }
    dib.insert(dib.end(), static_cast<size_t>(maskRow) * icon.height, 0);
    return dib;
}

// An .ico file: its directory, then each size's image.
std::vector<uint8_t> WindowsIcon(const Raster& view) {
    std::vector<std::vector<uint8_t>> images;
    for (int size : kWindowsIconSizes) images.push_back(IconImage(IconFrom(view, size)));
    std::vector<uint8_t> ico;
    PutLittleEndian(ico, 0, 2);  // reserved
    PutLittleEndian(ico, 1, 2);  // an icon, not a cursor
    PutLittleEndian(ico, static_cast<uint32_t>(images.size()), 2);
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const int size = kWindowsIconSizes[i];
        ico.push_back(static_cast<uint8_t>(size == 256 ? 0 : size));  // 0 means 256
        ico.push_back(static_cast<uint8_t>(size == 256 ? 0 : size));
        ico.push_back(0);            // no palette
        ico.push_back(0);            // reserved
        PutLittleEndian(ico, 1, 2);  // planes
        PutLittleEndian(ico, 32, 2);
        PutLittleEndian(ico, static_cast<uint32_t>(images[i].size()), 4);
        PutLittleEndian(ico, offset, 4);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const std::vector<uint8_t>& image : images)
        ico.insert(ico.end(), image.begin(), image.end());
    return ico;
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
    std::string out, previewDir, iconFile, icoFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--preview" && i + 1 < argc) {
            previewDir = argv[++i];
        } else if (arg == "--icon" && i + 1 < argc) {
            iconFile = argv[++i];
        } else if (arg == "--ico" && i + 1 < argc) {
            icoFile = argv[++i];
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
    if (out.empty() && previewDir.empty() && iconFile.empty() && icoFile.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        const Content content = BuildContent();
        CheckItems(content.items);
        if (!out.empty()) WriteWholeFile(out, WriteArchive(content.items));
        if (!iconFile.empty() || !icoFile.empty()) {
            bool drawn = false;
            for (const Preview& p : AllPreviews(content)) {
                if (p.file != kIconView) continue;
                if (!iconFile.empty()) {
                    WriteWholeFile(iconFile, EncodePng(IconFrom(p.image, kIconSize)));
                }
                if (!icoFile.empty()) WriteWholeFile(icoFile, WindowsIcon(p.image));
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
