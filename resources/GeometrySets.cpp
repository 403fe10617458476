#include "resources/GeometrySets.h"

#include <algorithm>
#include <limits>

#include "core/Tables.h"
#include "resources/Archive.h"
#include "resources/ScratchFile.h"

namespace {

void CheckCount(int64_t count, size_t listSize, const std::string& countName,
                const std::string& listName, const DataSource& source) {
    if (count < 0) {
        ThrowDataError(rt::InvalidFileFormat, source,
                       countName + " " + std::to_string(count) + " is negative");
    }
    if (static_cast<uint64_t>(count) > listSize) {
        ThrowDataError(rt::InvalidFileFormat, source,
                       countName + " " + std::to_string(count) + " exceeds the " +
                           std::to_string(listSize) + " elements of " + listName);
    }
}

bool InUse(const GeometrySet& s) {
    return s.InUse == 1;
}

int16_t ToInteger(int64_t v) {
    if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max()) {
        throw RuntimeError(rt::Overflow);
    }
    return static_cast<int16_t>(v);
}

}  // namespace

void CheckGeometrySet(const GeometrySet& s, const DataSource& source) {
    CheckCount(s.VertexCount, s.Vertices.size(), "VertexCount", "Vertices", source);
    CheckCount(s.VertexCount, s.BaseColors.size(), "VertexCount", "BaseColors", source);
    CheckCount(s.PartCount, s.Parts.size(), "PartCount", "Parts", source);
    for (int16_t n = 0; n < s.PartCount; ++n) {
        const GeometryPart& p = s.Parts[static_cast<size_t>(n)];
        const std::string part = "part " + std::to_string(n);
        const int64_t end = static_cast<int64_t>(p.FirstVertex) + p.PartVertexCount;
        if (p.FirstVertex < 0 || p.PartVertexCount < 0 || end > s.VertexCount) {
            ThrowDataError(rt::InvalidFileFormat, source,
                           part + " (first vertex " + std::to_string(p.FirstVertex) + ", " +
                               std::to_string(p.PartVertexCount) + " vertices) lies outside the " +
                               std::to_string(s.VertexCount) + " vertices");
        }
        CheckCount(p.IndexCount, p.Indices.size(), part + " IndexCount", part + " Indices", source);
        for (int32_t i = 0; i < p.IndexCount; ++i) {
            const int16_t v = p.Indices[static_cast<size_t>(i)];
            if (v < 0 || v >= p.PartVertexCount) {
                ThrowDataError(rt::InvalidFileFormat, source,
                               part + " index " + std::to_string(i) + " (vertex " +
                                   std::to_string(v) + ") points outside the part's " +
                                   std::to_string(p.PartVertexCount) + " vertices");
            }
        }
        if (p.PrimitiveKind < 1 || p.PrimitiveKind > 6) {
            ThrowDataError(
                rt::InvalidFileFormat, source,
                part + " has primitive kind " + std::to_string(p.PrimitiveKind) + ", not 1 to 6");
        }
    }
}

GeometrySet ReadGeometrySetRecord(std::span<const uint8_t> bytes, const DataSource& source) {
    ByteReader reader(bytes, source);
    GeometrySet set;
    GeometrySetLayout(reader, set);
    CheckGeometrySet(set, source);
    return set;
}

std::vector<uint8_t> WriteGeometrySetRecord(const GeometrySet& set) {
    ByteWriter writer;
    GeometrySetLayout(writer, set);
    return writer.Take();
}

void ResetGeometryTables() {
    ResetTable(GeometrySets, GeometrySetCount);
    MiniSets.assign(1, 0);
    CommonSets.assign(1, 0);
    BackgroundSets.assign(1, 0);
    MiniParts.assign(1, 0);
    CommonParts.assign(1, 0);
    ResetBackgroundParts();
}

void ResetBackgroundParts() {
    BackgroundParts.assign(1, -1);
}

std::string FixedGeometryName(const std::string& name) {
    std::string fixed = name.substr(0, std::min(name.size(), kGeometryNameLength));
    fixed.resize(kGeometryNameLength, ' ');
    return fixed;
}

void RegisterGeometryName(const std::string& name, int32_t partNumber) {
    const std::string trimmed = TrimmedEntryName(name);
    const bool mini = trimmed == "MINI", common = trimmed == "COMMON", bg = trimmed == "BG";
    if (!mini && !common && !bg) return;
    if (partNumber == -1) {
        std::vector<int16_t>& sets = mini ? MiniSets : common ? CommonSets : BackgroundSets;
        if (sets.empty()) sets.resize(1);
        sets[0] = ToInteger(GeometrySetCount);
        return;
    }
    if (partNumber < 0) throw RuntimeError(rt::SubscriptOutOfRange);
    const int16_t n = ToInteger(partNumber);
    if (bg) {
        if (BackgroundParts.empty()) BackgroundParts.assign(1, -1);
        if (BackgroundParts[0] == -1) {
            BackgroundParts[0] = 0;
        } else {
            BackgroundParts.push_back(n);
        }
        return;
    }
    std::vector<int16_t>& parts = mini ? MiniParts : CommonParts;
    if (parts.size() < static_cast<size_t>(n) + 1) parts.resize(static_cast<size_t>(n) + 1);
    parts[static_cast<size_t>(n)] = n;
}

