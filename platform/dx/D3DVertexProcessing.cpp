// Vertex processing: vertex formats, the world-view-projection transform, Direct3D's lighting
// equations in camera space, vertex fog and the mapping to the viewport.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/dx/D3DPipeline.h"
#include "platform/dx/DxError.h"
#include "platform/dx/DxErrorCodes.h"

namespace d3d {

namespace {

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r;
    for (int i = 1; i <= 4; ++i) {
        for (int j = 1; j <= 4; ++j) {
            float sum = 0;
            for (int k = 1; k <= 4; ++k) sum += a.at(i, k) * b.at(k, j);
            r.at(i, j) = sum;
        }
    }
    return r;
}

float ReadFloat(const std::byte* p) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
}
uint32_t ReadU32(const std::byte* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
void WriteFloat(std::byte* p, float f) {
    std::memcpy(p, &f, 4);
}
void WriteU32(std::byte* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

Rgba FromColorValue(const D3DCOLORVALUE& c) {
    return {c.r, c.g, c.b, c.a};
}
Rgba FromPacked(uint32_t c) {
    return {static_cast<float>((c >> 16) & 0xFF) / 255.0f,
            static_cast<float>((c >> 8) & 0xFF) / 255.0f, static_cast<float>(c & 0xFF) / 255.0f,
            static_cast<float>(c >> 24) / 255.0f};
}
inline uint32_t Quantise(float x) {
    const float c = std::clamp(x, 0.0f, 1.0f);  // NaN stays NaN and is caught below
    return c >= 0.0f ? static_cast<uint32_t>(c * 255.0f + 0.5f) : 0u;
}
[[gnu::always_inline]] inline uint32_t Pack(float r, float g, float b, float a) {
    return Quantise(a) << 24 | Quantise(r) << 16 | Quantise(g) << 8 | Quantise(b);
}

void Normalise(float v[3]) {
    const float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len > 0) {
        v[0] /= len;
        v[1] /= len;
        v[2] /= len;
    }
}
float Dot(const float a[3], const float b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Normals go through the inverse transpose of the world-view matrix's 3×3 part, which keeps
// them perpendicular to surfaces under any scaling. A singular matrix keeps the cofactors.
void MakeNormalMatrix(const D3DMATRIX& m, float normalMatrix[3][3]) {
    const float a[3][3] = {
        {m.rc11, m.rc12, m.rc13}, {m.rc21, m.rc22, m.rc23}, {m.rc31, m.rc32, m.rc33}};
    float cof[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            cof[i][j] = a[i1][j1] * a[i2][j2] - a[i1][j2] * a[i2][j1];
        }
    }
    const float det = a[0][0] * cof[0][0] + a[0][1] * cof[0][1] + a[0][2] * cof[0][2];
    const float inv = std::fabs(det) > 1e-30f ? 1.0f / det : 1.0f;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) normalMatrix[i][j] = cof[i][j] * inv;
}

// Bit for bit, so that the products made from equal matrices are the ones made before.
bool SameMatrix(const D3DMATRIX& a, const D3DMATRIX& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Lights are compared by their bytes, which hold nothing but their fields.
static_assert(sizeof(D3DLIGHT7) == 4 + 3 * sizeof(D3DCOLORVALUE) + 2 * sizeof(D3DVECTOR) + 7 * 4);
bool SameLights(const std::vector<LightSlot>& a, const std::vector<LightSlot>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].set != b[i].set || a[i].enabled != b[i].enabled) return false;
        if (std::memcmp(&a[i].light, &b[i].light, sizeof a[i].light) != 0) return false;
    }
    return true;
}

}  // namespace

