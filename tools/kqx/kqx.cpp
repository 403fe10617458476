// kqx: lists, extracts, packs, checks and shows resource archives, using the program's own
// archive, model and geometry-set code so that what it accepts the program accepts too.
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/dx/DxError.h"
#include "platform/host/System.h"
#include "resources/Archive.h"
#include "resources/EntryCheck.h"
#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "resources/SurfaceFrames.h"

namespace {

constexpr int kExitProblem = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "usage: kqx COMMAND ...\n"
    "\n"
    "  kqx list ARCHIVE                    one entry a line: index, name, type, offset, size\n"
    "  kqx extract ARCHIVE NAME TYPE [OUT] write the entry to OUT (default NAME; - for stdout)\n"
    "  kqx pack OUT FILE:NAME:TYPE ...     build an archive from files, in the given order\n"
    "  kqx check ARCHIVE                   validate every entry by its type\n"
    "  kqx show ARCHIVE NAME TYPE          print a model, geometry set or frame table\n"
    "  kqx --help                          this text\n"
    "\n"
    "TYPE is a number or a name: 1 text, 2 image, 4 frames, 5 geometry, 6 model.\n"
    "NAME is matched exactly (case-sensitive) against the stored name without its padding;\n"
    "the first entry of that name and type wins. Names hold 1 to 7 characters.\n"
    "Exit status: 0 done, 1 a file or entry is missing or invalid, 2 wrong call.\n";

struct UsageError {
    std::string message;
};

std::optional<uint8_t> ParseType(const std::string& text) {
    static const std::pair<const char*, uint8_t> names[] = {
        {"text", EntryTypeText},         {"image", EntryTypeImage}, {"frames", EntryTypeFrameTable},
        {"geometry", EntryTypeGeometry}, {"model", EntryTypeModel},
    };
    for (const auto& [name, code] : names) {
        if (text == name) return code;
    }
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int value = std::stoi(text);
    if (value > 255) return std::nullopt;
    return static_cast<uint8_t>(value);
}

uint8_t TypeArgument(const std::string& text) {
    const auto type = ParseType(text);
    if (!type) throw UsageError{"not an entry type: " + text};
    return *type;
}

// Names as typed on a command line: printable bytes as they are, others escaped.
std::string Printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string Vector(const D3DVECTOR& v) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "(%g, %g, %g)", v.x, v.y, v.z);
    return buf;
}

std::string Colour(const D3DCOLORVALUE& c) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "(r %g, g %g, b %g, a %g)", c.r, c.g, c.b, c.a);
    return buf;
}

int List(const std::string& path) {
    const Archive archive = ReadArchiveFile(path);
    for (size_t i = 0; i < archive.Entries.size(); ++i) {
        const ArchiveEntry& e = archive.Entries[i];
        std::printf("%5zu  %-7s  %3d  %10d  %10d\n", i, Printable(TrimmedEntryName(e.Name)).c_str(),
                    e.EntryType, e.Offset, e.Size);
    }
    return 0;
}

std::vector<uint8_t> EntryArgument(const Archive& archive, const std::string& name, uint8_t type,
                                   DataSource& source) {
    const int index = FindEntry(archive, name, type);
    source = DataSource{archive.Path, name, type};
    if (index < 0) ThrowDataError(rt::FileNotFound, source, "no such entry");
    source = EntrySource(archive, index);
    return ReadEntryBytes(archive, index);
}

int Extract(const std::string& path, const std::string& name, uint8_t type,
            const std::string& out) {
    const Archive archive = ReadArchiveFile(path);
    DataSource source;
    const std::vector<uint8_t> bytes = EntryArgument(archive, name, type, source);
    if (out == "-") {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        if (std::fflush(stdout) != 0) {
            throw RuntimeError(rt::PathFileAccessError, "standard output cannot be written");
        }
    } else {
        WriteWholeFile(out, bytes);
    }
    return 0;
}

int Pack(const std::string& out, const std::vector<std::string>& arguments) {
    std::vector<ArchiveItem> items;
    for (const std::string& argument : arguments) {
        const size_t typeColon = argument.rfind(':');
        const size_t nameColon = typeColon == std::string::npos || typeColon == 0
                                     ? std::string::npos
                                     : argument.rfind(':', typeColon - 1);
        if (nameColon == std::string::npos || nameColon == 0) {
            throw UsageError{"expected FILE:NAME:TYPE, got " + argument};
        }
        ArchiveItem item;
        item.Name = argument.substr(nameColon + 1, typeColon - nameColon - 1);
        item.EntryType = TypeArgument(argument.substr(typeColon + 1));
        if (item.Name.empty() || item.Name.size() > kEntryNameLength ||
            TrimmedEntryName(item.Name) != item.Name) {
            throw UsageError{"entry name \"" + item.Name +
                             "\" must be 1 to 7 characters without leading or trailing spaces"};
        }
        item.Bytes = ReadWholeFile(argument.substr(0, nameColon));
        items.push_back(std::move(item));
    }
    WriteWholeFile(out, WriteArchive(items));
    return 0;
}

int Check(const std::string& path) {
    const Archive archive = ReadArchiveFile(path);
    for (int i = 0; i < archive.EntryCount; ++i) {
        const std::vector<uint8_t> bytes = ReadEntryBytes(archive, i);
        CheckEntryBytes(bytes, archive.Entries[static_cast<size_t>(i)].EntryType,
                        EntrySource(archive, i));
    }
    std::printf("%s: %d entries, all valid\n", path.c_str(), archive.EntryCount);
    return 0;
}

