// "USER": the small shapes of the sky and the particles. The flare elements, the sun and the
// sprites face the viewer (-z) and are textured with radial glows, so each maps its texture
// from its centre outwards. Part numbers and vertices 27 to 30 are fixed by how the program
// uses the set; the rest of the layout is free.
#include <cmath>

#include "tools/assetgen/ContentBuilders.h"
#include "tools/assetgen/MeshMath.h"
#include "tools/assetgen/SceneLayout.h"

namespace {

const D3DVECTOR kTowardsViewer{0, 0, -1};
constexpr uint32_t kWhite = 0xFFFFFFFF;

// Flare elements, in model units; the flare draws them 2.4 units away at scale 0.25 to 1.
constexpr float kFlareHexagonRadius = 0.30f;
constexpr float kFlareDiscRadius = 0.35f;
constexpr int kFlareDiscSides = 12;
constexpr float kFlareRingOuter = 0.42f;
constexpr float kFlareRingInner = 0.30f;
constexpr int kFlareRingSegments = 16;
constexpr float kFlareStarOuter = 0.32f;
constexpr float kFlareStarInner = 0.09f;
// The sun disc and its glow, and the shared unit quad.
constexpr float kQuadHalf = 0.5f;
// Particles: ember hexagon, drifting particle wings, spark and ripple quad, rain streak.
constexpr float kEmberRadius = 1.0f;
constexpr float kWingSpan = 0.5f;         // spine to wing tip
constexpr float kWingHalfLength = 0.35f;  // half the spine
// How far the second wing is turned about the spine from lying flat beside the first.
constexpr float kWingFoldDegrees = 150.0f;
constexpr float kSparkHalf = 0.3f;
constexpr float kRainStreakLength = 0.9f;

PartColours Tint(float r, float g, float b) {
    return {AmbientFor(r, g, b), {0, 0, 0, 1}};
}

// A vertex in the viewer-facing plane, its texture mapped so radius `extent` reaches the
// texture's edge.
D3DVERTEX FlatVertex(float x, float y, float extent) {
    return MakeVertex({x, y, 0}, kTowardsViewer, kWhite, 0.5f + 0.5f * x / extent,
                      0.5f - 0.5f * y / extent);
}

// A convex polygon, first corner straight up, corners clockwise; drawn as a fan of triangles.
void Polygon(PartBuilder& part, int sides, float radius) {
    for (int k = 0; k < sides; ++k) {
        const float a = kPi / 2 - 2 * kPi * k / sides;
        part.Add(FlatVertex(radius * std::cos(a), radius * std::sin(a), radius));
    }
    for (int k = 1; k + 1 < sides; ++k) part.Triangle(0, k, k + 1, kTowardsViewer);
}

void Star(PartBuilder& part, int points, float outer, float inner) {
    const int centre = part.Add(FlatVertex(0, 0, outer));
    for (int k = 0; k < 2 * points; ++k) {
        const float a = kPi / 2 - kPi * k / points;
        const float r = k % 2 == 0 ? outer : inner;
        part.Add(FlatVertex(r * std::cos(a), r * std::sin(a), outer));
    }
    for (int k = 0; k < 2 * points; ++k) {
        part.Triangle(centre, 1 + k, 1 + (k + 1) % (2 * points), kTowardsViewer);
    }
}

void Ring(PartBuilder& part, int segments, float outer, float inner) {
    for (int k = 0; k < segments; ++k) {
        const float a = kPi / 2 - 2 * kPi * k / segments;
        part.Add(FlatVertex(outer * std::cos(a), outer * std::sin(a), outer));
        part.Add(FlatVertex(inner * std::cos(a), inner * std::sin(a), outer));
    }
    for (int k = 0; k < segments; ++k) {
        const int o0 = 2 * k, i0 = o0 + 1, o1 = 2 * ((k + 1) % segments), i1 = o1 + 1;
        part.Triangle(o0, o1, i0, kTowardsViewer);
        part.Triangle(i0, o1, i1, kTowardsViewer);
    }
}

// Corners top left, top right, bottom right, bottom left.
void Quad(PartBuilder& part, float half) {
    part.Add(FlatVertex(-half, half, half));
    part.Add(FlatVertex(half, half, half));
    part.Add(FlatVertex(half, -half, half));
    part.Add(FlatVertex(-half, -half, half));
    part.Triangle(0, 1, 2, kTowardsViewer);
    part.Triangle(0, 2, 3, kTowardsViewer);
}

// The drifting particle tumbles freely, so its two triangles are folded like half-closed
// wings: one faces the viewer, the other the far side, and from almost any direction one of
// them is drawn. Vertices 0 and 3 are the wing tips, 1 and 2 the ends of the shared spine, so
// the triangles are (0, 1, 2) and (3, 2, 1).
void Wings(PartBuilder& part) {
    const float fold = kWingFoldDegrees * kPi / 180.0f;
    const D3DVECTOR tipA{-kWingSpan, 0, 0};
    const D3DVECTOR tipB{kWingSpan * std::cos(fold), 0, kWingSpan * std::sin(fold)};
    const D3DVECTOR top{0, kWingHalfLength, 0}, bottom{0, -kWingHalfLength, 0};
    const D3DVECTOR normalA = Normalized(FrontNormal(tipA, top, bottom));
    const D3DVECTOR normalB = Normalized(FrontNormal(tipB, bottom, top));
    const D3DVECTOR spine = Normalized(normalA + normalB);
    const float v0 = 0.5f - 0.5f * kWingHalfLength / kWingSpan;
    part.Add(MakeVertex(tipA, normalA, kWhite, 0, 0.5f));
    part.Add(MakeVertex(top, spine, kWhite, 0.5f, v0));
    part.Add(MakeVertex(bottom, spine, kWhite, 0.5f, 1 - v0));
    part.Add(MakeVertex(tipB, normalB, kWhite, 1, 0.5f));
    part.indices = {0, 1, 2, 3, 2, 1};
}

}  // namespace

