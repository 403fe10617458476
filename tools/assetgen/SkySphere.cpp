// "SPHEROU": a unit sphere. The sky draws part 1 from inside, blown up to 5000 units around
// the camera and blended over the water as ONE + INVSRCCOLOR, so texture black leaves the
// picture untouched: the upper half maps the sky band of "SKY", the lower half its black rows.
#include <array>
#include <cmath>

#include "tools/assetgen/ContentBuilders.h"
#include "tools/assetgen/MeshMath.h"
#include "tools/assetgen/SceneLayout.h"
#include "tools/assetgen/SkyLayout.h"

namespace {

constexpr int kSegments = 24;  // around
constexpr int kBands = 12;     // pole to pole, 15 degrees each

}  // namespace

float SkyTextureV(float elevationDegrees) {
    if (elevationDegrees < 0) return kSkyBelowHorizonV;
    return (90.0f - elevationDegrees) / 90.0f * kSkyHorizonV;
}

GeometrySet BuildSkySphere() {
    std::vector<D3DVERTEX> vertices;
    PartBuilder sphere(vertices);
    for (int band = 0; band <= kBands; ++band) {
        const float elevation = 90.0f - 180.0f * band / kBands;
        const float e = elevation * kPi / 180.0f;
        for (int k = 0; k <= kSegments; ++k) {
            // At the poles every segment gets its own vertex, placed mid-segment in u.
            const bool pole = band == 0 || band == kBands;
            const float around = (k + (pole ? 0.5f : 0.0f)) / kSegments;
            const float a = 2 * kPi * around;
            const D3DVECTOR p{std::cos(e) * std::sin(a), std::sin(e), std::cos(e) * std::cos(a)};
            sphere.Add(
                MakeVertex(p, p, 0xFFFFFFFF, around * kSkyRepeatsAround, SkyTextureV(elevation)));
        }
    }
    auto index = [](int band, int k) { return band * (kSegments + 1) + k; };
    std::vector<int16_t> outside, inside;
    for (int band = 0; band < kBands; ++band) {
        for (int k = 0; k < kSegments; ++k) {
            const int a = index(band, k), b = index(band, k + 1);
            const int c = index(band + 1, k), d = index(band + 1, k + 1);
            std::vector<std::array<int, 3>> triangles;
            if (band == 0) {
                triangles.push_back({a, d, c});  // the top ring is the pole
            } else if (band + 1 == kBands) {
                triangles.push_back({a, b, c});  // the bottom ring is the pole
            } else {
                triangles.push_back({a, b, d});
                triangles.push_back({a, d, c});
            }
            for (const auto& t : triangles) {
                const D3DVERTEX& v = sphere.At(t[0]);
                const D3DVECTOR out{v.x, v.y, v.z};
                sphere.indices.clear();
                sphere.Triangle(t[0], t[1], t[2], out);
                outside.insert(outside.end(), sphere.indices.begin(), sphere.indices.end());
                sphere.indices.clear();
                sphere.Triangle(t[0], t[1], t[2], out * -1.0f);
                inside.insert(inside.end(), sphere.indices.begin(), sphere.indices.end());
            }
        }
    }
    std::vector<GeometryPart> parts;
    parts.push_back(MakePart("SPHERE", sphere.first, sphere.Count(), outside, kTriangleList,
                             {AmbientFor(0.6f, 0.6f, 0.6f), {0.6f, 0.6f, 0.6f, 1}}));
    // The sky shows its texture as painted: no sun shading on a dome thousands of units away.
    parts.push_back(MakePart("SKY", sphere.first, sphere.Count(), inside, kTriangleList,
                             {AmbientFor(1, 1, 1), {0, 0, 0, 1}}));
    return MakeSet("SPHEROU", std::move(vertices), std::move(parts));
}
