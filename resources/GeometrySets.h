// Geometry sets: named vertex lists with named parts, each part a run of the vertices with its
// own index list, colours and primitive kind. The landscape, water, sky, the screen quad and the
// ribbons of the animations are all sets. Sets come from the archive (LoadGeometrySet) or are
// built at run time (AddGeometrySet, AddGeometryPart); the "MINI", "COMMON" and "BG" names are
// recorded in a small registry so the renderer finds them by index.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/dx/DxTypes.h"
#include "resources/BinaryIo.h"

constexpr size_t kGeometryNameLength = 7;

struct GeometryPart {
    int16_t FirstVertex = 0;
    int16_t PartVertexCount = 0;
    std::vector<int16_t> Indices;  // relative to FirstVertex
    int32_t IndexCount = 0;
    D3DCOLORVALUE AmbientColor;
    D3DCOLORVALUE DiffuseColor;
    std::string PartName = std::string(kGeometryNameLength, ' ');
    D3DVECTOR Centre;
    uint8_t PrimitiveKind = 0;  // D3DPRIMITIVETYPE for items that ask for kind 0
    uint8_t VertexColored = 0;
};

struct GeometrySet {
    std::vector<D3DVERTEX> Vertices;
    std::vector<int32_t> BaseColors;  // each vertex's colour as built; fades start from these
    int16_t VertexCount = 0;
    std::vector<GeometryPart> Parts;
    int16_t PartCount = 0;
    std::string Name = std::string(kGeometryNameLength, ' ');
    uint8_t InUse = 0;
};

constexpr size_t kGeometryVertexBytes = 36;
// A part without indices: 2 + 2 + list header + 4 + 16 + 16 + 7 + 12 + 1 + 1.
constexpr size_t kGeometryPartMinBytes = 71;

template <typename Io, typename Vertex>
void GeometryVertexLayout(Io& io, Vertex& v) {
    io.Field(v.x, "x");
    io.Field(v.y, "y");
    io.Field(v.z, "z");
    io.Field(v.nx, "nx");
    io.Field(v.ny, "ny");
    io.Field(v.nz, "nz");
    io.Field(v.color, "color");
    io.Field(v.tu, "tu");
    io.Field(v.tv, "tv");
}

template <typename Io, typename Part>
void GeometryPartLayout(Io& io, Part& p) {
    io.Field(p.FirstVertex, "FirstVertex");
    io.Field(p.PartVertexCount, "PartVertexCount");
    io.List(p.Indices, "Indices", 2, [&](auto& i) { io.Field(i, "Indices"); });
    io.Field(p.IndexCount, "IndexCount");
    io.Field(p.AmbientColor, "AmbientColor");
    io.Field(p.DiffuseColor, "DiffuseColor");
    io.FixedString(p.PartName, kGeometryNameLength, "PartName");
    io.Field(p.Centre, "Centre");
    io.Field(p.PrimitiveKind, "PrimitiveKind");
    io.Field(p.VertexColored, "VertexColored");
}

template <typename Io, typename Set>
void GeometrySetLayout(Io& io, Set& s) {
    io.List(s.Vertices, "Vertices", kGeometryVertexBytes,
            [&](auto& v) { GeometryVertexLayout(io, v); });
    io.List(s.BaseColors, "BaseColors", 4, [&](auto& c) { io.Field(c, "BaseColors"); });
    io.Field(s.VertexCount, "VertexCount");
    io.List(s.Parts, "Parts", kGeometryPartMinBytes, [&](auto& p) { GeometryPartLayout(io, p); });
    io.Field(s.PartCount, "PartCount");
    io.FixedString(s.Name, kGeometryNameLength, "Name");
    io.Field(s.InUse, "InUse");
}

// Reads a set record and checks it: counts within their lists, a base colour per vertex, parts
// inside the vertices, indices inside their part, primitive kinds 1 to 6.
GeometrySet ReadGeometrySetRecord(std::span<const uint8_t> bytes, const DataSource& source);
std::vector<uint8_t> WriteGeometrySetRecord(const GeometrySet& set);
void CheckGeometrySet(const GeometrySet& set, const DataSource& source);

inline std::vector<GeometrySet> GeometrySets{GeometrySet{}};
inline int32_t GeometrySetCount = 0;  // index of the last set added

// Set indices registered under "MINI", "COMMON" and "BG" (element 0), and part registries.
inline std::vector<int16_t> MiniSets{0};
inline std::vector<int16_t> CommonSets{0};
inline std::vector<int16_t> BackgroundSets{0};
inline std::vector<int16_t> MiniParts{0};
inline std::vector<int16_t> CommonParts{0};
inline std::vector<int16_t> BackgroundParts{-1};

// Empties the set table and the registry.
void ResetGeometryTables();
// Puts the "BG" part registry back to its single entry -1.
void ResetBackgroundParts();

// Loads the type-5 entry of that name into the next set and returns its index; returns 0 and
// changes nothing when the archive holds no such entry.
int32_t LoadGeometrySet(int16_t archiveSlot, const std::string& entryName);
// Puts an already read set into the next slot and registers its names; returns its index.
int32_t StoreGeometrySet(GeometrySet set);
// Appends a set holding the first count vertices of vertexList; returns its index.
int32_t AddGeometrySet(std::span<const D3DVERTEX> vertexList, int32_t count,
                       const std::string& name);
// Appends a part to set setIndex and returns its part number. The part's indices are
// indexSource[indexOffset + i] - firstVertex; colours[0] is the diffuse, colours[1] the ambient
// colour. With computeCentre the part's Centre is the middle of its indexed vertices' box.
int32_t AddGeometryPart(int32_t setIndex, int16_t firstVertex, int16_t vertexCount,
                        std::span<const int16_t> indexSource, int32_t indexCount,
                        const std::array<D3DCOLORVALUE, 2>& colours, uint8_t primitiveKind,
                        const std::string& name, uint8_t vertexColored, int32_t indexOffset,
                        bool computeCentre);
// Records a set (partNumber -1) or a part under "MINI", "COMMON" or "BG"; other names are
// ignored. Leading and trailing spaces of name do not count.
void RegisterGeometryName(const std::string& name, int32_t partNumber);

// A name as a 7-character fixed-length field holds it: cut or padded with spaces.
std::string FixedGeometryName(const std::string& name);
