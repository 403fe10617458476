// "COMMON": a quad that exactly fills the screen one unit in front of the eye. Overlays draw it
// at (0, 0, 1) with the view reset, the blur draws vertices 4 to 7 as a fan, and text items
// take the set's first part for their states.
#include "tools/assetgen/ContentBuilders.h"
#include "tools/assetgen/MeshMath.h"
#include "tools/assetgen/SceneLayout.h"

namespace {

// The blur and screenshot captures fill the top three quarters of their square textures.
constexpr float kCaptureHeightFraction = 0.75f;
constexpr uint32_t kWhite = 0xFFFFFFFF;
const D3DVECTOR kTowardsViewer{0, 0, -1};

}  // namespace

GeometrySet BuildCommonSet() {
    std::vector<D3DVERTEX> vertices;

    // Vertices 0 to 3: a unit square facing the viewer, for anything that wants a plain sprite.
    PartBuilder square(vertices);
    const float h = 0.5f;
    square.Add(MakeVertex({-h, h, 0}, kTowardsViewer, kWhite, 0, 0));
    square.Add(MakeVertex({h, h, 0}, kTowardsViewer, kWhite, 1, 0));
    square.Add(MakeVertex({h, -h, 0}, kTowardsViewer, kWhite, 1, 1));
    square.Add(MakeVertex({-h, -h, 0}, kTowardsViewer, kWhite, 0, 1));

    // Vertices 4 to 7: the screen quad, clockwise from the top left so the fan is drawn.
    PartBuilder screen(vertices);
    const float x = 1.0f / kProjectionScaleX, y = 1.0f / kProjectionScaleY;
    const float v = kCaptureHeightFraction;
    screen.Add(MakeVertex({-x, y, 0}, kTowardsViewer, kWhite, 0, 0));
    screen.Add(MakeVertex({x, y, 0}, kTowardsViewer, kWhite, 1, 0));
    screen.Add(MakeVertex({x, -y, 0}, kTowardsViewer, kWhite, 1, v));
    screen.Add(MakeVertex({-x, -y, 0}, kTowardsViewer, kWhite, 0, v));

    // Overlays take their colour and alpha from the material: white under the scene's ambient
    // light, fully opaque so a fade reaches black.
    const PartColours white{AmbientFor(1, 1, 1), {1, 1, 1, 1}};
    std::vector<GeometryPart> parts;
    parts.push_back(MakePart("COMMON", screen.first, 4, {0, 1, 2, 3}, kTriangleFan, white));
    parts.push_back(MakePart("SQUARE", square.first, 4, {0, 1, 2, 3}, kTriangleFan, white));
    return MakeSet("COMMON", std::move(vertices), std::move(parts));
}
