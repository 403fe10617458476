#include "tools/assetgen/MeshMath.h"

#include <stdexcept>

uint32_t PackColour(float r, float g, float b, float a) {
    auto byte = [](float c) { return static_cast<uint32_t>(std::lround(Clamp01(c) * 255.0f)); };
    return byte(a) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
}

D3DVERTEX MakeVertex(D3DVECTOR position, D3DVECTOR normal, uint32_t colour, float u, float v) {
    D3DVERTEX out;
    out.x = position.x;
    out.y = position.y;
    out.z = position.z;
    out.nx = normal.x;
    out.ny = normal.y;
    out.nz = normal.z;
    out.color = colour;
    out.tu = u;
    out.tv = v;
    return out;
}

int16_t PartBuilder::Add(const D3DVERTEX& v) {
    if (vertices.size() != static_cast<size_t>(first + count)) {
        throw std::logic_error("a part's vertices must follow each other");
    }
    if (vertices.size() >= 32767) throw std::length_error("geometry set exceeds 32767 vertices");
    vertices.push_back(v);
    return count++;
}

void PartBuilder::Triangle(int a, int b, int c, D3DVECTOR facing) {
    auto pos = [&](int i) {
        const D3DVERTEX& v = At(i);
        return D3DVECTOR{v.x, v.y, v.z};
    };
    if (Dot(FrontNormal(pos(a), pos(b), pos(c)), facing) < 0) std::swap(b, c);
    indices.insert(indices.end(),
                   {static_cast<int16_t>(a), static_cast<int16_t>(b), static_cast<int16_t>(c)});
}

void PartBuilder::TwoSidedTriangle(int a, int b, int c) {
    indices.insert(indices.end(),
                   {static_cast<int16_t>(a), static_cast<int16_t>(b), static_cast<int16_t>(c),
                    static_cast<int16_t>(a), static_cast<int16_t>(c), static_cast<int16_t>(b)});
}

GeometryPart MakePart(const std::string& name, int16_t first, int16_t vertexCount,
                      std::vector<int16_t> indices, uint8_t primitiveKind,
                      const PartColours& colours, uint8_t vertexColored) {
    GeometryPart part;
    part.FirstVertex = first;
    part.PartVertexCount = vertexCount;
    part.IndexCount = static_cast<int32_t>(indices.size());
    part.Indices = std::move(indices);
    part.AmbientColor = colours.ambient;
    part.DiffuseColor = colours.diffuse;
    part.PartName = FixedGeometryName(name);
    // Items turn and scale a part about its own origin; a stored centre would shift it.
    part.Centre = D3DVECTOR{0, 0, 0};
    part.PrimitiveKind = primitiveKind;
    part.VertexColored = vertexColored;
    return part;
}

GeometryPart MakePart(const std::string& name, const PartBuilder& builder, uint8_t primitiveKind,
                      const PartColours& colours, uint8_t vertexColored) {
    return MakePart(name, builder.first, builder.Count(), builder.indices, primitiveKind, colours,
                    vertexColored);
}

GeometrySet MakeSet(const std::string& name, std::vector<D3DVERTEX> vertices,
                    std::vector<GeometryPart> parts) {
    GeometrySet set;
    set.BaseColors.reserve(vertices.size());
    for (const D3DVERTEX& v : vertices) set.BaseColors.push_back(static_cast<int32_t>(v.color));
    set.VertexCount = static_cast<int16_t>(vertices.size());
    set.Vertices = std::move(vertices);
    set.PartCount = static_cast<int16_t>(parts.size());
    set.Parts = std::move(parts);
    set.Name = FixedGeometryName(name);
    set.InUse = 1;
    return set;
}