FvfLayout ParseFvf(int32_t fvf) {
    FvfLayout l;
    l.fvf = fvf;
    const uint32_t bits = static_cast<uint32_t>(fvf);
    const uint32_t position = bits & D3DFVF_POSITION_MASK;
    if ((bits & 0x1u) != 0 || (bits & D3DFVF_RESERVED2) != 0) {
        throw DxError(D3DERR_INVALIDVERTEXFORMAT, "vertex format with reserved bits");
    }
    if (position == D3DFVF_XYZ) {
        l.stride = 12;
    } else if (position == D3DFVF_XYZRHW) {
        l.stride = 16;
        l.transformed = true;
    } else {
        throw DxError(D3DERR_INVALIDVERTEXFORMAT, "vertex format without a plain position");
    }
    if ((bits & D3DFVF_NORMAL) != 0) {
        if (l.transformed) {
            throw DxError(D3DERR_INVALIDVERTEXFORMAT, "transformed vertices carry no normal");
        }
        l.normal = l.stride;
        l.stride += 12;
    }
    if ((bits & D3DFVF_RESERVED1) != 0) l.stride += 4;
    if ((bits & D3DFVF_DIFFUSE) != 0) {
        l.diffuse = l.stride;
        l.stride += 4;
    }
    if ((bits & D3DFVF_SPECULAR) != 0) {
        l.specular = l.stride;
        l.stride += 4;
    }
    l.texSets = static_cast<int32_t>((bits & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (l.texSets > 8) throw DxError(D3DERR_INVALIDVERTEXFORMAT, "more than 8 texture sets");
    for (int set = 0; set < l.texSets; ++set) {
        static constexpr int kSizes[4] = {2, 3, 4, 1};
        const int size = kSizes[(bits >> (16 + 2 * set)) & 3u];
        if (set == 0) {
            l.tex0 = l.stride;
            l.tex0Size = size;
        }
        l.stride += 4 * size;
    }
    return l;
}

D3DVIEWPORT7 ScaledViewport(const D3DVIEWPORT7& vp, int32_t pixelScale) {
    D3DVIEWPORT7 out = vp;
    out.lX *= pixelScale;
    out.lY *= pixelScale;
    out.lWidth *= pixelScale;
    out.lHeight *= pixelScale;
    return out;
}

ScreenMap MakeScreenMap(const D3DVIEWPORT7& viewport, int32_t pixelScale) {
    const D3DVIEWPORT7 vp = ScaledViewport(viewport, pixelScale);
    const float centre = static_cast<float>(pixelScale - 1) * 0.5f;
    ScreenMap m;
    m.scaleX = static_cast<float>(vp.lWidth) * 0.5f;
    m.offsetX = static_cast<float>(vp.lX) + m.scaleX + centre;
    m.scaleY = -static_cast<float>(vp.lHeight) * 0.5f;
    m.offsetY = static_cast<float>(vp.lY) - m.scaleY + centre;
    m.scaleZ = vp.maxz - vp.minz;
    m.offsetZ = vp.minz;
    return m;
}

uint32_t ClipCode(float x, float y, float z, float w) {
    const float g = kGuardBand * w;
    uint32_t code = 0;
    // Written so that NaN lands outside every plane.
    if (!(x >= -g)) code |= kClipLeft;
    if (!(x <= g)) code |= kClipRight;
    if (!(y >= -g)) code |= kClipBottom;
    if (!(y <= g)) code |= kClipTop;
    if (!(z >= 0)) code |= kClipNear;
    if (!(z <= w)) code |= kClipFar;
    if (!(w >= kMinW)) code |= kClipW;
    return code;
}

void ProjectToScreen(const ScreenMap& m, ProcessedVertex& v) {
    v.rhw = 1.0f / v.cw;
    v.sx = v.cx * v.rhw * m.scaleX + m.offsetX;
    v.sy = v.cy * v.rhw * m.scaleY + m.offsetY;
    v.sz = v.cz * v.rhw * m.scaleZ + m.offsetZ;
}

void PrepareVertexPipeline(const DeviceState& s, bool light, VertexPipeline& p,
                           int32_t pixelScale) {
    const bool sameWorldView = p.matricesMade && SameMatrix(p.madeFromWorld, s.world) &&
                               SameMatrix(p.madeFromView, s.view);
    if (!sameWorldView || !SameMatrix(p.madeFromProjection, s.projection)) {
        if (!sameWorldView) {
            p.worldView = Multiply(s.world, s.view);
            MakeNormalMatrix(p.worldView, p.normalMatrix);
        }
        p.worldViewProjection = Multiply(p.worldView, s.projection);
        p.madeFromWorld = s.world;
        p.madeFromView = s.view;
        p.madeFromProjection = s.projection;
        p.matricesMade = true;
    }

    p.lighting = light;
    p.specular = s.on(D3DRENDERSTATE_SPECULARENABLE);
    p.normalize = s.on(D3DRENDERSTATE_NORMALIZENORMALS);
    p.localViewer = s.on(D3DRENDERSTATE_LOCALVIEWER);
    p.colorVertex = s.on(D3DRENDERSTATE_COLORVERTEX);
    p.diffuseSource = s.rs(D3DRENDERSTATE_DIFFUSEMATERIALSOURCE);
    p.specularSource = s.rs(D3DRENDERSTATE_SPECULARMATERIALSOURCE);
    p.ambientSource = s.rs(D3DRENDERSTATE_AMBIENTMATERIALSOURCE);
    p.emissiveSource = s.rs(D3DRENDERSTATE_EMISSIVEMATERIALSOURCE);
    const Rgba ambient = FromPacked(static_cast<uint32_t>(s.rs(D3DRENDERSTATE_AMBIENT)));
    p.globalAmbient[0] = ambient.r;
    p.globalAmbient[1] = ambient.g;
    p.globalAmbient[2] = ambient.b;
    p.material = s.material;

    if (!light) {
        p.lights.clear();
        p.lightsMade = false;
    } else if (!p.lightsMade || !SameMatrix(p.lightsMadeWithView, s.view) ||
               !SameLights(p.lightsMadeFrom, s.lights)) {
        p.lights.clear();
        p.lightsMadeFrom = s.lights;
        p.lightsMadeWithView = s.view;
        p.lightsMade = true;
        const D3DMATRIX& v = s.view;
        for (const LightSlot& slot : s.lights) {
            if (!slot.set || !slot.enabled) continue;
            const D3DLIGHT7& l = slot.light;
            PreparedLight q;
            q.type = l.dltType;
            q.diffuse[0] = l.diffuse.r, q.diffuse[1] = l.diffuse.g, q.diffuse[2] = l.diffuse.b;
            q.specular[0] = l.specular.r, q.specular[1] = l.specular.g;
            q.specular[2] = l.specular.b;
            q.ambient[0] = l.ambient.r, q.ambient[1] = l.ambient.g, q.ambient[2] = l.ambient.b;
            const D3DVECTOR& pos = l.position;
            q.position[0] = pos.x * v.rc11 + pos.y * v.rc21 + pos.z * v.rc31 + v.rc41;
            q.position[1] = pos.x * v.rc12 + pos.y * v.rc22 + pos.z * v.rc32 + v.rc42;
            q.position[2] = pos.x * v.rc13 + pos.y * v.rc23 + pos.z * v.rc33 + v.rc43;
            const D3DVECTOR& d = l.direction;
            q.direction[0] = d.x * v.rc11 + d.y * v.rc21 + d.z * v.rc31;
            q.direction[1] = d.x * v.rc12 + d.y * v.rc22 + d.z * v.rc32;
            q.direction[2] = d.x * v.rc13 + d.y * v.rc23 + d.z * v.rc33;
            Normalise(q.direction);
            q.range = l.range;
            q.att0 = l.attenuation0, q.att1 = l.attenuation1, q.att2 = l.attenuation2;
            q.cosHalfTheta = std::cos(l.theta * 0.5f);
            q.cosHalfPhi = std::cos(l.phi * 0.5f);
            q.falloff = l.falloff;
            p.lights.push_back(q);
        }
    }

    // Table fog is approximated per vertex from the depth in camera space.
    const int32_t table = s.rs(D3DRENDERSTATE_FOGTABLEMODE);
    p.fogMode = table != D3DFOG_NONE ? table : s.rs(D3DRENDERSTATE_FOGVERTEXMODE);
    p.rangeFog = table == D3DFOG_NONE && s.on(D3DRENDERSTATE_RANGEFOGENABLE);
    p.fogStart = s.rsFloat(D3DRENDERSTATE_FOGSTART);
    p.fogEnd = s.rsFloat(D3DRENDERSTATE_FOGEND);
    p.fogDensity = s.rsFloat(D3DRENDERSTATE_FOGDENSITY);
    p.screen = MakeScreenMap(s.viewport, pixelScale);
}

namespace {

// Four floats operated on lane by lane: each lane is the very IEEE operation the scalar code
// would do, in the same order, so the results keep their bits.
typedef float Lanes __attribute__((vector_size(16)));

Lanes Row(const D3DMATRIX& m, int row) {
    const float* r = &m.rc11 + 4 * row;
    return Lanes{r[0], r[1], r[2], r[3]};
}

// Where a lighting input's colour comes from, the same for every vertex of a draw.
enum class ColourFrom { kMaterial, kDiffuse, kSpecular };

ColourFrom SourceOf(int32_t source, bool colorVertex, bool hasDiffuse, bool hasSpecular) {
    if (colorVertex && source == D3DMCS_COLOR1 && hasDiffuse) return ColourFrom::kDiffuse;
    if (colorVertex && source == D3DMCS_COLOR2 && hasSpecular) return ColourFrom::kSpecular;
    return ColourFrom::kMaterial;
}

}  // namespace

void ProcessUntransformed(const VertexPipeline& p, const FvfLayout& l, const std::byte* vertices,
                          int32_t count, ProcessedVertex* out) {
    // Everything that is the same for the whole draw is read once: the stores below could
    // otherwise alias the pipeline's floats and force them to be read again per vertex.
    const Lanes t0 = Row(p.worldViewProjection, 0), t1 = Row(p.worldViewProjection, 1),
                t2 = Row(p.worldViewProjection, 2), t3 = Row(p.worldViewProjection, 3);
    const Lanes w0 = Row(p.worldView, 0), w1 = Row(p.worldView, 1), w2 = Row(p.worldView, 2),
                w3 = Row(p.worldView, 3);
    const Lanes n0{p.normalMatrix[0][0], p.normalMatrix[0][1], p.normalMatrix[0][2], 0};
    const Lanes n1{p.normalMatrix[1][0], p.normalMatrix[1][1], p.normalMatrix[1][2], 0};
    const Lanes n2{p.normalMatrix[2][0], p.normalMatrix[2][1], p.normalMatrix[2][2], 0};
    const Lanes screenScale{p.screen.scaleX, p.screen.scaleY, p.screen.scaleZ, 0};
    const Lanes screenOffset{p.screen.offsetX, p.screen.offsetY, p.screen.offsetZ, 0};
    const bool lighting = p.lighting, specularOn = p.specular, normalize = p.normalize;
    const bool needCamera = lighting || p.fogMode != D3DFOG_NONE;
    const bool hasDiffuse = l.diffuse >= 0, hasSpecular = l.specular >= 0;
    const bool hasNormal = l.normal >= 0, hasTex = l.tex0 >= 0, hasV = l.tex0Size >= 2;
    const size_t stride = static_cast<size_t>(l.stride);

    const D3DMATERIAL7& mat = p.material;
    const float power = mat.power;
    const ColourFrom fromD = SourceOf(p.diffuseSource, p.colorVertex, hasDiffuse, hasSpecular);
    const ColourFrom fromA = SourceOf(p.ambientSource, p.colorVertex, hasDiffuse, hasSpecular);
    const ColourFrom fromE = SourceOf(p.emissiveSource, p.colorVertex, hasDiffuse, hasSpecular);
    const ColourFrom fromS = SourceOf(p.specularSource, p.colorVertex, hasDiffuse, hasSpecular);
    auto uses = [&](ColourFrom f) {
        return fromD == f || fromA == f || fromE == f || (specularOn && fromS == f);
    };
    const bool usesDiffuse = lighting && uses(ColourFrom::kDiffuse);
    const bool usesSpecular = lighting && uses(ColourFrom::kSpecular);
    const Rgba matD = FromColorValue(mat.diffuse), matA = FromColorValue(mat.ambient),
               matE = FromColorValue(mat.emissive), matS = FromColorValue(mat.specular);
    const float ambient0 = p.globalAmbient[0], ambient1 = p.globalAmbient[1],
                ambient2 = p.globalAmbient[2];
    const bool eyeFromVertex = specularOn && p.localViewer;

    const int32_t fogMode = p.fogMode;
    const bool rangeFog = p.rangeFog;
    const float fogStart = p.fogStart, fogEnd = p.fogEnd, fogDensity = p.fogDensity;
    const float fogSpan = fogEnd - fogStart;

    // Vertices go through in groups, one stage at a time: each stage's loop is short enough
    // for the processor to overlap the divisions and roots of neighbouring vertices.
    constexpr int32_t kGroup = 64;
    float cameras[kGroup][3];
    for (int32_t first = 0; first < count; first += kGroup) {
        const int32_t group = std::min(kGroup, count - first);
        const std::byte* groupSource = vertices + static_cast<size_t>(first) * stride;
        ProcessedVertex* groupOut = out + first;

        // Position, clip code, screen position, texture coordinates; the camera position
        // for lighting and fog; the colours as given.
        for (int32_t i = 0; i < group; ++i) {
            const std::byte* src = groupSource + static_cast<size_t>(i) * stride;
            ProcessedVertex& o = groupOut[i];
            const float x = ReadFloat(src), y = ReadFloat(src + 4), z = ReadFloat(src + 8);
            const Lanes c = x * t0 + y * t1 + z * t2 + t3;
            std::memcpy(&o.cx, &c, sizeof c);
            o.clip = ClipCode(c[0], c[1], c[2], c[3]);
            if (o.clip == 0) {
                const float rhw = 1.0f / c[3];
                const Lanes s = c * rhw * screenScale + screenOffset;
                o.sx = s[0];
                o.sy = s[1];
                o.sz = s[2];
                o.rhw = rhw;
            } else {
                o.sx = o.sy = o.sz = o.rhw = 0;  // drawn only through clipping
            }
            if (needCamera) {
                const Lanes e = x * w0 + y * w1 + z * w2 + w3;
                cameras[i][0] = e[0];
                cameras[i][1] = e[1];
                cameras[i][2] = e[2];
            }
            o.diffuse = hasDiffuse ? ReadU32(src + l.diffuse) : 0xFFFFFFFFu;
            // Alpha is the fog factor, 255 (none) unless the vertex brings one.
            o.specular = hasSpecular ? ReadU32(src + l.specular) : 0xFF000000u;
            if (hasTex) {
                o.u = ReadFloat(src + l.tex0);
                o.v = hasV ? ReadFloat(src + l.tex0 + 4) : 0.0f;
            } else {
                o.u = o.v = 0;
            }
        }

        if (lighting) {
            for (int32_t i = 0; i < group; ++i) {
                const std::byte* src = groupSource + static_cast<size_t>(i) * stride;
                ProcessedVertex& o = groupOut[i];
                const float* camera = cameras[i];
                const uint32_t diffuse = o.diffuse;
                const uint32_t specular = hasSpecular ? o.specular : 0u;
                float n[3] = {};
                if (hasNormal) {
                    const float nx = ReadFloat(src + l.normal), ny = ReadFloat(src + l.normal + 4),
                                nz = ReadFloat(src + l.normal + 8);
                    const Lanes m = nx * n0 + ny * n1 + nz * n2;
                    n[0] = m[0];
                    n[1] = m[1];
                    n[2] = m[2];
                    if (normalize) Normalise(n);
                }
                Rgba vertexDiffuse, vertexSpecular;
                if (usesDiffuse) vertexDiffuse = FromPacked(diffuse);
                if (usesSpecular) vertexSpecular = FromPacked(specular);
                auto colour = [&](ColourFrom f, const Rgba& material) -> const Rgba& {
                    return f == ColourFrom::kDiffuse    ? vertexDiffuse
                           : f == ColourFrom::kSpecular ? vertexSpecular
                                                        : material;
                };
                const Rgba& cd = colour(fromD, matD);
                const Rgba& ca = colour(fromA, matA);
                const Rgba& ce = colour(fromE, matE);
                float amb[3] = {ambient0, ambient1, ambient2};
                float dif[3] = {}, spe[3] = {};
                float toEye[3] = {0, 0, 1};
                if (eyeFromVertex) {
                    toEye[0] = -camera[0], toEye[1] = -camera[1], toEye[2] = -camera[2];
                    Normalise(toEye);
                }
                for (const PreparedLight& q : p.lights) {
                    float toLight[3];
                    float atten = 1.0f, spot = 1.0f;
                    if (q.type == D3DLIGHT_DIRECTIONAL) {
                        toLight[0] = -q.direction[0], toLight[1] = -q.direction[1];
                        toLight[2] = -q.direction[2];
                    } else {
                        toLight[0] = q.position[0] - camera[0];
                        toLight[1] = q.position[1] - camera[1];
                        toLight[2] = q.position[2] - camera[2];
                        const float d = std::sqrt(Dot(toLight, toLight));
                        if (d > q.range) continue;
                        Normalise(toLight);
                        // A light at the vertex itself with no constant term would divide by zero.
                        atten = 1.0f / std::max(q.att0 + q.att1 * d + q.att2 * d * d, 1e-20f);
                        if (q.type == D3DLIGHT_SPOT) {
                            const float rho = -Dot(q.direction, toLight);
                            if (rho <= q.cosHalfPhi) {
                                spot = 0.0f;
                            } else if (rho <= q.cosHalfTheta) {
                                const float span = q.cosHalfTheta - q.cosHalfPhi;
                                spot = std::pow((rho - q.cosHalfPhi) / span, q.falloff);
                            }
                        }
                    }
                    const float k = atten * spot;
                    for (int ch = 0; ch < 3; ++ch) amb[ch] += k * q.ambient[ch];
                    const float nl = Dot(n, toLight);
                    if (nl > 0) {
                        for (int ch = 0; ch < 3; ++ch) dif[ch] += k * nl * q.diffuse[ch];
                        if (specularOn) {
                            float h[3] = {toEye[0] + toLight[0], toEye[1] + toLight[1],
                                          toEye[2] + toLight[2]};
                            Normalise(h);
                            const float nh = Dot(n, h);
                            if (nh > 0) {
                                const float sk = k * std::pow(nh, power);
                                for (int ch = 0; ch < 3; ++ch) spe[ch] += sk * q.specular[ch];
                            }
                        }
                    }
                }
                o.diffuse =
                    Pack(ce.r + ca.r * amb[0] + cd.r * dif[0], ce.g + ca.g * amb[1] + cd.g * dif[1],
                         ce.b + ca.b * amb[2] + cd.b * dif[2], cd.a);
                uint32_t outSpecular = 0;
                if (specularOn) {
                    const Rgba& cs = colour(fromS, matS);
                    outSpecular =
                        Pack(cs.r * spe[0], cs.g * spe[1], cs.b * spe[2], 0) & 0x00FFFFFFu;
                }
                o.specular = (o.specular & 0xFF000000u) | outSpecular;
            }
        }

        if (fogMode != D3DFOG_NONE) {
            for (int32_t i = 0; i < group; ++i) {
                ProcessedVertex& o = groupOut[i];
                const float* camera = cameras[i];
                const float d = rangeFog ? std::sqrt(Dot(camera, camera)) : camera[2];
                float f = 1.0f;
                switch (fogMode) {
                    case D3DFOG_LINEAR:
                        if (fogEnd != fogStart) {
                            f = (fogEnd - d) / fogSpan;
                        } else {
                            f = d < fogEnd ? 1.0f : 0.0f;
                        }
                        break;
                    case D3DFOG_EXP:
                        f = std::exp(-fogDensity * d);
                        break;
                    case D3DFOG_EXP2:
                        f = std::exp(-(fogDensity * d) * (fogDensity * d));
                        break;
                    default:
                        break;
                }
                o.specular = (o.specular & 0x00FFFFFFu) |
                             Quantise(std::isnan(f) ? 0.0f : std::clamp(f, 0.0f, 1.0f)) << 24;
            }
        }
    }
}

void ReadTransformed(const ScreenMap& m, const FvfLayout& l, const std::byte* vertices,
                     int32_t count, ProcessedVertex* out, int32_t pixelScale) {
    const float k = static_cast<float>(pixelScale);
    const float centre = static_cast<float>(pixelScale - 1) * 0.5f;
    for (int32_t i = 0; i < count; ++i) {
        const std::byte* src = vertices + static_cast<size_t>(i) * static_cast<size_t>(l.stride);
        ProcessedVertex& o = out[i];
        o.sx = ReadFloat(src);
        o.sy = ReadFloat(src + 4);
        if (pixelScale != 1) {
            o.sx = o.sx * k + centre;
            o.sy = o.sy * k + centre;
        }
        o.sz = ReadFloat(src + 8);
        o.rhw = ReadFloat(src + 12);
        // A vertex given with no usable rhw is drawn flat, as if w were 1.
        if (!(o.rhw > 0) || !std::isfinite(o.rhw)) o.rhw = 1.0f;
        o.cw = 1.0f / o.rhw;
        o.cx = (o.sx - m.offsetX) / m.scaleX * o.cw;
        o.cy = (o.sy - m.offsetY) / m.scaleY * o.cw;
        o.cz = m.scaleZ != 0 ? (o.sz - m.offsetZ) / m.scaleZ * o.cw : 0.0f;
        o.clip = ClipCode(o.cx, o.cy, o.cz, o.cw) & ~(kClipNear | kClipFar);
        o.diffuse = l.diffuse >= 0 ? ReadU32(src + l.diffuse) : 0xFFFFFFFFu;
        o.specular = l.specular >= 0 ? ReadU32(src + l.specular) : 0xFF000000u;
        if (l.tex0 >= 0) {
            o.u = ReadFloat(src + l.tex0);
            o.v = l.tex0Size >= 2 ? ReadFloat(src + l.tex0 + 4) : 0.0f;
        } else {
            o.u = o.v = 0;
        }
    }
}

void WriteTransformed(const FvfLayout& l, const ProcessedVertex* vertices, int32_t count,
                      std::byte* out) {
    for (int32_t i = 0; i < count; ++i) {
        std::byte* dst = out + static_cast<size_t>(i) * static_cast<size_t>(l.stride);
        const ProcessedVertex& v = vertices[i];
        WriteFloat(dst, v.sx);
        WriteFloat(dst + 4, v.sy);
        WriteFloat(dst + 8, v.sz);
        WriteFloat(dst + 12, v.rhw);
        if (l.diffuse >= 0) WriteU32(dst + l.diffuse, v.diffuse);
        if (l.specular >= 0) WriteU32(dst + l.specular, v.specular);
        if (l.tex0 >= 0) {
            // The first set gets the source coordinates; any further set starts at zero.
            std::memset(dst + l.tex0, 0, static_cast<size_t>(l.stride - l.tex0));
            WriteFloat(dst + l.tex0, v.u);
            if (l.tex0Size >= 2) WriteFloat(dst + l.tex0 + 4, v.v);
        }
    }
}

}  // namespace d3d
