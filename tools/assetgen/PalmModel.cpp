// "PALM": a jointed palm. Group 0 is the root flare, groups 1 to 3 the trunk, and groups 4 to
// 28 five fronds of five segments. Every group is modelled around its own joint: the trunk
// grows along +y from its joint, a frond segment along +z, and each group's offset puts its
// joint at the tip of the group before it in its chain. The animation then bends the trunk a
// few degrees per segment about z, turns the frond bases 72 degrees apart about y and tilts
// them up 40 degrees about x, and curls each frond segment 10 degrees more than the last, so
// the fronds start rising from the crown and arch over towards the ground.
#include <array>
#include <cmath>

#include "tools/assetgen/ContentBuilders.h"
#include "tools/assetgen/MeshMath.h"

namespace {

constexpr int kTrunkSegments = 3;
constexpr int kFronds = 5;
constexpr int kFrondSegments = 5;
constexpr int kFirstFrondGroup = 1 + kTrunkSegments;
constexpr int kGroupCount = kFirstFrondGroup + kFronds * kFrondSegments;
// The crown group: fronds restart from its matrix after each separator.
constexpr int kCrownGroup = kTrunkSegments;

constexpr int kTrunkSides = 6;
constexpr float kRootDepth = 0.3f;  // below the ground, so slopes never show a gap
constexpr float kRootRadius = 0.36f;
constexpr float kRootWaist = 0.26f;
constexpr float kRootHeight = 0.5f;
constexpr float kTrunkSegmentLength = 1.0f;
// Segments reach a little into the next, hiding the seam when the joint bends.
constexpr float kTrunkOverlap = 0.06f;
constexpr std::array<float, kTrunkSegments + 1> kTrunkRadius{0.18f, 0.155f, 0.135f, 0.115f};
constexpr float kCoconutSize = 0.09f;
constexpr float kCoconutSpread = 0.15f;

constexpr float kFrondSegmentLength = 0.6f;
// Half-widths of a frond at its joints, base to tip; leaflets jut out between them.
constexpr std::array<float, kFrondSegments + 1> kFrondHalfWidth{0.06f, 0.30f, 0.42f,
                                                                0.36f, 0.22f, 0.0f};
constexpr float kLeafletJut = 1.25f;
// Leaflets hang below the midrib by this fraction of their reach.
constexpr float kLeafletDroop = 0.5f;

const uint32_t kRootColour = PackColour(0.30f, 0.22f, 0.15f);
const uint32_t kBarkDark = PackColour(0.36f, 0.26f, 0.16f);
const uint32_t kBarkLight = PackColour(0.52f, 0.40f, 0.26f);
const uint32_t kCoconutColour = PackColour(0.33f, 0.36f, 0.14f);
// Greens lean blue: the evening sun's orange light turns them yellow.
const uint32_t kRibColour = PackColour(0.40f, 0.52f, 0.22f);
const uint32_t kLeafColour = PackColour(0.14f, 0.42f, 0.22f);
const uint32_t kLeafTipColour = PackColour(0.40f, 0.48f, 0.20f);
const uint32_t kLeafUnderside = PackColour(0.28f, 0.44f, 0.26f);

// A ring of trunk vertices at height y, texture u around and v up the tree.
void Ring(PartBuilder& part, float y, float radius, uint32_t colour, float v) {
    for (int k = 0; k < kTrunkSides; ++k) {
        const float a = 2 * kPi * k / kTrunkSides;
        const D3DVECTOR out{std::cos(a), 0, std::sin(a)};
        part.Add(MakeVertex({out.x * radius, y, out.z * radius}, out, colour,
                            static_cast<float>(k) / kTrunkSides, v));
    }
}

// Wall between two rings whose first vertices are at `lower` and `upper` (part indices).
void Wall(PartBuilder& part, int lower, int upper) {
    for (int k = 0; k < kTrunkSides; ++k) {
        const int k1 = (k + 1) % kTrunkSides;
        const float a = 2 * kPi * (k + 0.5f) / kTrunkSides;
        const D3DVECTOR out{std::cos(a), 0, std::sin(a)};
        part.Triangle(lower + k, lower + k1, upper + k1, out);
        part.Triangle(lower + k, upper + k1, upper + k, out);
    }
}

void Coconut(PartBuilder& part, D3DVECTOR centre) {
    const std::array<D3DVECTOR, 6> axes{
        {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}}};
    const int first = part.Count();
    for (const D3DVECTOR& a : axes) {
        part.Add(MakeVertex(centre + a * kCoconutSize, a, kCoconutColour, 0.5f, 0.5f));
    }
    for (int x : {0, 1}) {
        for (int y : {2, 3}) {
            for (int z : {4, 5}) {
                const D3DVECTOR out = axes[x] + axes[y] + axes[z];
                part.Triangle(first + x, first + y, first + z, out);
            }
        }
    }
}