void ShowModel(const ModelData& m) {
    std::printf("VertexCount %d (list %zu)\n", m.VertexCount, m.Vertices.size());
    std::printf("IndexCount %d (list %zu)\n", m.IndexCount, m.Indices.size());
    std::printf("GroupCount %d (list %zu)\n", m.GroupCount, m.Groups.size());
    std::printf("GroupListCount %d (list %zu)\n", m.GroupListCount, m.GroupList.size());
    for (size_t g = 0; g < m.Groups.size(); ++g) {
        const ModelGroup& group = m.Groups[g];
        std::printf(
            "group %zu%s: GroupOffset %s FirstVertex %d GroupVertexCount %d Joint %d "
            "Weight %g\n",
            g, static_cast<int>(g) < m.GroupCount ? "" : " (uncounted)",
            Vector(group.GroupOffset).c_str(), group.FirstVertex, group.GroupVertexCount,
            group.Joint, group.Weight);
    }
    std::printf("GroupList:");
    for (int j = 0; j < m.GroupListCount; ++j)
        std::printf(" %d", m.GroupList[static_cast<size_t>(j)]);
    std::printf("\n");
}

void ShowGeometrySet(const GeometrySet& s) {
    std::printf("Name \"%s\" InUse %d\n", Printable(s.Name).c_str(), s.InUse);
    std::printf("VertexCount %d (list %zu, BaseColors %zu)\n", s.VertexCount, s.Vertices.size(),
                s.BaseColors.size());
    std::printf("PartCount %d (list %zu)\n", s.PartCount, s.Parts.size());
    for (size_t n = 0; n < s.Parts.size(); ++n) {
        const GeometryPart& p = s.Parts[n];
        std::printf(
            "part %zu%s \"%s\": FirstVertex %d PartVertexCount %d IndexCount %d (list %zu) "
            "PrimitiveKind %d VertexColored %d\n",
            n, static_cast<int>(n) < s.PartCount ? "" : " (uncounted)",
            Printable(p.PartName).c_str(), p.FirstVertex, p.PartVertexCount, p.IndexCount,
            p.Indices.size(), p.PrimitiveKind, p.VertexColored);
        std::printf("    AmbientColor %s DiffuseColor %s Centre %s\n",
                    Colour(p.AmbientColor).c_str(), Colour(p.DiffuseColor).c_str(),
                    Vector(p.Centre).c_str());
    }
}

int Show(const std::string& path, const std::string& name, uint8_t type) {
    if (type != EntryTypeModel && type != EntryTypeGeometry && type != EntryTypeFrameTable) {
        throw UsageError{"show reads models (6), geometry sets (5) and frame tables (4)"};
    }
    const Archive archive = ReadArchiveFile(path);
    DataSource source;
    const std::vector<uint8_t> bytes = EntryArgument(archive, name, type, source);
    std::printf("%s, %zu bytes\n", DescribeSource(source).c_str(), bytes.size());
    switch (type) {
        case EntryTypeModel:
            ShowModel(ReadModelRecord(bytes, source));
            return 0;
        case EntryTypeGeometry:
            ShowGeometrySet(ReadGeometrySetRecord(bytes, source));
            return 0;
        case EntryTypeFrameTable: {
            CheckEntryBytes(bytes, type, source);
            std::vector<SurfaceFrame> frames(bytes.size() / kSurfaceFrameBytes);
            ReadSurfaceFrames(bytes, frames, source);
            for (size_t i = 0; i < frames.size(); ++i) {
                const SurfaceFrame& f = frames[i];
                std::printf("frame %zu: (%d, %d)-(%d, %d) HotSpotX %d HotSpotY %d\n", i, f.Left,
                            f.Top, f.Right, f.Bottom, f.HotSpotX, f.HotSpotY);
            }
            return 0;
        }
        default:
            return 0;
    }
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) throw UsageError{"no command"};
    const std::string& command = args[0];
    const size_t n = args.size();
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "list" && n == 2) return List(args[1]);
    if (command == "extract" && (n == 4 || n == 5)) {
        return Extract(args[1], args[2], TypeArgument(args[3]), n == 5 ? args[4] : args[2]);
    }
    if (command == "pack" && n >= 3) {
        return Pack(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    }
    if (command == "check" && n == 2) return Check(args[1]);
    if (command == "show" && n == 4) return Show(args[1], args[2], TypeArgument(args[3]));
    throw UsageError{"wrong call: " + command};
}

}  // namespace

int main(int argc, char** argv) {
    // An entry extracted to "-" goes out byte for byte, also where text output would turn each
    // 0x0A into two bytes.
    UseBinaryStandardOutput();
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "kqx: %s\nRun \"kqx --help\" for the commands.\n", e.message.c_str());
        return kExitUsage;
    } catch (const RuntimeError& e) {
        std::fprintf(stderr, "kqx: %s (error %d)\n", e.what(), e.Number());
    } catch (const DxError& e) {
        std::fprintf(stderr, "kqx: %s (error %d)\n", e.what(), e.Number());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kqx: %s\n", e.what());
    }
    return kExitProblem;
}
