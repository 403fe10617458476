// assetgen: builds the program's resource archive from code. Run by the build as
//   assetgen OUT.kqx
// and, to review the content by eye,
//   assetgen --preview DIR [OUT.kqx]
// which also writes every image (the font with its frame rectangles, the water frames as a
// strip) as a PNG into DIR. The same build always writes the same bytes.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "resources/Archive.h"
#include "resources/EntryCheck.h"
#include "tools/assetgen/Content.h"

namespace {

constexpr char kUsage[] =
    "usage: assetgen OUT.kqx\n"
    "       assetgen --preview DIR [OUT.kqx]\n";

// Every entry goes through the reader the program uses for its type before it is written.
void CheckItems(const std::vector<ArchiveItem>& items) {
    for (const ArchiveItem& item : items) {
        CheckEntryBytes(item.Bytes, item.EntryType,
                        DataSource{"assetgen", item.Name, item.EntryType});
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string out, previewDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--preview" && i + 1 < argc) {
            previewDir = argv[++i];
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
    if (out.empty() && previewDir.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        const Content content = BuildContent();
        CheckItems(content.items);
        if (!out.empty()) WriteWholeFile(out, WriteArchive(content.items));
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
