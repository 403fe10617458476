// Models: indexed triangle meshes whose vertices are divided into groups, each group moved by the
// scene object's joint of the same index. A model file is the ModelData record written field by
// field; ModelLayout is that layout, used by the reader and by the writer alike.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/dx/DxTypes.h"
#include "resources/BinaryIo.h"

// The vertex buffers a model is copied into hold this many vertices.
constexpr int32_t kModelBufferVertices = 512;

// Flexible vertex format 338: 36 bytes.
struct ModelVertex {
    float X = 0, Y = 0, Z = 0;
    float NX = 0, NY = 0, NZ = 0;
    uint32_t Color = 0;
    float TU = 0, TV = 0;
};

struct ModelGroup {
    D3DVECTOR GroupOffset;
    int32_t FirstVertex = 0;
    int32_t GroupVertexCount = 0;
    uint8_t Joint = 0;
    float Weight = 0;
};

struct ModelData {
    int32_t BufferIndex = 0;
    std::vector<ModelGroup> Groups;
    int16_t GroupCount = 0;
    std::vector<ModelVertex> Vertices;
    int32_t VertexCount = 0;
    std::vector<int16_t> Indices;
    int32_t IndexCount = 0;
    std::vector<int16_t> GroupList;  // group indices; a negative entry separates chains
    int16_t GroupListCount = 0;
    std::string Name;
    uint8_t Loaded = 0;
};

constexpr size_t kModelVertexBytes = 36;
constexpr size_t kModelGroupBytes = 25;

template <typename Io, typename Vertex>
void ModelVertexLayout(Io& io, Vertex& v) {
    io.Field(v.X, "X");
    io.Field(v.Y, "Y");
    io.Field(v.Z, "Z");
    io.Field(v.NX, "NX");
    io.Field(v.NY, "NY");
    io.Field(v.NZ, "NZ");
    io.Field(v.Color, "Color");
    io.Field(v.TU, "TU");
    io.Field(v.TV, "TV");
}

template <typename Io, typename Group>
void ModelGroupLayout(Io& io, Group& g) {
    io.Field(g.GroupOffset, "GroupOffset");
    io.Field(g.FirstVertex, "FirstVertex");
    io.Field(g.GroupVertexCount, "GroupVertexCount");
    io.Field(g.Joint, "Joint");
    io.Field(g.Weight, "Weight");
}

template <typename Io, typename Model>
void ModelLayout(Io& io, Model& m) {
    io.Field(m.BufferIndex, "BufferIndex");
    io.List(m.Groups, "Groups", kModelGroupBytes, [&](auto& g) { ModelGroupLayout(io, g); });
    io.Field(m.GroupCount, "GroupCount");
    io.List(m.Vertices, "Vertices", kModelVertexBytes, [&](auto& v) { ModelVertexLayout(io, v); });
    io.Field(m.VertexCount, "VertexCount");
    io.List(m.Indices, "Indices", 2, [&](auto& i) { io.Field(i, "Indices"); });
    io.Field(m.IndexCount, "IndexCount");
    io.List(m.GroupList, "GroupList", 2, [&](auto& e) { io.Field(e, "GroupList"); });
    io.Field(m.GroupListCount, "GroupListCount");
    io.CountedString(m.Name, "Name");
    io.Field(m.Loaded, "Loaded");
}

// Reads a model record and checks it: counts within their lists and at most 512 vertices,
// indices and groups inside the vertices, group-list entries naming existing groups.
ModelData ReadModelRecord(std::span<const uint8_t> bytes, const DataSource& source);
std::vector<uint8_t> WriteModelRecord(const ModelData& model);
// The checks ReadModelRecord makes after parsing.
void CheckModel(const ModelData& model, const DataSource& source);

// The one-triangle model used under the name "CHAR".
ModelData BuiltInTriangle();

inline std::vector<ModelData> Models{ModelData{}};
inline int32_t LastModelIndex = 0;
// Grows with every change the editor makes to the first model, so whoever copied its vertices
// can tell they are stale.
inline uint32_t EditedModelSerial = 0;

void ResetModelTables();

// Loads a model into the next slot of Models and returns the slot: from the archive entry of
// that name (archive index not -1), from the file at path (archive index -1), or the built-in
// triangle (empty path, archive index -1). A name the archive does not hold is error 53.
int32_t LoadModel(const std::string& path, const std::string& name, int16_t archiveIndex);

// The lowest loaded slot whose Name is exactly name; -1 if none.
int32_t FindModel(const std::string& name);
