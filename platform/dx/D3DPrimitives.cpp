// Primitive assembly and clipping: lists, strips and fans into points, lines and triangles;
// clipping in homogeneous space against the near and far planes, w and the guard band;
// back-face culling on the screen; the fill modes.
#include <algorithm>

#include "platform/dx/D3DPipeline.h"

namespace d3d {

namespace {

constexpr int kPlaneCount = 7;

float PlaneDistance(int plane, const PipeVertex& v) {
    switch (plane) {
        case 0:
            return v.cx + kGuardBand * v.cw;
        case 1:
            return kGuardBand * v.cw - v.cx;
        case 2:
            return v.cy + kGuardBand * v.cw;
        case 3:
            return kGuardBand * v.cw - v.cy;
        case 4:
            return v.cz;
        case 5:
            return v.cw - v.cz;
        default:
            return v.cw - kMinW;
    }
}

PipeVertex Lerp(const PipeVertex& a, const PipeVertex& b, float t) {
    PipeVertex r;
    r.cx = a.cx + t * (b.cx - a.cx);
    r.cy = a.cy + t * (b.cy - a.cy);
    r.cz = a.cz + t * (b.cz - a.cz);
    r.cw = a.cw + t * (b.cw - a.cw);
    for (int k = 0; k < kVertexAttrCount; ++k) r.attr[k] = a.attr[k] + t * (b.attr[k] - a.attr[k]);
    r.clip = 0;
    r.sx = r.sy = r.sz = 0;
    r.rhw = 1;
    return r;
}

void Project(const ScreenMap& m, PipeVertex& v) {
    v.rhw = 1.0f / v.cw;
    v.sx = v.cx * v.rhw * m.scaleX + m.offsetX;
    v.sy = v.cy * v.rhw * m.scaleY + m.offsetY;
    v.sz = v.cz * v.rhw * m.scaleZ + m.offsetZ;
}

// A clipped triangle. Exactly, each plane adds at most one vertex and makes two; rounding can
// bend a polygon cut by several planes so that a later plane crosses it more often, and one
// that runs out of room is dropped: it is a sliver lost in rounding, or made of numbers too
// large to mean anything on the screen.
struct Polygon {
    static constexpr int kMaxVertices = 3 + 2 * kPlaneCount;
    static constexpr int kMaxMade = 4 * kPlaneCount;
    const PipeVertex* v[kMaxVertices];
    int count = 0;
    PipeVertex made[kMaxMade];
    int madeCount = 0;
};

// Sutherland–Hodgman. Each crossing point is computed from the inside vertex towards the
// outside one, so the two triangles that share an edge make the very same point.
void ClipPolygon(const ScreenMap& screen, uint32_t planes, Polygon& p) {
    for (int plane = 0; plane < kPlaneCount && p.count >= 3; ++plane) {
        if ((planes & (1u << plane)) == 0) continue;
        const PipeVertex* in[Polygon::kMaxVertices];
        const int n = p.count;
        std::copy(p.v, p.v + n, in);
        p.count = 0;
        for (int i = 0; i < n; ++i) {
            const PipeVertex* a = in[i];
            const PipeVertex* b = in[(i + 1) % n];
            const float da = PlaneDistance(plane, *a), db = PlaneDistance(plane, *b);
            const bool aIn = da >= 0, bIn = db >= 0;
            // An inside vertex and a crossing: room for both, or the polygon is dropped.
            if (p.count + 2 > Polygon::kMaxVertices || p.madeCount == Polygon::kMaxMade) {
                p.count = 0;
                return;
            }
            if (aIn) p.v[p.count++] = a;
            if (aIn != bIn) {
                PipeVertex& x = p.made[p.madeCount++];
                x = aIn ? Lerp(*a, *b, da / (da - db)) : Lerp(*b, *a, db / (db - da));
                p.v[p.count++] = &x;
            }
        }
    }
    for (int i = 0; i < p.madeCount; ++i) Project(screen, p.made[i]);
}

void DrawLine(const RasterDraw& d, const PipeVertex& a, const PipeVertex& b,
              const PipeVertex& flat) {
    if ((a.clip & b.clip) != 0) return;
    if ((a.clip | b.clip) == 0) {
        RasterLine(d, a, b, flat);
        return;
    }
    float t0 = 0, t1 = 1;
    for (int plane = 0; plane < kPlaneCount; ++plane) {
        const float da = PlaneDistance(plane, a), db = PlaneDistance(plane, b);
        if (da < 0 && db < 0) return;
        if (da < 0) t0 = std::max(t0, da / (da - db));
        if (db < 0) t1 = std::min(t1, da / (da - db));
    }
    if (!(t0 < t1)) return;
    PipeVertex ca = t0 > 0 ? Lerp(a, b, t0) : a;
    PipeVertex cb = t1 < 1 ? Lerp(a, b, t1) : b;
    if (t0 > 0) Project(d.screen, ca);
    if (t1 < 1) Project(d.screen, cb);
    RasterLine(d, ca, cb, flat);
}

void DrawPoint(const RasterDraw& d, const PipeVertex& p) {
    if (p.clip == 0) RasterPoint(d, p);
}

// A triangle in the order that fixes its facing; the first vertex gives flat colours.
void DrawTriangle(const RasterDraw& d, const PipeVertex& a, const PipeVertex& b,
                  const PipeVertex& c) {
    if ((a.clip & b.clip & c.clip) != 0) return;
    const uint32_t outside = a.clip | b.clip | c.clip;
    if (outside == 0 && d.fill == D3DFILL_SOLID) {
        RasterTriangle(d, a, b, c, a, true);
        return;
    }
    Polygon p;
    p.v[0] = &a;
    p.v[1] = &b;
    p.v[2] = &c;
    p.count = 3;
    if (outside != 0) ClipPolygon(d.screen, outside, p);
    if (p.count < 3) return;
    const int64_t area = SnappedArea(p.v, p.count);
    if (area == 0 || IsCulled(d.cull, area)) return;
    switch (d.fill) {
        case D3DFILL_SOLID:
            for (int i = 1; i + 1 < p.count; ++i) {
                RasterTriangle(d, *p.v[0], *p.v[i], *p.v[i + 1], a, false);
            }
            break;
        case D3DFILL_WIREFRAME:
            for (int i = 0; i < p.count; ++i) RasterLine(d, *p.v[i], *p.v[(i + 1) % p.count], a);
            break;
        default:
            for (const PipeVertex* corner : {&a, &b, &c}) DrawPoint(d, *corner);
            break;
    }
}

}  // namespace

void ToPipeVertex(const AttrScale& s, const ProcessedVertex& in, PipeVertex& out) {
    out.cx = in.cx;
    out.cy = in.cy;
    out.cz = in.cz;
    out.cw = in.cw;
    out.clip = in.clip;
    out.sx = in.sx;
    out.sy = in.sy;
    out.sz = in.sz;
    out.rhw = in.rhw;
    const uint32_t diffuse = s.whiteDiffuse ? 0xFFFFFFFFu : in.diffuse;
    float* a = out.attr;
    a[kSpanU - 2] = in.u * s.u;
    a[kSpanV - 2] = in.v * s.v;
    a[kSpanR - 2] = static_cast<float>((diffuse >> 16) & 0xFF) * s.r;
    a[kSpanG - 2] = static_cast<float>((diffuse >> 8) & 0xFF) * s.g;
    a[kSpanB - 2] = static_cast<float>(diffuse & 0xFF) * s.b;
    a[kSpanA - 2] = s.opaqueAlpha ? 1.0f : static_cast<float>(in.diffuse >> 24) / 255.0f;
    a[kSpanF - 2] = s.noFog ? 1.0f : static_cast<float>(in.specular >> 24) / 255.0f;
    a[kSpanSR - 2] = static_cast<float>((in.specular >> 16) & 0xFF) * 128.0f;
    a[kSpanSG - 2] = static_cast<float>((in.specular >> 8) & 0xFF) * 128.0f;
    a[kSpanSB - 2] = static_cast<float>(in.specular & 0xFF) * 128.0f;
}

void DrawPrimitives(const RasterDraw& d, int32_t type, const PipeVertex* v, int32_t vertexCount,
                    const uint16_t* indices, int32_t indexCount) {
    const int32_t n = indices ? indexCount : vertexCount;
    auto at = [&](int32_t i) -> const PipeVertex& { return indices ? v[indices[i]] : v[i]; };
    switch (type) {
        case D3DPT_POINTLIST:
            for (int32_t i = 0; i < n; ++i) DrawPoint(d, at(i));
            break;
        case D3DPT_LINELIST:
            for (int32_t i = 0; i + 1 < n; i += 2) DrawLine(d, at(i), at(i + 1), at(i));
            break;
        case D3DPT_LINESTRIP:
            for (int32_t i = 0; i + 1 < n; ++i) DrawLine(d, at(i), at(i + 1), at(i));
            break;
        case D3DPT_TRIANGLELIST:
            for (int32_t i = 0; i + 2 < n; i += 3) DrawTriangle(d, at(i), at(i + 1), at(i + 2));
            break;
        case D3DPT_TRIANGLESTRIP:
            // Every second triangle is taken in the other order to keep one facing.
            for (int32_t i = 0; i + 2 < n; ++i) {
                if (i % 2 == 0) {
                    DrawTriangle(d, at(i), at(i + 1), at(i + 2));
                } else {
                    DrawTriangle(d, at(i), at(i + 2), at(i + 1));
                }
            }
            break;
        case D3DPT_TRIANGLEFAN:
            for (int32_t i = 1; i + 1 < n; ++i) DrawTriangle(d, at(i), at(i + 1), at(0));
            break;
        default:
            break;
    }
}

}  // namespace d3d
