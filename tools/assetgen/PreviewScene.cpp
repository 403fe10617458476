#include "tools/assetgen/PreviewScene.h"

#include <cmath>
#include <string>

#include "tools/assetgen/PreviewRender.h"
#include "tools/assetgen/SceneLayout.h"
#include "tools/assetgen/SkyLayout.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
// The palm animation's phases at the moment shown (degrees).
constexpr float kTrunkPhase = 40.0f;
constexpr float kWaterPhase = 120.0f;
// Lights as the device sets them: the sun's diffuse colour and where it comes from.
const Rgb kSunDiffuse{4.0f, 2.2f, 0.75f};
const D3DVECTOR kTowardsSun = Normalized({-0.5f, -0.25f, 0.75f});
const Rgb kAmbient{kSceneAmbient.r, kSceneAmbient.g, kSceneAmbient.b};
// The first palm's own material replaces its vertex colours.
const Rgb kBurntPalm{0.5f, 0.3f, 0.2f};

struct Viewpoint {
    const char* file;
    D3DVECTOR eye;
    D3DVECTOR target;  // {} with yaw 55 and pitch 0 for the start view
};

PreviewCamera CameraFor(const Viewpoint& v) {
    const D3DVECTOR d = v.target - v.eye;
    const float k = 180.0f / kPi;
    return {v.eye, std::atan2(d.z, d.x) * k, std::atan2(d.y, std::hypot(d.x, d.z)) * k};
}

Rgb Lit(Rgb colour, D3DVECTOR normal, Rgb ambient, float diffuse) {
    const float n = std::max(0.0f, Dot(Normalized(normal), kTowardsSun)) * diffuse;
    const Rgb light = ambient + kSunDiffuse * n;
    return {std::min(1.0f, colour.r * light.r), std::min(1.0f, colour.g * light.g),
            std::min(1.0f, colour.b * light.b)};
}

Rgb Unpack(uint32_t c) {
    return FromHex(c & 0xFFFFFF);
}

void DrawLand(PreviewCanvas& canvas, const SceneContent& scene) {
    const GeometrySet& land = scene.land;
    const GeometryPart& part = land.Parts[0];
    std::vector<RenderVertex> vertices;
    for (const D3DVERTEX& v : land.Vertices) {
        const D3DVECTOR normal{v.nx / kLandScale.x, v.ny / kLandScale.y, v.nz / kLandScale.z};
        const Rgb ambient{part.AmbientColor.r * kAmbient.r, part.AmbientColor.g * kAmbient.g,
                          part.AmbientColor.b * kAmbient.b};
        vertices.push_back(
            {{v.x * kLandScale.x + kLandPosition.x, v.y * kLandScale.y + kLandPosition.y,
              v.z * kLandScale.z + kLandPosition.z},
             Lit({1, 1, 1}, normal, ambient, part.DiffuseColor.r),
             (v.x + 1) / 2,
             (v.z + 1) / 2});
    }
    for (size_t i = 0; i + 2 < part.Indices.size(); i += 3) {
        canvas.Triangle(vertices[part.Indices[i]], vertices[part.Indices[i + 1]],
                        vertices[part.Indices[i + 2]], &scene.landTexture);
    }
}

// The palm animation's angles for frame i of palm j, as the world update sets them.
std::vector<D3DVECTOR> PalmAngles(int palmIndex, float& frondAzimuth) {
    const float k = kPi / 180.0f;
    std::vector<D3DVECTOR> angles(29);
    float leaf = 0;
    for (int i = 1; i <= 28; ++i) {
        if (i <= 3) {
            const float a = (kTrunkPhase + 10 * i + 20 * palmIndex) * k;
            angles[i] = {2 * std::sin(a) + 2, 2 * std::sin(a), 2 * std::cos(a) + 5};
            if (palmIndex == 0) {
                angles[i].x -= 8;
                angles[i].z += 10;
            }
            continue;
        }
        float a = 10 * leaf + kWaterPhase + frondAzimuth / 72 * 20 + 20 * palmIndex;
        if (a > 360) a -= 360;
        if (a < 0) a += 360;
        a *= k;
        if ((i + 1) % 5 == 0) {
            angles[i].x = 4 * std::sin(a) - (palmIndex == 0 ? 0 : 40);
            angles[i].y = frondAzimuth + 4 * std::sin(a);
            leaf = 0;
            frondAzimuth += 72;
        } else {
            angles[i].x = 10 * leaf + 4 * std::sin(a);
            angles[i].y = 4 * std::sin(a);
        }
        leaf += 1;
        angles[i].z = 4 * std::cos(a) + 2;
    }
    return angles;
}

