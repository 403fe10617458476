// Vertex processing: vertex formats, the world-view-projection transform, Direct3D's lighting
// equations in camera space, vertex fog and the mapping to the viewport.
#include <algorithm>
#include <cmath>
#include <cstddef>
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
void Normalise(float v[3]) {
    const float len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len > 0) {
        v[0] /= len;
        v[1] /= len;
        v[2] /= len;
    }
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

// Four vertices side by side, one in each lane. Every lane does the very IEEE operations one
// vertex alone would, in the same order and with the same operands first, and the roots, powers
// and exponentials are the scalar ones lane by lane, so a vertex's results keep their bits
// whichever lane, batch or CPU computes them.
constexpr int32_t kLanes = 4;
typedef float F4 __attribute__((vector_size(16)));
typedef int32_t I4 __attribute__((vector_size(16)));
typedef uint32_t U4 __attribute__((vector_size(16)));

// Broadcast by value: adding to a zero vector would turn -0 into +0.
inline F4 Splat(float x) {
    return F4{x, x, x, x};
}
// Comparisons give all ones in the lanes where they hold.
inline F4 Select(I4 mask, F4 yes, F4 no) {
    return (F4)((mask & (I4)yes) | (~mask & (I4)no));
}
inline bool Any(I4 mask) {
    return (mask[0] | mask[1] | mask[2] | mask[3]) != 0;
}
// The root lane by lane: there is no portable vector one, and the scalar one is exact.
inline F4 Sqrt(F4 v) {
    return F4{std::sqrt(v[0]), std::sqrt(v[1]), std::sqrt(v[2]), std::sqrt(v[3])};
}

// Rows to columns: lane k of every vector becomes vector k.
inline void Transpose(F4 v[4]) {
    const F4 ab01 = __builtin_shufflevector(v[0], v[1], 0, 4, 1, 5);
    const F4 ab23 = __builtin_shufflevector(v[0], v[1], 2, 6, 3, 7);
    const F4 cd01 = __builtin_shufflevector(v[2], v[3], 0, 4, 1, 5);
    const F4 cd23 = __builtin_shufflevector(v[2], v[3], 2, 6, 3, 7);
    v[0] = __builtin_shufflevector(ab01, cd01, 0, 1, 4, 5);
    v[1] = __builtin_shufflevector(ab01, cd01, 2, 3, 6, 7);
    v[2] = __builtin_shufflevector(ab23, cd23, 0, 1, 4, 5);
    v[3] = __builtin_shufflevector(ab23, cd23, 2, 3, 6, 7);
}

struct Vec3 {
    F4 x, y, z;
};
inline F4 Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
// A vector of zero length (or NaN) stays as it is.
inline void Normalise(Vec3& v, F4 len) {
    const I4 some = len > 0;
    v.x = Select(some, v.x / len, v.x);
    v.y = Select(some, v.y / len, v.y);
    v.z = Select(some, v.z / len, v.z);
}
inline void Normalise(Vec3& v) {
    Normalise(v, Sqrt(Dot(v, v)));
}

