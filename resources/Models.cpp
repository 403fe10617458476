#include "resources/Models.h"

#include <algorithm>

#include "core/Random.h"
#include "core/Tables.h"
#include "resources/Archive.h"
#include "resources/ModelBuffers.h"
#include "resources/ScratchFile.h"

namespace {

void CheckCount(int64_t count, size_t listSize, const char* countName, const char* listName,
                const DataSource& source) {
    if (count < 0) {
        ThrowDataError(rt::InvalidFileFormat, source,
                       std::string(countName) + " " + std::to_string(count) + " is negative");
    }
    if (static_cast<uint64_t>(count) > listSize) {
        ThrowDataError(rt::InvalidFileFormat, source,
                       std::string(countName) + " " + std::to_string(count) + " exceeds the " +
                           std::to_string(listSize) + " elements of " + listName);
    }
}

}  // namespace

void CheckModel(const ModelData& m, const DataSource& source) {
    CheckCount(m.GroupCount, m.Groups.size(), "GroupCount", "Groups", source);
    CheckCount(m.VertexCount, m.Vertices.size(), "VertexCount", "Vertices", source);
    CheckCount(m.IndexCount, m.Indices.size(), "IndexCount", "Indices", source);
    CheckCount(m.GroupListCount, m.GroupList.size(), "GroupListCount", "GroupList", source);
    // The original silently dropped the copy of a larger model into its buffers.
    if (m.VertexCount > kModelBufferVertices) {
        ThrowDataError(rt::InvalidFileFormat, source,
                       "vertex count " + std::to_string(m.VertexCount) + " exceeds the " +
                           std::to_string(kModelBufferVertices) + " the buffers hold");
    }
    for (int32_t i = 0; i < m.IndexCount; ++i) {
        const int16_t v = m.Indices[static_cast<size_t>(i)];
        if (v < 0 || v >= m.VertexCount) {
            ThrowDataError(rt::InvalidFileFormat, source,
                           "index " + std::to_string(i) + " (vertex " + std::to_string(v) +
                               ") points outside the " + std::to_string(m.VertexCount) +
                               " vertices");
        }
    }
    for (int16_t g = 0; g < m.GroupCount; ++g) {
        const ModelGroup& group = m.Groups[static_cast<size_t>(g)];
        const int64_t first = group.FirstVertex;
        const int64_t end = first + group.GroupVertexCount;
        if (first < 0 || group.GroupVertexCount < 0 || end > m.VertexCount) {
            ThrowDataError(
                rt::InvalidFileFormat, source,
                "group " + std::to_string(g) + " (first vertex " + std::to_string(first) + ", " +
                    std::to_string(group.GroupVertexCount) + " vertices) lies outside the " +
                    std::to_string(m.VertexCount) + " vertices");
        }
    }
    for (int16_t j = 0; j < m.GroupListCount; ++j) {
        const int16_t e = m.GroupList[static_cast<size_t>(j)];
        if (e >= m.GroupCount) {
            ThrowDataError(rt::InvalidFileFormat, source,
                           "GroupList entry " + std::to_string(j) + " names group " +
                               std::to_string(e) + " of only " + std::to_string(m.GroupCount));
        }
    }
}

ModelData ReadModelRecord(std::span<const uint8_t> bytes, const DataSource& source) {
    ByteReader reader(bytes, source);
    ModelData model;
    ModelLayout(reader, model);
    CheckModel(model, source);
    return model;
}

std::vector<uint8_t> WriteModelRecord(const ModelData& model) {
    ByteWriter writer;
    ModelLayout(writer, model);
    return writer.Take();
}

ModelData BuiltInTriangle() {
    ModelData m;
    m.Vertices.resize(3);
    m.Vertices[0].Color = 0xFF00FF00;
    m.Vertices[1].X = 1.0f;
    m.Vertices[1].TU = 1.0f;
    m.Vertices[1].Color = 0xFF0000FF;
    m.Vertices[2].Y = -1.0f;
    m.Vertices[2].TV = 1.0f;
    m.Vertices[2].Color = 0xFFFF0000;
    m.VertexCount = 3;
    m.Indices = {0, 1, 2};
    m.IndexCount = 3;
    m.Groups.resize(1);
    m.Groups[0].GroupVertexCount = 3;
    m.GroupCount = 1;
    m.GroupList = {0};
    m.GroupListCount = 1;
    return m;
}

void ResetModelTables() {
    ResetTable(Models, LastModelIndex);
}

int32_t LoadModel(const std::string& path, const std::string& name, int16_t archiveIndex) {
    Randomize();
    // The record is read and checked, and its buffers made, before a slot is taken, so a
    // failure leaves the table as it was.
    ModelData model;
    if (archiveIndex != -1) {
        const Archive& archive = At(Archives, archiveIndex);
        const DataSource source{archive.Path, name, EntryTypeModel};
        if (ExtractEntry(archiveIndex, name, EntryTypeModel) != 1) {
            ThrowDataError(rt::FileNotFound, source, "the archive holds no such model");
        }
        model = ReadModelRecord(TakeScratchFile(source), source);
    } else if (!path.empty()) {
        model = ReadModelRecord(ReadWholeFile(path), DataSource{path, "", 0});
    } else {
        model = BuiltInTriangle();
    }

    model.BufferIndex = CreateModelBuffers(model.Vertices, model.VertexCount);

    const int32_t slot =
        NextTableSlot(Models, LastModelIndex, [](const ModelData& m) { return m.Loaded == 1; });
    ModelData& stored = Models[static_cast<size_t>(slot)];
    stored = std::move(model);
    stored.Name = name;
    stored.Loaded = 1;
    return slot;
}

int32_t FindModel(const std::string& name) {
    const int32_t last = std::min<int32_t>(LastModelIndex, static_cast<int32_t>(Models.size()) - 1);
    for (int32_t i = 0; i <= last; ++i) {
        const ModelData& m = Models[static_cast<size_t>(i)];
        if (m.Loaded == 1 && m.Name == name) return i;
    }
    return -1;
}