// One frond segment, joint at the origin, reaching along +z; both faces drawn, each with its
// own normals so the underside is lit as an underside.
void FrondSegment(PartBuilder& part, int segment) {
    const float w0 = kFrondHalfWidth[segment], w1 = kFrondHalfWidth[segment + 1];
    const float wm = kLeafletJut * std::max(w0, w1);
    const float length = kFrondSegmentLength;
    const bool tip = segment == kFrondSegments - 1;
    for (int side : {1, -1}) {  // top, then underside
        const D3DVECTOR up{0, static_cast<float>(side), 0};
        const uint32_t edge = side < 0 ? kLeafUnderside : (tip ? kLeafTipColour : kLeafColour);
        const uint32_t rib = side < 0 ? kLeafUnderside : kRibColour;
        auto leaf = [&](float x, float z, float droop) {
            // Leaflets slope away from the rib, so their normals lean outwards.
            const D3DVECTOR normal =
                Normalized({x > 0 ? kLeafletDroop : (x < 0 ? -kLeafletDroop : 0), 1, 0}) *
                static_cast<float>(side);
            return MakeVertex({x, -droop, z}, normal, x == 0 ? rib : edge, 0.5f + x, z);
        };
        const int r0 = part.Add(leaf(0, 0, 0));
        const int r1 = part.Add(leaf(0, length, 0));
        // Joint corners lie on the joint's x axis, which the curl turns about, so neighbouring
        // segments stay joined at any angle.
        const int l0 = part.Add(leaf(-w0, 0, 0));
        const int lm = part.Add(leaf(-wm, length / 2, kLeafletDroop * wm));
        const int l1 = part.Add(leaf(-w1, length, 0));
        const int q0 = part.Add(leaf(w0, 0, 0));
        const int qm = part.Add(leaf(wm, length / 2, kLeafletDroop * wm));
        const int q1 = part.Add(leaf(w1, length, 0));
        for (const auto& [a, b, c] : std::array<std::array<int, 3>, 6>{{{r0, l0, lm},
                                                                        {r0, lm, r1},
                                                                        {r1, lm, l1},
                                                                        {r0, qm, q0},
                                                                        {r0, r1, qm},
                                                                        {r1, q1, qm}}}) {
            part.Triangle(a, b, c, up);
        }
    }
}

ModelVertex ToModelVertex(const D3DVERTEX& v) {
    ModelVertex m;
    m.X = v.x;
    m.Y = v.y;
    m.Z = v.z;
    m.NX = v.nx;
    m.NY = v.ny;
    m.NZ = v.nz;
    m.Color = v.color;
    m.TU = v.tu;
    m.TV = v.tv;
    return m;
}

}  // namespace

ModelData BuildPalmModel() {
    std::vector<D3DVERTEX> vertices;
    PartBuilder mesh(vertices);
    ModelData palm;
    auto group = [&](int first, D3DVECTOR offset) {
        ModelGroup g;
        g.GroupOffset = offset;
        g.FirstVertex = first;
        g.GroupVertexCount = mesh.Count() - first;
        g.Joint = static_cast<uint8_t>(palm.Groups.size());
        g.Weight = 1.0f;
        palm.Groups.push_back(g);
    };

    // Group 0: the root flare, standing on the object's origin.
    int first = mesh.Count();
    Ring(mesh, -kRootDepth, kRootRadius, kRootColour, 0);
    Ring(mesh, kRootHeight * 0.3f, kRootWaist, kRootColour, 0.5f);
    Ring(mesh, kRootHeight + kTrunkOverlap, kTrunkRadius[0], kBarkDark, 1);
    Wall(mesh, first, first + kTrunkSides);
    Wall(mesh, first + kTrunkSides, first + 2 * kTrunkSides);
    group(first, {0, 0, 0});

    // Groups 1 to 3: trunk segments, each joined on top of the one below.
    for (int s = 0; s < kTrunkSegments; ++s) {
        first = mesh.Count();
        Ring(mesh, 0, kTrunkRadius[s], kBarkDark, 0);
        Ring(mesh, kTrunkSegmentLength + kTrunkOverlap, kTrunkRadius[s + 1], kBarkLight, 1);
        Wall(mesh, first, first + kTrunkSides);
        if (s + 1 == kCrownGroup) {
            for (int c = 0; c < 3; ++c) {
                const float a = 2 * kPi * c / 3 + 0.4f;
                Coconut(mesh, {kCoconutSpread * std::cos(a), kTrunkSegmentLength - 0.08f,
                               kCoconutSpread * std::sin(a)});
            }
        }
        group(first, {0, s == 0 ? kRootHeight : kTrunkSegmentLength, 0});
    }

    // Groups 4 to 28: fronds, each chain starting at the crown's top.
    for (int f = 0; f < kFronds; ++f) {
        for (int s = 0; s < kFrondSegments; ++s) {
            first = mesh.Count();
            FrondSegment(mesh, s);
            group(first, s == 0 ? D3DVECTOR{0, kTrunkSegmentLength, 0}
                                : D3DVECTOR{0, 0, kFrondSegmentLength});
        }
    }

    // Root, trunk and first frond form one chain; every other frond chain restarts from the
    // crown, whose matrix is already composed, so listing it again restores it.
    for (int g = 0; g < kFirstFrondGroup + kFrondSegments; ++g) {
        palm.GroupList.push_back(static_cast<int16_t>(g));
    }
    for (int f = 1; f < kFronds; ++f) {
        palm.GroupList.push_back(-1);
        palm.GroupList.push_back(kCrownGroup);
        for (int s = 0; s < kFrondSegments; ++s) {
            palm.GroupList.push_back(
                static_cast<int16_t>(kFirstFrondGroup + f * kFrondSegments + s));
        }
    }

    for (const D3DVERTEX& v : vertices) palm.Vertices.push_back(ToModelVertex(v));
    palm.Indices = mesh.indices;
    palm.GroupCount = static_cast<int16_t>(palm.Groups.size());
    palm.VertexCount = static_cast<int32_t>(palm.Vertices.size());
    palm.IndexCount = static_cast<int32_t>(palm.Indices.size());
    palm.GroupListCount = static_cast<int16_t>(palm.GroupList.size());
    palm.Name = "PALM";
    static_assert(kGroupCount == 29);
    return palm;
}