int32_t StoreGeometrySet(GeometrySet set) {
    // A set that holds data is in use whatever its record says; otherwise the next addition
    // would take its slot back.
    set.InUse = 1;
    const int32_t slot = NextTableSlot(GeometrySets, GeometrySetCount, InUse);
    GeometrySet& stored = GeometrySets[static_cast<size_t>(slot)];
    stored = std::move(set);
    RegisterGeometryName(stored.Name, -1);
    for (int16_t n = 0; n < stored.PartCount; ++n) {
        RegisterGeometryName(stored.Parts[static_cast<size_t>(n)].PartName, n);
    }
    return slot;
}

int32_t LoadGeometrySet(int16_t archiveSlot, const std::string& entryName) {
    if (ExtractEntry(archiveSlot, entryName, EntryTypeGeometry) != 1) return 0;
    const DataSource source{Archives[static_cast<size_t>(archiveSlot)].Path, entryName,
                            EntryTypeGeometry};
    return StoreGeometrySet(ReadGeometrySetRecord(TakeScratchFile(source), source));
}

int32_t AddGeometrySet(std::span<const D3DVERTEX> vertexList, int32_t count,
                       const std::string& name) {
    if (count < 0 || static_cast<size_t>(count) > vertexList.size()) {
        throw RuntimeError(rt::SubscriptOutOfRange,
                           "geometry set \"" + name + "\": " + std::to_string(count) +
                               " vertices asked of a list of " + std::to_string(vertexList.size()));
    }
    const int16_t vertexCount = ToInteger(count);
    const int32_t slot = NextTableSlot(GeometrySets, GeometrySetCount, InUse);
    GeometrySet& set = GeometrySets[static_cast<size_t>(slot)];
    set = GeometrySet{};
    set.Vertices.assign(vertexList.begin(), vertexList.begin() + count);
    set.BaseColors.reserve(set.Vertices.size());
    for (const D3DVERTEX& v : set.Vertices) set.BaseColors.push_back(static_cast<int32_t>(v.color));
    set.VertexCount = vertexCount;
    set.Name = FixedGeometryName(name);
    set.InUse = 1;
    RegisterGeometryName(set.Name, -1);
    return slot;
}

int32_t AddGeometryPart(int32_t setIndex, int16_t firstVertex, int16_t vertexCount,
                        std::span<const int16_t> indexSource, int32_t indexCount,
                        const std::array<D3DCOLORVALUE, 2>& colours, uint8_t primitiveKind,
                        const std::string& name, uint8_t vertexColored, int32_t indexOffset,
                        bool computeCentre) {
    GeometrySet& set = At(GeometrySets, setIndex);
    if (indexCount < 0) throw RuntimeError(rt::SubscriptOutOfRange);
    GeometryPart part;
    part.FirstVertex = firstVertex;
    part.PartVertexCount = vertexCount;
    part.Indices.resize(static_cast<size_t>(indexCount));
    for (int32_t i = 0; i < indexCount; ++i) {
        const int16_t source = At(indexSource, static_cast<int64_t>(indexOffset) + i);
        part.Indices[static_cast<size_t>(i)] =
            ToInteger(static_cast<int64_t>(source) - firstVertex);
    }
    part.IndexCount = indexCount;
    part.DiffuseColor = colours[0];
    part.AmbientColor = colours[1];
    part.PartName = FixedGeometryName(name);
    part.PrimitiveKind = primitiveKind;
    part.VertexColored = vertexColored;
    if (computeCentre) {
        D3DVECTOR lo{1000, 1000, 1000}, hi{-1000, -1000, -1000};
        for (int16_t index : part.Indices) {
            const D3DVERTEX& v = At(set.Vertices, static_cast<int64_t>(firstVertex) + index);
            lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
            hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
        }
        part.Centre = {lo.x + (hi.x - lo.x) * 0.5f, lo.y + (hi.y - lo.y) * 0.5f,
                       lo.z + (hi.z - lo.z) * 0.5f};
    }
    if (set.PartCount < 0) throw RuntimeError(rt::SubscriptOutOfRange);
    const int16_t number = set.PartCount;
    const int16_t newCount = ToInteger(static_cast<int64_t>(number) + 1);
    if (set.Parts.size() < static_cast<size_t>(newCount)) set.Parts.resize(newCount);
    set.Parts[static_cast<size_t>(number)] = std::move(part);
    set.PartCount = newCount;
    RegisterGeometryName(set.Parts[static_cast<size_t>(number)].PartName, number);
    return number;
}
