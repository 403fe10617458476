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
uint32_t Quantise(float x) {
    const float c = std::clamp(x, 0.0f, 1.0f);  // NaN stays NaN and is caught below
    return c >= 0.0f ? static_cast<uint32_t>(c * 255.0f + 0.5f) : 0u;
}
uint32_t Pack(float r, float g, float b, float a) {
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

// The colour a lighting input takes: the material's, or a vertex colour when COLORVERTEX names
// one the vertex has.
Rgba Source(int32_t source, const D3DCOLORVALUE& material, bool colorVertex, bool hasDiffuse,
            uint32_t diffuse, bool hasSpecular, uint32_t specular) {
    if (colorVertex && source == D3DMCS_COLOR1 && hasDiffuse) return FromPacked(diffuse);
    if (colorVertex && source == D3DMCS_COLOR2 && hasSpecular) return FromPacked(specular);
    return FromColorValue(material);
}

float FogFactor(const VertexPipeline& p, const float camera[3]) {
    const float d = p.rangeFog ? std::sqrt(Dot(camera, camera)) : camera[2];
    float f = 1.0f;
    switch (p.fogMode) {
        case D3DFOG_LINEAR:
            if (p.fogEnd != p.fogStart) {
                f = (p.fogEnd - d) / (p.fogEnd - p.fogStart);
            } else {
                f = d < p.fogEnd ? 1.0f : 0.0f;
            }
            break;
        case D3DFOG_EXP:
            f = std::exp(-p.fogDensity * d);
            break;
        case D3DFOG_EXP2:
            f = std::exp(-(p.fogDensity * d) * (p.fogDensity * d));
            break;
        default:
            break;
    }
    return std::isnan(f) ? 0.0f : std::clamp(f, 0.0f, 1.0f);
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
    p.worldView = Multiply(s.world, s.view);
    p.worldViewProjection = Multiply(p.worldView, s.projection);

    // Normals go through the inverse transpose of the world-view matrix's 3×3 part, which keeps
    // them perpendicular to surfaces under any scaling. A singular matrix keeps the cofactors.
    const D3DMATRIX& m = p.worldView;
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
        for (int j = 0; j < 3; ++j) p.normalMatrix[i][j] = cof[i][j] * inv;

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

    p.lights.clear();
    if (light) {
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

void ProcessUntransformed(const VertexPipeline& p, const FvfLayout& l, const std::byte* vertices,
                          int32_t count, ProcessedVertex* out) {
    const D3DMATRIX& t = p.worldViewProjection;
    const D3DMATRIX& wv = p.worldView;
    const bool needCamera = p.lighting || p.fogMode != D3DFOG_NONE;
    const bool hasDiffuse = l.diffuse >= 0, hasSpecular = l.specular >= 0;

    for (int32_t i = 0; i < count; ++i) {
        const std::byte* src = vertices + static_cast<size_t>(i) * static_cast<size_t>(l.stride);
        ProcessedVertex& o = out[i];
        const float x = ReadFloat(src), y = ReadFloat(src + 4), z = ReadFloat(src + 8);
        o.cx = x * t.rc11 + y * t.rc21 + z * t.rc31 + t.rc41;
        o.cy = x * t.rc12 + y * t.rc22 + z * t.rc32 + t.rc42;
        o.cz = x * t.rc13 + y * t.rc23 + z * t.rc33 + t.rc43;
        o.cw = x * t.rc14 + y * t.rc24 + z * t.rc34 + t.rc44;
        o.clip = ClipCode(o.cx, o.cy, o.cz, o.cw);
        if (o.clip == 0) {
            ProjectToScreen(p.screen, o);
        } else {
            o.sx = o.sy = o.sz = o.rhw = 0;  // drawn only through clipping
        }

        const uint32_t diffuse = hasDiffuse ? ReadU32(src + l.diffuse) : 0xFFFFFFFFu;
        const uint32_t specular = hasSpecular ? ReadU32(src + l.specular) : 0u;
        float camera[3] = {};
        if (needCamera) {
            camera[0] = x * wv.rc11 + y * wv.rc21 + z * wv.rc31 + wv.rc41;
            camera[1] = x * wv.rc12 + y * wv.rc22 + z * wv.rc32 + wv.rc42;
            camera[2] = x * wv.rc13 + y * wv.rc23 + z * wv.rc33 + wv.rc43;
        }

        uint32_t outSpecular = specular & 0x00FFFFFFu;
        if (p.lighting) {
            float n[3] = {};
            if (l.normal >= 0) {
                const float nx = ReadFloat(src + l.normal), ny = ReadFloat(src + l.normal + 4),
                            nz = ReadFloat(src + l.normal + 8);
                for (int k = 0; k < 3; ++k) {
                    n[k] = nx * p.normalMatrix[0][k] + ny * p.normalMatrix[1][k] +
                           nz * p.normalMatrix[2][k];
                }
                if (p.normalize) Normalise(n);
            }
            const D3DMATERIAL7& mat = p.material;
            const Rgba cd = Source(p.diffuseSource, mat.diffuse, p.colorVertex, hasDiffuse, diffuse,
                                   hasSpecular, specular);
            const Rgba ca = Source(p.ambientSource, mat.ambient, p.colorVertex, hasDiffuse, diffuse,
                                   hasSpecular, specular);
            const Rgba ce = Source(p.emissiveSource, mat.emissive, p.colorVertex, hasDiffuse,
                                   diffuse, hasSpecular, specular);
            float amb[3] = {p.globalAmbient[0], p.globalAmbient[1], p.globalAmbient[2]};
            float dif[3] = {}, spe[3] = {};
            float toEye[3] = {0, 0, 1};
            if (p.specular && p.localViewer) {
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
                for (int c = 0; c < 3; ++c) amb[c] += k * q.ambient[c];
                const float nl = Dot(n, toLight);
                if (nl > 0) {
                    for (int c = 0; c < 3; ++c) dif[c] += k * nl * q.diffuse[c];
                    if (p.specular) {
                        float h[3] = {toEye[0] + toLight[0], toEye[1] + toLight[1],
                                      toEye[2] + toLight[2]};
                        Normalise(h);
                        const float nh = Dot(n, h);
                        if (nh > 0) {
                            const float s = k * std::pow(nh, mat.power);
                            for (int c = 0; c < 3; ++c) spe[c] += s * q.specular[c];
                        }
                    }
                }
            }
            o.diffuse =
                Pack(ce.r + ca.r * amb[0] + cd.r * dif[0], ce.g + ca.g * amb[1] + cd.g * dif[1],
                     ce.b + ca.b * amb[2] + cd.b * dif[2], cd.a);
            outSpecular = 0;
            if (p.specular) {
                const Rgba cs = Source(p.specularSource, mat.specular, p.colorVertex, hasDiffuse,
                                       diffuse, hasSpecular, specular);
                outSpecular = Pack(cs.r * spe[0], cs.g * spe[1], cs.b * spe[2], 0) & 0x00FFFFFFu;
            }
        } else {
            o.diffuse = diffuse;
        }

        uint32_t fog = hasSpecular ? specular >> 24 : 255u;
        if (p.fogMode != D3DFOG_NONE) fog = Quantise(FogFactor(p, camera));
        o.specular = outSpecular | fog << 24;

        if (l.tex0 >= 0) {
            o.u = ReadFloat(src + l.tex0);
            o.v = l.tex0Size >= 2 ? ReadFloat(src + l.tex0 + 4) : 0.0f;
        } else {
            o.u = o.v = 0;
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