void DrawPalms(PreviewCanvas& canvas, const ModelData& palm) {
    float frondAzimuth = 0;
    for (int j = 0; j < static_cast<int>(kPalms.size()); ++j) {
        const PalmPlacement& place = kPalms[j];
        const std::vector<D3DVECTOR> angles = PalmAngles(j, frondAzimuth);
        const Matrix object = Scaling(place.scale) * EulerMatrix(place.position, place.rotation);
        std::vector<Matrix> frames(palm.Groups.size());
        std::vector<bool> composed(palm.Groups.size(), false);
        Matrix current = object;
        for (int e : palm.GroupList) {
            if (e < 0) {
                current = object;
            } else if (composed[e]) {
                current = frames[e];
            } else {
                current = EulerMatrix(palm.Groups[e].GroupOffset, angles[e]) * current;
                frames[e] = current;
                composed[e] = true;
            }
        }
        std::vector<RenderVertex> vertices(palm.Vertices.size());
        for (size_t g = 0; g < palm.Groups.size(); ++g) {
            const ModelGroup& group = palm.Groups[g];
            for (int i = group.FirstVertex; i < group.FirstVertex + group.GroupVertexCount; ++i) {
                const ModelVertex& v = palm.Vertices[i];
                const Rgb colour = j == 0 ? kBurntPalm : Unpack(v.Color);
                vertices[i] = {
                    TransformPoint({v.X, v.Y, v.Z}, frames[g]),
                    Lit(colour, TransformDirection({v.NX, v.NY, v.NZ}, frames[g]), kAmbient, 1), 0,
                    0};
            }
        }
        for (size_t i = 0; i + 2 < palm.Indices.size(); i += 3) {
            canvas.Triangle(vertices[palm.Indices[i]], vertices[palm.Indices[i + 1]],
                            vertices[palm.Indices[i + 2]], nullptr);
        }
    }
}

// Water tiles add their texture over whatever lies below, fading to nothing in the fog.
void DrawWater(PreviewCanvas& canvas, const Raster& sheet) {
    Raster cell(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) cell.At(x, y) = sheet.At(x, y);
    }
    const float repeat = kWaterTileStepX / 4;  // world units per texture repeat
    const D3DVECTOR eye = canvas.Camera().position;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const D3DVECTOR d = canvas.RayDirection(x + 0.5f, y + 0.5f);
            if (d.y >= 0 || eye.y <= 0) continue;
            const float t = -eye.y / d.y;
            if (t >= canvas.Distance(x, y)) continue;
            const D3DVECTOR hit = eye + d * t;
            const Rgb water = cell.SampleWrapped(hit.x / repeat * 64, hit.z / repeat * 64);
            canvas.Image().At(x, y) = canvas.Image().At(x, y) + water * (1 - FogAmount(t));
        }
    }
}

// The sun disc and its glow, where the sun's screen position puts them; behind everything.
void DrawSun(PreviewCanvas& canvas, const Raster& lens) {
    const PreviewCamera& cam = canvas.Camera();
    float yaw = std::fmod(cam.yawDegrees + 360, 360);
    const float sx = yaw / 360 * (3 * kWidth);
    const float sy = (cam.pitchDegrees + 25) / 360 * (3.33f * kWidth);
    if (sx <= 0 || sx >= kWidth || sy <= 0 || sy >= kHeight) return;
    const float strength = std::max(0.0f, 1 - (std::abs(sy - kHeight / 2.0f) / (kHeight / 2.0f) +
                                               std::abs(sx - kWidth / 2.0f) / (kWidth / 2.0f)));
    const Rgb tint{1.0f, 0.88f, 0.65f};
    auto sprite = [&](float radius, float alpha) {
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const float u = (x + 0.5f - sx) / radius, v = (y + 0.5f - sy) / radius;
                if (std::abs(u) >= 1 || std::abs(v) >= 1 || !std::isinf(canvas.Distance(x, y)))
                    continue;
                const Rgb c =
                    lens.SampleWrapped((u + 1) / 2 * lens.width, (v + 1) / 2 * lens.height);
                canvas.Image().At(x, y) = canvas.Image().At(x, y) + c * tint * alpha;
            }
        }
    };
    const float half = kWidth / 2.0f * kProjectionScaleX * 0.5f;  // a half-unit quad at unit scale
    sprite(half * 2000 / 5000, 1);
    sprite(half * 3 / 2.4f, 0.8f * strength);
}

// The sky dome, blended as ONE + INVSRCCOLOR wherever nothing opaque was drawn.
void DrawSky(PreviewCanvas& canvas, const Raster& sky) {
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            if (!std::isinf(canvas.Distance(x, y))) continue;
            const D3DVECTOR d = canvas.RayDirection(x + 0.5f, y + 0.5f);
            const float elevation = std::asin(d.y) * 180 / kPi;
            const float around = std::atan2(d.x, d.z) / (2 * kPi);
            const Rgb s = sky.SampleWrapped(around * kSkyRepeatsAround * sky.width,
                                            SkyTextureV(elevation) * sky.height);
            const Rgb dest = canvas.Image().At(x, y);
            canvas.Image().At(x, y) = s + dest * Rgb{1 - s.r, 1 - s.g, 1 - s.b};
        }
    }
}

}  // namespace

std::vector<Preview> RenderScenePreviews(const SceneContent& scene) {
    const Viewpoint views[] = {
        {"SCENE-start.png", kCameraStart, kCameraStart + D3DVECTOR{0.5736f, 0, 0.8192f}},
        {"SCENE-west.png", {-13, 6, 12}, {-28, 3.5f, 3}},
        {"SCENE-east.png", {11, 7, -6}, {24, 6, -21}},
        {"SCENE-palm.png", {2, 3.0f, 2}, {-4, 3.2f, 8}},
    };
    std::vector<Preview> out;
    for (const Viewpoint& v : views) {
        PreviewCanvas canvas(kWidth, kHeight, CameraFor(v), FogColour());
        DrawLand(canvas, scene);
        DrawPalms(canvas, scene.palm);
        DrawWater(canvas, scene.water[0]);
        DrawSun(canvas, scene.lens);
        DrawSky(canvas, scene.sky);
        out.push_back({v.file, canvas.Image()});
    }
    return out;
}
