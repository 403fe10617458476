// Small vector helpers and the mesh-building pieces every geometry builder shares: vertices,
// triangles wound so their drawn side faces a chosen way, and parts and sets in the layout the
// program reads.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dx/DxTypes.h"
#include "resources/GeometrySets.h"

constexpr float kPi = 3.14159265358979f;

inline D3DVECTOR operator+(D3DVECTOR a, D3DVECTOR b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline D3DVECTOR operator-(D3DVECTOR a, D3DVECTOR b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline D3DVECTOR operator*(D3DVECTOR a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline float Dot(D3DVECTOR a, D3DVECTOR b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline D3DVECTOR Cross(D3DVECTOR a, D3DVECTOR b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(D3DVECTOR a) {
    return std::sqrt(Dot(a, a));
}
inline D3DVECTOR Normalized(D3DVECTOR a) {
    const float len = Length(a);
    return len > 0 ? a * (1.0f / len) : a;
}

inline float Clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}
inline float Lerp(float a, float b, float t) {
    return a + (b - a) * t;
}
inline float SmoothStep(float edge0, float edge1, float x) {
    const float t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

// 0xAARRGGBB from components 0..1.
uint32_t PackColour(float r, float g, float b, float a = 1.0f);

// The side of a triangle (a, b, c) the device draws: with the default culling a triangle is
// drawn when it is clockwise on screen, which is when this normal points at the viewer.
inline D3DVECTOR FrontNormal(D3DVECTOR a, D3DVECTOR b, D3DVECTOR c) {
    return Cross(b - a, c - a);
}

D3DVERTEX MakeVertex(D3DVECTOR position, D3DVECTOR normal, uint32_t colour, float u, float v);

// A part under construction: its vertices are appended to the shared list, its indices count
// from its own first vertex.
// Parts are built one after another: a part's vertices must be added before the next part's.
struct PartBuilder {
    std::vector<D3DVERTEX>& vertices;
    int16_t first;
    int16_t count = 0;
    std::vector<int16_t> indices;

    explicit PartBuilder(std::vector<D3DVERTEX>& list)
        : vertices(list), first(static_cast<int16_t>(list.size())) {}

    // Returns the new vertex's index within the part.
    int16_t Add(const D3DVERTEX& v);
    int16_t Count() const { return count; }
    const D3DVERTEX& At(int index) const { return vertices[first + index]; }
    // Appends the triangle in the order that shows its drawn side towards `facing`.
    void Triangle(int a, int b, int c, D3DVECTOR facing);
    // The same triangle with both sides drawn.
    void TwoSidedTriangle(int a, int b, int c);
};

struct PartColours {
    D3DCOLORVALUE ambient;
    D3DCOLORVALUE diffuse;
};

// Primitive kinds the parts use.
constexpr uint8_t kLineList = 2;
constexpr uint8_t kTriangleList = 4;
constexpr uint8_t kTriangleFan = 6;

GeometryPart MakePart(const std::string& name, int16_t first, int16_t vertexCount,
                      std::vector<int16_t> indices, uint8_t primitiveKind,
                      const PartColours& colours, uint8_t vertexColored = 0);
GeometryPart MakePart(const std::string& name, const PartBuilder& builder, uint8_t primitiveKind,
                      const PartColours& colours, uint8_t vertexColored = 0);

// A stored set: base colours from the vertices, counts from the lists, in use.
GeometrySet MakeSet(const std::string& name, std::vector<D3DVERTEX> vertices,
                    std::vector<GeometryPart> parts);