struct Rgba4 {
    F4 r, g, b, a;
};
Rgba4 Splat(const Rgba& c) {
    return {Splat(c.r), Splat(c.g), Splat(c.b), Splat(c.a)};
}
inline F4 Channel(U4 c, int shift) {
    return __builtin_convertvector((I4)((c >> shift) & 0xFFu), F4) / 255.0f;
}
Rgba4 FromPacked(U4 c) {
    return {Channel(c, 16), Channel(c, 8), Channel(c, 0), Channel(c, 24)};
}
// A colour channel to 8 bits: clamped to [0, 1] as std::clamp would (NaN passes through it),
// then NaN to 0.
inline U4 Quantise(F4 x) {
    F4 c = Select(x < 0.0f, Splat(0.0f), x);
    c = Select(1.0f < c, Splat(1.0f), c);
    const F4 scaled = Select(c >= 0.0f, c * 255.0f + 0.5f, Splat(0.0f));
    return (U4) __builtin_convertvector(scaled, I4);
}
inline U4 Pack(F4 r, F4 g, F4 b, F4 a) {
    return Quantise(a) << 24 | Quantise(r) << 16 | Quantise(g) << 8 | Quantise(b);
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
    // The matrices' elements are kept broadcast to all lanes.
    F4 t[4][4], w[4][3], nm[3][3];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) t[r][c] = Splat((&p.worldViewProjection.rc11)[4 * r + c]);
        for (int c = 0; c < 3; ++c) w[r][c] = Splat((&p.worldView.rc11)[4 * r + c]);
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) nm[r][c] = Splat(p.normalMatrix[r][c]);
    }
    const float scaleX = p.screen.scaleX, scaleY = p.screen.scaleY, scaleZ = p.screen.scaleZ;
    const float offsetX = p.screen.offsetX, offsetY = p.screen.offsetY, offsetZ = p.screen.offsetZ;
    const bool lighting = p.lighting, specularOn = p.specular, normalize = p.normalize;
    const bool needCamera = lighting || p.fogMode != D3DFOG_NONE;
    const bool hasDiffuse = l.diffuse >= 0, hasSpecular = l.specular >= 0;
    const bool hasNormal = l.normal >= 0, hasTex = l.tex0 >= 0, hasV = l.tex0Size >= 2;
    const size_t stride = static_cast<size_t>(l.stride);
    const size_t normalAt = static_cast<size_t>(l.normal),
                 diffuseAt = static_cast<size_t>(l.diffuse),
                 specularAt = static_cast<size_t>(l.specular), texAt = static_cast<size_t>(l.tex0);

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
    const Rgba4 matD = Splat(FromColorValue(mat.diffuse)),
                matA = Splat(FromColorValue(mat.ambient)),
                matE = Splat(FromColorValue(mat.emissive)),
                matS = Splat(FromColorValue(mat.specular));
    const float ambient0 = p.globalAmbient[0], ambient1 = p.globalAmbient[1],
                ambient2 = p.globalAmbient[2];
    const bool eyeFromVertex = specularOn && p.localViewer;

    const int32_t fogMode = p.fogMode;
    const bool rangeFog = p.rangeFog;
    const float fogStart = p.fogStart, fogEnd = p.fogEnd, fogDensity = p.fogDensity;
    const float fogSpan = fogEnd - fogStart;

    for (int32_t first = 0; first < count; first += kLanes) {
        // The last group repeats its last vertex in the lanes past the end, so that every
        // vertex goes through the same operations wherever it stands.
        const int32_t valid = std::min(kLanes, count - first);
        const std::byte* src[kLanes];
        for (int32_t k = 0; k < kLanes; ++k) {
            src[k] = vertices + static_cast<size_t>(first + std::min(k, valid - 1)) * stride;
        }
        F4 x, y, z;
        U4 diffuse, specular;
        for (int32_t k = 0; k < kLanes; ++k) {
            x[k] = ReadFloat(src[k]);
            y[k] = ReadFloat(src[k] + 4);
            z[k] = ReadFloat(src[k] + 8);
            diffuse[k] = hasDiffuse ? ReadU32(src[k] + diffuseAt) : 0xFFFFFFFFu;
            // Alpha is the fog factor, 255 (none) unless the vertex brings one.
            specular[k] = hasSpecular ? ReadU32(src[k] + specularAt) : 0xFF000000u;
        }

        // Position, clip code and screen position.
        const F4 cx = x * t[0][0] + y * t[1][0] + z * t[2][0] + t[3][0];
        const F4 cy = x * t[0][1] + y * t[1][1] + z * t[2][1] + t[3][1];
        const F4 cz = x * t[0][2] + y * t[1][2] + z * t[2][2] + t[3][2];
        const F4 cw = x * t[0][3] + y * t[1][3] + z * t[2][3] + t[3][3];
        // ClipCode's tests, written so that NaN lands outside every plane.
        const F4 g = kGuardBand * cw;
        const U4 clip = ((U4) ~(cx >= -g) & static_cast<uint32_t>(kClipLeft)) |
                        ((U4) ~(cx <= g) & static_cast<uint32_t>(kClipRight)) |
                        ((U4) ~(cy >= -g) & static_cast<uint32_t>(kClipBottom)) |
                        ((U4) ~(cy <= g) & static_cast<uint32_t>(kClipTop)) |
                        ((U4) ~(cz >= 0.0f) & static_cast<uint32_t>(kClipNear)) |
                        ((U4) ~(cz <= cw) & static_cast<uint32_t>(kClipFar)) |
                        ((U4) ~(cw >= kMinW) & static_cast<uint32_t>(kClipW));
        // Vertices outside are drawn only through clipping and get no screen position.
        const I4 inside = (I4)(clip == 0u);
        const F4 rhw = 1.0f / cw;
        const F4 zero{};
        const F4 sx = Select(inside, cx * rhw * scaleX + offsetX, zero);
        const F4 sy = Select(inside, cy * rhw * scaleY + offsetY, zero);
        const F4 sz = Select(inside, cz * rhw * scaleZ + offsetZ, zero);
        const F4 rhwOut = Select(inside, rhw, zero);

        Vec3 camera{};
        if (needCamera) {
            camera.x = x * w[0][0] + y * w[1][0] + z * w[2][0] + w[3][0];
            camera.y = x * w[0][1] + y * w[1][1] + z * w[2][1] + w[3][1];
            camera.z = x * w[0][2] + y * w[1][2] + z * w[2][2] + w[3][2];
        }

        if (lighting) {
            Vec3 n{};
            if (hasNormal) {
                F4 nx, ny, nz;
                for (int32_t k = 0; k < kLanes; ++k) {
                    nx[k] = ReadFloat(src[k] + normalAt);
                    ny[k] = ReadFloat(src[k] + normalAt + 4);
                    nz[k] = ReadFloat(src[k] + normalAt + 8);
                }
                n.x = nx * nm[0][0] + ny * nm[1][0] + nz * nm[2][0];
                n.y = nx * nm[0][1] + ny * nm[1][1] + nz * nm[2][1];
                n.z = nx * nm[0][2] + ny * nm[1][2] + nz * nm[2][2];
                if (normalize) Normalise(n);
            }
            Rgba4 vertexDiffuse{}, vertexSpecular{};
            if (usesDiffuse) vertexDiffuse = FromPacked(diffuse);
            if (usesSpecular) vertexSpecular = FromPacked(hasSpecular ? specular : U4{});
            auto colour = [&](ColourFrom f, const Rgba4& material) -> const Rgba4& {
                return f == ColourFrom::kDiffuse    ? vertexDiffuse
                       : f == ColourFrom::kSpecular ? vertexSpecular
                                                    : material;
            };
            const Rgba4& cd = colour(fromD, matD);
            const Rgba4& ca = colour(fromA, matA);
            const Rgba4& ce = colour(fromE, matE);
            F4 amb[3] = {Splat(ambient0), Splat(ambient1), Splat(ambient2)};
            F4 dif[3] = {}, spe[3] = {};
            Vec3 toEye{zero, zero, Splat(1.0f)};
            if (eyeFromVertex) {
                toEye = {-camera.x, -camera.y, -camera.z};
                Normalise(toEye);
            }
            for (const PreparedLight& q : p.lights) {
                Vec3 toLight;
                F4 atten = Splat(1.0f), spot = Splat(1.0f);
                I4 on = ~I4{};  // lanes this light reaches
                if (q.type == D3DLIGHT_DIRECTIONAL) {
                    toLight = {Splat(-q.direction[0]), Splat(-q.direction[1]),
                               Splat(-q.direction[2])};
                } else {
                    toLight = {q.position[0] - camera.x, q.position[1] - camera.y,
                               q.position[2] - camera.z};
                    const F4 d = Sqrt(Dot(toLight, toLight));
                    on = ~(d > q.range);
                    if (!Any(on)) continue;
                    Normalise(toLight, d);  // d is the very length Normalise would take
                    // A light at the vertex itself with no constant term would divide by zero.
                    const F4 sum = q.att0 + q.att1 * d + q.att2 * d * d;
                    atten = 1.0f / Select(sum < 1e-20f, Splat(1e-20f), sum);
                    if (q.type == D3DLIGHT_SPOT) {
                        const Vec3 dir{Splat(q.direction[0]), Splat(q.direction[1]),
                                       Splat(q.direction[2])};
                        const F4 rho = -Dot(dir, toLight);
                        const float span = q.cosHalfTheta - q.cosHalfPhi;
                        for (int32_t k = 0; k < kLanes; ++k) {
                            if (!on[k]) continue;
                            if (rho[k] <= q.cosHalfPhi) {
                                spot[k] = 0.0f;
                            } else if (rho[k] <= q.cosHalfTheta) {
                                spot[k] = std::pow((rho[k] - q.cosHalfPhi) / span, q.falloff);
                            }
                        }
                    }
                }
                const F4 k = atten * spot;
                for (int ch = 0; ch < 3; ++ch) {
                    amb[ch] = Select(on, amb[ch] + k * q.ambient[ch], amb[ch]);
                }
                const F4 nl = Dot(n, toLight);
                const I4 lit = on & (nl > 0.0f);
                if (!Any(lit)) continue;
                for (int ch = 0; ch < 3; ++ch) {
                    dif[ch] = Select(lit, dif[ch] + k * nl * q.diffuse[ch], dif[ch]);
                }
                if (specularOn) {
                    Vec3 h{toEye.x + toLight.x, toEye.y + toLight.y, toEye.z + toLight.z};
                    Normalise(h);
                    const F4 nh = Dot(n, h);
                    const I4 shiny = lit & (nh > 0.0f);
                    if (!Any(shiny)) continue;
                    F4 powered{};
                    for (int32_t lane = 0; lane < kLanes; ++lane) {
                        if (shiny[lane]) powered[lane] = std::pow(nh[lane], power);
                    }
                    const F4 sk = k * powered;
                    for (int ch = 0; ch < 3; ++ch) {
                        spe[ch] = Select(shiny, spe[ch] + sk * q.specular[ch], spe[ch]);
                    }
                }
            }
            diffuse =
                Pack(ce.r + ca.r * amb[0] + cd.r * dif[0], ce.g + ca.g * amb[1] + cd.g * dif[1],
                     ce.b + ca.b * amb[2] + cd.b * dif[2], cd.a);
            U4 outSpecular{};
            if (specularOn) {
                const Rgba4& cs = colour(fromS, matS);
                outSpecular = Pack(cs.r * spe[0], cs.g * spe[1], cs.b * spe[2], zero) & 0x00FFFFFFu;
            }
            specular = (specular & 0xFF000000u) | outSpecular;
        }

        if (fogMode != D3DFOG_NONE) {
            const F4 d = rangeFog ? Sqrt(Dot(camera, camera)) : camera.z;
            F4 f = Splat(1.0f);
            switch (fogMode) {
                case D3DFOG_LINEAR:
                    if (fogEnd != fogStart) {
                        f = (fogEnd - d) / fogSpan;
                    } else {
                        f = Select(d < fogEnd, Splat(1.0f), zero);
                    }
                    break;
                case D3DFOG_EXP:
                    for (int32_t k = 0; k < kLanes; ++k) f[k] = std::exp(-fogDensity * d[k]);
                    break;
                case D3DFOG_EXP2:
                    for (int32_t k = 0; k < kLanes; ++k) {
                        f[k] = std::exp(-(fogDensity * d[k]) * (fogDensity * d[k]));
                    }
                    break;
                default:
                    break;
            }
            specular = (specular & 0x00FFFFFFu) | Quantise(Select(f == f, f, zero)) << 24;
        }

        // Lanes back to vertices: four floats that lie side by side in a vertex go in one store.
        F4 clipSpace[kLanes] = {cx, cy, cz, cw}, screen[kLanes] = {sx, sy, sz, rhwOut};
        Transpose(clipSpace);
        Transpose(screen);
        static_assert(offsetof(ProcessedVertex, cw) == offsetof(ProcessedVertex, cx) + 12 &&
                      offsetof(ProcessedVertex, rhw) == offsetof(ProcessedVertex, sx) + 12);
        for (int32_t k = 0; k < valid; ++k) {
            ProcessedVertex& o = out[first + k];
            std::memcpy(&o.cx, &clipSpace[k], sizeof(F4));
            o.clip = clip[k];
            std::memcpy(&o.sx, &screen[k], sizeof(F4));
            o.diffuse = diffuse[k];
            o.specular = specular[k];
            if (hasTex) {
                o.u = ReadFloat(src[k] + texAt);
                o.v = hasV ? ReadFloat(src[k] + texAt + 4) : 0.0f;
            } else {
                o.u = o.v = 0;
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