GeometrySet BuildEffectShapes() {
    std::vector<D3DVERTEX> vertices;

    PartBuilder hexagon(vertices);  // vertices 0-5
    Polygon(hexagon, 6, kFlareHexagonRadius);
    PartBuilder disc(vertices);  // 6-17
    Polygon(disc, kFlareDiscSides, kFlareDiscRadius);
    PartBuilder star(vertices);  // 18-26
    Star(star, 4, kFlareStarOuter, kFlareStarInner);
    PartBuilder quad(vertices);  // 27-30, copied by the load for its own use
    Quad(quad, kQuadHalf);
    PartBuilder ember(vertices);
    Polygon(ember, 6, kEmberRadius);
    // The load draws the drifting particle as six vertices from the wings' first; the spark
    // quad follows directly, so those vertices exist.
    PartBuilder wings(vertices);
    Wings(wings);
    PartBuilder spark(vertices);
    Quad(spark, kSparkHalf);
    PartBuilder rain(vertices);
    rain.Add(MakeVertex({0, 0, -kRainStreakLength / 2}, {0, 1, 0}, kWhite, 0, 0));
    rain.Add(MakeVertex({0, 0, kRainStreakLength / 2}, {0, 1, 0}, kWhite, 0, 1));
    rain.indices = {0, 1};
    PartBuilder ring(vertices);
    Ring(ring, kFlareRingSegments, kFlareRingOuter, kFlareRingInner);

    std::vector<GeometryPart> parts;
    parts.push_back(MakePart("MINI", hexagon, kTriangleList, Tint(0.35f, 0.55f, 0.75f)));
    parts.push_back(MakePart("MINI", disc, kTriangleList, Tint(0.70f, 0.45f, 0.25f)));
    parts.push_back(MakePart("MINI", ring, kTriangleList, Tint(0.40f, 0.70f, 0.45f)));
    parts.push_back(MakePart("MINI", star, kTriangleList, Tint(0.75f, 0.55f, 0.85f)));
    parts.push_back(MakePart("QUAD", quad, kTriangleList, Tint(1, 1, 1)));
    // The sun disc and its glow: the shared quad, warm white.
    parts.push_back(MakePart("MINI", quad, kTriangleList, Tint(1.0f, 0.88f, 0.65f)));
    parts.push_back(MakePart("EMBER", ember, kTriangleList, Tint(1, 1, 1)));
    parts.push_back(MakePart("DRIFT", wings, kTriangleList, Tint(0.3f, 1.0f, 0.3f)));
    // Sparks bring their own colour; this one is the water ripple's.
    parts.push_back(MakePart("SPARK", spark, kTriangleList, Tint(0.55f, 0.70f, 0.80f)));
    parts.push_back(MakePart("RAIN", rain, kLineList, Tint(0.50f, 0.55f, 0.65f)));
    return MakeSet("USER", std::move(vertices), std::move(parts));
}
