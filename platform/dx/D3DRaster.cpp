// Rasterisation: triangle set-up and edge walking, lines and points, each handing rows of
// pixels to the draw's span kernel.
//
// Pixel centres lie on whole screen coordinates. Vertices are snapped to 1/256 pixel and edges
// are walked with exact integer arithmetic: a pixel belongs to a triangle when its centre lies
// inside, or on a left or top edge (the top-left rule). Two triangles sharing an edge compute
// that edge from the same two snapped points, so they cover every pixel along it exactly once.
#include <algorithm>
#include <cmath>
#if defined(__SSE__) && defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include "platform/dx/D3DPipeline.h"
#include "platform/dx/D3DRasterQueue.h"

namespace d3d {

namespace {

int64_t CeilDiv(int64_t n, int64_t d) {
    return n / d + ((n % d) > 0 ? 1 : 0);
}
int64_t FloorDiv(int64_t n, int64_t d) {
    return n / d - ((n % d) < 0 ? 1 : 0);
}

bool Snap(float v, int64_t& out) {
    const float s = v * static_cast<float>(kSubPixel);
    if (!(std::fabs(s) < 1.0e9f)) return false;  // also rejects NaN
#if defined(__SSE__) && defined(__x86_64__)
    // lrintf's own conversion, inline: the library call keeps errno, which cannot be set here.
    out = _mm_cvtss_si64(_mm_set_ss(s));
#else
    out = static_cast<int64_t>(std::lrintf(s));
#endif
    return true;
}

// The first pixel column at or right of an edge, row after row: ceil(x(y)) kept as a quotient
// and remainder so that each row costs two additions.
struct EdgeWalk {
    int64_t q = 0, r = 0, d = 1, qs = 0, rs = 0;

    void Start(int64_t xa, int64_t ya, int64_t xb, int64_t yb, int64_t row) {
        const int64_t dy = yb - ya, dx = xb - xa;
        d = dy * kSubPixel;
        const int64_t n = xa * dy + (row * kSubPixel - ya) * dx;
        q = CeilDiv(n, d);
        r = q * d - n;
        const int64_t s = dx * kSubPixel;
        qs = FloorDiv(s, d);
        rs = s - qs * d;
    }
    // Without a branch: whether the remainder wraps varies from row to row, and would be
    // mispredicted often.
    void Step() {
        q += qs;
        r -= rs;
        const int64_t wrap = r >> 63;  // -1 when r < 0
        q -= wrap;
        r += d & wrap;
    }
};

// Triangles at least this wide are drawn by the widest kernels of the build.
constexpr int64_t kWideKernelPixels = 16;

bool IsColourSlot(int slot) {
    return slot >= kSpanR && slot != kSpanF;
}

// The quantity in span slot `slot` at a vertex; flat shading takes the colours from one vertex.
float SlotValue(const PipeVertex& v, const PipeVertex& flat, bool useFlat, int slot) {
    return (useFlat && IsColourSlot(slot) ? flat : v).attr[slot - 2];
}

// The span attribute values of a vertex: z (less the draw's bias) and rhw as they are, the rest
// multiplied by rhw; or, for a triangle whose corners share one rhw, the quantities themselves
// and rhw 1.
void SpanValues(const RasterDraw& d, const PipeVertex& v, const PipeVertex& flat, bool useFlat,
                bool affine, float out[kSpanAttrCount]) {
    const float rhw = affine ? 1.0f : v.rhw;
    out[kSpanZ] = v.sz - d.zBias;
    out[kSpanRhw] = rhw;
    for (int slot = 2; slot < kSpanAttrCount; ++slot) {
        const float value = SlotValue(v, flat, useFlat, slot);
        out[slot] = affine ? value : value * rhw;
    }
}

// Whether the corners share every colour quantity. Most primitives are lit alike at their
// corners or not lit at all; their colours need no interpolation and no division per pixel,
// which also makes them exact where interpolation would round.
bool SharesColours(const PipeVertex* const (&v)[3], const PipeVertex& flat, bool useFlat) {
    for (int slot = kSpanR; slot < kSpanAttrCount; ++slot) {
        if (!IsColourSlot(slot)) continue;
        const float first = SlotValue(*v[0], flat, useFlat, slot);
        if (SlotValue(*v[1], flat, useFlat, slot) != first ||
            SlotValue(*v[2], flat, useFlat, slot) != first) {
            return false;
        }
    }
    return true;
}

// Corners whose rhw agree to one part in a million are drawn without perspective division;
// the difference it makes is far below a texel or a colour step.
bool SharesRhw(const PipeVertex& a, const PipeVertex& b, const PipeVertex& c) {
    const float tolerance = a.rhw * (1.0f / 1048576.0f);
    return std::fabs(b.rhw - a.rhw) <= tolerance && std::fabs(c.rhw - a.rhw) <= tolerance;
}

// Magnification or minification for the whole triangle, from the texel footprint of a pixel
// at its centre.
SpanFn ChooseFilter(const RasterDraw& d, bool affine, bool constant, bool wide,
                    const float (&val)[3][kSpanAttrCount], const float* dx, const float* dy) {
    const SpanFn magnify = d.kernels[0][affine][constant][wide];
    const SpanFn minify = d.kernels[1][affine][constant][wide];
    if (magnify == minify) return magnify;
    const float rhw = (val[0][kSpanRhw] + val[1][kSpanRhw] + val[2][kSpanRhw]) / 3.0f;
    const float qu = (val[0][kSpanU] + val[1][kSpanU] + val[2][kSpanU]) / 3.0f;
    const float qv = (val[0][kSpanV] + val[1][kSpanV] + val[2][kSpanV]) / 3.0f;
    const float u = qu / rhw, v = qv / rhw;
    const float dudx = (dx[kSpanU] - u * dx[kSpanRhw]) / rhw;
    const float dudy = (dy[kSpanU] - u * dy[kSpanRhw]) / rhw;
    const float dvdx = (dx[kSpanV] - v * dx[kSpanRhw]) / rhw;
    const float dvdy = (dy[kSpanV] - v * dy[kSpanRhw]) / rhw;
    return std::fabs(dudx * dvdy - dudy * dvdx) > 1.0f ? minify : magnify;
}

// Rows gathered for one kernel call.
class SpanBatch {
  public:
    SpanBatch(const RasterDraw& d, SpanFn fn, const SpanPlanes& planes)
        : d_(d), fn_(fn), planes_(planes) {}
    ~SpanBatch() { Flush(); }
    void Add(int32_t y, int32_t x0, int32_t x1) {
        spans_[count_++] = Span{y, x0, x1};
        if (count_ == kCapacity) Flush();
    }
    // A single pixel, dropped outside the viewport and outside rows [from, to).
    void AddPixel(int32_t x, int32_t y, int32_t from, int32_t to) {
        if (x >= d_.left && x < d_.right && y >= std::max(d_.top, from) &&
            y < std::min(d_.bottom, to)) {
            Add(y, x, x + 1);
        }
    }
    void Flush() {
        if (count_ > 0) fn_(d_.span, planes_, spans_, count_);
        count_ = 0;
    }

  private:
    static constexpr int kCapacity = 64;
    const RasterDraw& d_;
    SpanFn fn_;
    const SpanPlanes& planes_;
    Span spans_[kCapacity];
    int count_ = 0;
};

}  // namespace

int64_t SnappedArea(const PipeVertex* const* polygon, int count) {
    int64_t sum = 0;
    int64_t x0 = 0, y0 = 0;
    if (!Snap(polygon[count - 1]->sx, x0) || !Snap(polygon[count - 1]->sy, y0)) return 0;
    for (int i = 0; i < count; ++i) {
        int64_t x1 = 0, y1 = 0;
        if (!Snap(polygon[i]->sx, x1) || !Snap(polygon[i]->sy, y1)) return 0;
        sum += x0 * y1 - x1 * y0;
        x0 = x1;
        y0 = y1;
    }
    return sum;
}

bool IsCulled(int32_t cullMode, int64_t area) {
    // Positive area is clockwise on a screen whose y grows downwards.
    if (cullMode == D3DCULL_CCW) return area < 0;
    if (cullMode == D3DCULL_CW) return area > 0;
    return false;
}

void RasterTriangle(const RasterDraw& d, const PipeVertex& a, const PipeVertex& b,
                    const PipeVertex& c, const PipeVertex& flatSource, bool cull) {
    const PipeVertex* v[3] = {&a, &b, &c};
    int64_t X[3], Y[3];
    for (int i = 0; i < 3; ++i) {
        if (!Snap(v[i]->sx, X[i]) || !Snap(v[i]->sy, Y[i])) return;
    }
    const int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    if (area == 0) return;
    if (cull && IsCulled(d.cull, area)) return;

    // Top, middle and bottom vertex; the long edge runs from top to bottom.
    int t = 0, m = 1, bt = 2;
    if (Y[t] > Y[m]) std::swap(t, m);
    if (Y[m] > Y[bt]) std::swap(m, bt);
    if (Y[t] > Y[m]) std::swap(t, m);
    const int64_t yTop = std::max<int64_t>(CeilDiv(Y[t], kSubPixel), d.top);
    const int64_t yBottom = std::min<int64_t>(CeilDiv(Y[bt], kSubPixel), d.bottom);
    if (yTop >= yBottom) return;

    TriangleSetup setup;
    const int order[3] = {t, m, bt};
    for (int i = 0; i < 3; ++i) {
        setup.X[i] = X[order[i]];
        setup.Y[i] = Y[order[i]];
    }
    const int64_t cross = (X[m] - X[t]) * (Y[bt] - Y[t]) - (X[bt] - X[t]) * (Y[m] - Y[t]);
    setup.longEdgeLeft = cross > 0;
    setup.yTop = static_cast<int32_t>(yTop);
    setup.yMid = static_cast<int32_t>(std::clamp<int64_t>(CeilDiv(Y[m], kSubPixel), yTop, yBottom));
    setup.yBottom = static_cast<int32_t>(yBottom);

    // Planes of the attributes over the screen, from the snapped positions.
    const bool affine = SharesRhw(a, b, c);
    float val[3][kSpanAttrCount];
    for (int i = 0; i < 3; ++i) SpanValues(d, *v[i], flatSource, d.flat, affine, val[i]);
    const float inv = static_cast<float>(kSubPixel);
    const float x0 = static_cast<float>(X[0]) / inv, y0 = static_cast<float>(Y[0]) / inv;
    const float e1x = static_cast<float>(X[1] - X[0]) / inv;
    const float e1y = static_cast<float>(Y[1] - Y[0]) / inv;
    const float e2x = static_cast<float>(X[2] - X[0]) / inv;
    const float e2y = static_cast<float>(Y[2] - Y[0]) / inv;
    const float invDet = 1.0f / static_cast<float>(static_cast<double>(area) / (inv * inv));
    SpanPlanes& planes = setup.planes;
    planes.refX = static_cast<int32_t>(FloorDiv(X[0], kSubPixel));
    planes.refY = static_cast<int32_t>(FloorDiv(Y[0], kSubPixel));
    const float toRefX = static_cast<float>(planes.refX) - x0;
    const float toRefY = static_cast<float>(planes.refY) - y0;
    planes.constantColour = SharesColours(v, flatSource, d.flat);
    for (int k = 0; k < kSpanAttrCount; ++k) {
        if (planes.constantColour && IsColourSlot(k)) {
            planes.at[k] = SlotValue(*v[0], flatSource, d.flat, k);
            planes.dx[k] = planes.dy[k] = 0.0f;
            continue;
        }
        const float d1 = val[1][k] - val[0][k], d2 = val[2][k] - val[0][k];
        planes.dx[k] = (d1 * e2y - d2 * e1y) * invDet;
        planes.dy[k] = (d2 * e1x - d1 * e2x) * invDet;
        planes.at[k] = val[0][k] + toRefX * planes.dx[k] + toRefY * planes.dy[k];
    }
    const int64_t width = std::max({X[0], X[1], X[2]}) - std::min({X[0], X[1], X[2]});
    const bool wide = width >= kWideKernelPixels * kSubPixel;
    setup.kernel = ChooseFilter(d, affine, planes.constantColour, wide, val, planes.dx, planes.dy);
    if (d.queue != nullptr) {
        setup.draw = d.queueDraw;
        d.queue->AddTriangle(setup);
    } else {
        WalkTriangle(d, setup, setup.yTop, setup.yBottom);
    }
}

void WalkTriangle(const RasterDraw& d, const TriangleSetup& s, int32_t from, int32_t to) {
    const int64_t yTop = std::max(s.yTop, from);
    const int64_t yBottom = std::min(s.yBottom, to);
    if (yTop >= yBottom) return;
    const int64_t* X = s.X;
    const int64_t* Y = s.Y;
    SpanBatch batch(d, s.kernel, s.planes);

    // Kept in locals: the kernel calls could otherwise be taken to change them.
    const int64_t viewLeft = d.left, viewRight = d.right;
    auto rows = [&](EdgeWalk& left, EdgeWalk& right, int64_t first, int64_t end) {
        for (int64_t y = first; y < end; ++y) {
            const int64_t xl = std::max<int64_t>(left.q, viewLeft);
            const int64_t xr = std::min<int64_t>(right.q, viewRight);
            if (xl < xr) {
                batch.Add(static_cast<int32_t>(y), static_cast<int32_t>(xl),
                          static_cast<int32_t>(xr));
            }
            left.Step();
            right.Step();
        }
    };

    // The upper part runs from the top to the middle vertex along the first short edge, the
    // lower part from there to the bottom along the second; the long edge spans both.
    EdgeWalk longEdge, shortEdge;
    const int64_t upperEnd = std::min<int64_t>(s.yMid, yBottom);
    if (yTop < upperEnd) {
        longEdge.Start(X[0], Y[0], X[2], Y[2], yTop);
        shortEdge.Start(X[0], Y[0], X[1], Y[1], yTop);
        if (s.longEdgeLeft) {
            rows(longEdge, shortEdge, yTop, upperEnd);
        } else {
            rows(shortEdge, longEdge, yTop, upperEnd);
        }
    }
    const int64_t lowerStart = std::max<int64_t>(s.yMid, yTop);
    if (lowerStart < yBottom) {
        // The long edge has walked to lowerStart when the upper part ran; start it afresh
        // otherwise (the upper part was empty or cut away).
        if (!(yTop < upperEnd)) longEdge.Start(X[0], Y[0], X[2], Y[2], lowerStart);
        shortEdge.Start(X[1], Y[1], X[2], Y[2], lowerStart);
        if (s.longEdgeLeft) {
            rows(longEdge, shortEdge, lowerStart, yBottom);
        } else {
            rows(shortEdge, longEdge, lowerStart, yBottom);
        }
    }
}

// Lines step along their major axis, one pixel per column (or row), each at the pixel centre
// nearest to the line; on a scaled target that pixel and the next pixelSize - 1 across the
// line, centred on it. Attributes run along the major axis: the planes have a gradient there
// only, so the whole line is one kernel call.
void RasterLine(const RasterDraw& d, const PipeVertex& a, const PipeVertex& b,
                const PipeVertex& flatSource) {
    float va[kSpanAttrCount], vb[kSpanAttrCount];
    SpanValues(d, a, flatSource, d.flat, false, va);
    SpanValues(d, b, flatSource, d.flat, false, vb);
    const float dxl = b.sx - a.sx, dyl = b.sy - a.sy;
    if (!std::isfinite(dxl) || !std::isfinite(dyl)) return;
    LineSetup line;
    line.xMajor = std::fabs(dxl) >= std::fabs(dyl);
    line.major0 = line.xMajor ? a.sx : a.sy;
    const float major1 = line.xMajor ? b.sx : b.sy;
    line.minor0 = line.xMajor ? a.sy : a.sx;
    line.minor1 = line.xMajor ? b.sy : b.sx;
    line.start = static_cast<int32_t>(std::floor(line.major0 + 0.5f));
    const int32_t end = static_cast<int32_t>(std::floor(major1 + 0.5f));
    line.step = end >= line.start ? 1 : -1;
    // The end pixel is drawn while LASTPIXEL is on (its default); turned off, connected lines
    // meet without overlap.
    line.count = std::abs(end - line.start) + (d.lastPixel ? 1 : 0);
    if (line.count == 0) return;
    line.length = major1 - line.major0;
    const float length = line.length;
    const float t0 = length != 0 ? (static_cast<float>(line.start) - line.major0) / length : 0.0f;
    const int32_t startMinor =
        static_cast<int32_t>(std::floor(line.minor0 + t0 * (line.minor1 - line.minor0) + 0.5f));
    SpanPlanes& planes = line.planes;
    planes.refX = line.xMajor ? line.start : startMinor;
    planes.refY = line.xMajor ? startMinor : line.start;
    for (int k = 0; k < kSpanAttrCount; ++k) {
        const float perPixel = length != 0 ? (vb[k] - va[k]) / length : 0.0f;
        planes.at[k] = va[k] + t0 * (vb[k] - va[k]);
        planes.dx[k] = line.xMajor ? perPixel : 0.0f;
        planes.dy[k] = line.xMajor ? 0.0f : perPixel;
    }
    // Rows the line can reach: the minor coordinate rounds within the endpoints' rows (a row
    // either side for rounding in the interpolation).
    if (line.xMajor) {
        const int32_t before = d.pixelSize / 2, after = d.pixelSize - 1 - before;
        line.yMin = static_cast<int32_t>(std::floor(std::min(line.minor0, line.minor1) + 0.5f)) -
                    1 - before;
        line.yMax =
            static_cast<int32_t>(std::floor(std::max(line.minor0, line.minor1) + 0.5f)) + 1 + after;
    } else {
        line.yMin = std::min(line.start, line.start + (line.count - 1) * line.step);
        line.yMax = std::max(line.start, line.start + (line.count - 1) * line.step);
    }
    if (line.yMax < d.top || line.yMin >= d.bottom) return;
    if (d.queue != nullptr) {
        line.draw = d.queueDraw;
        d.queue->AddLine(line);
    } else {
        WalkLine(d, line, d.top, d.bottom);
    }
}

void WalkLine(const RasterDraw& d, const LineSetup& line, int32_t from, int32_t to) {
    SpanBatch batch(d, d.kernels[0][0][0][0], line.planes);
    // Only the steps whose major coordinate lies inside the viewport (and, for rows, inside
    // [from, to)) can draw: a line may reach far into the guard band on either side.
    const int32_t lo = line.xMajor ? d.left : std::max(from, d.top);
    const int32_t hi = line.xMajor ? d.right : std::min(to, d.bottom);
    if (lo >= hi) return;
    auto steps = [&line](int32_t lowMajor, int32_t highMajor, int32_t& first, int32_t& last) {
        const int32_t a = (lowMajor - line.start) * line.step;
        const int32_t b = (highMajor - line.start) * line.step;
        first = std::max(first, std::min(a, b));
        last = std::min(last, std::max(a, b) + 1);
    };
    int32_t first = 0, last = line.count;
    steps(lo, hi - 1, first, last);
    const float length = line.length;
    const int32_t width = d.pixelSize, before = width / 2;
    if (line.xMajor && (from > d.top || to < d.bottom)) {
        // A band of rows: only the columns where the line crosses those rows. Its pixels lie
        // within half a row of the straight line through the end points (the clamp at the
        // ends moves them by less than half a row more, as the slope is at most one), so a
        // row's margin either side keeps every one; the pixels themselves are still tested.
        const double slope = (static_cast<double>(line.minor1) - line.minor0) / length;
        if (std::fabs(slope) > 1e-9) {
            const double low = from - (width - 1 - before) - 1.5;
            const double high = to - 1 + before + 1.5;
            const double ma = line.major0 + (low - line.minor0) / slope;
            const double mb = line.major0 + (high - line.minor0) / slope;
            const double limit = 1e9;  // beyond any step count
            const double lowMajor = std::clamp(std::floor(std::min(ma, mb)) - 1, -limit, limit);
            const double highMajor = std::clamp(std::ceil(std::max(ma, mb)) + 1, -limit, limit);
            steps(static_cast<int32_t>(lowMajor), static_cast<int32_t>(highMajor), first, last);
        }
    }
    for (int32_t i = first; i < last; ++i) {
        const int32_t pm = line.start + i * line.step;
        const float t =
            length != 0 ? std::clamp((static_cast<float>(pm) - line.major0) / length, 0.0f, 1.0f)
                        : 0;
        const int32_t pn =
            static_cast<int32_t>(std::floor(line.minor0 + t * (line.minor1 - line.minor0) + 0.5f));
        if (width == 1) {
            batch.AddPixel(line.xMajor ? pm : pn, line.xMajor ? pn : pm, from, to);
            continue;
        }
        for (int32_t across = pn - before; across < pn - before + width; ++across) {
            batch.AddPixel(line.xMajor ? pm : across, line.xMajor ? across : pm, from, to);
        }
    }
}

void RasterPoint(const RasterDraw& d, const PipeVertex& p) {
    if (!std::isfinite(p.sx) || !std::isfinite(p.sy)) return;
    PointSetup point;
    SpanPlanes& planes = point.planes;
    SpanValues(d, p, p, false, false, planes.at);
    std::fill(std::begin(planes.dx), std::end(planes.dx), 0.0f);
    std::fill(std::begin(planes.dy), std::end(planes.dy), 0.0f);
    // On a scaled target a point is a square of pixelSize pixels, its top-left corner at ref.
    const int32_t before = d.pixelSize / 2;
    planes.refX = static_cast<int32_t>(std::floor(p.sx + 0.5f)) - before;
    planes.refY = static_cast<int32_t>(std::floor(p.sy + 0.5f)) - before;
    if (planes.refY + d.pixelSize <= d.top || planes.refY >= d.bottom) return;
    if (d.queue != nullptr) {
        point.draw = d.queueDraw;
        d.queue->AddPoint(point);
    } else {
        DrawPointPixel(d, point, d.top, d.bottom);
    }
}

void DrawPointPixel(const RasterDraw& d, const PointSetup& point, int32_t from, int32_t to) {
    SpanBatch batch(d, d.kernels[0][0][0][0], point.planes);
    const int32_t x = point.planes.refX, y = point.planes.refY;
    for (int32_t row = y; row < y + d.pixelSize; ++row) {
        for (int32_t column = x; column < x + d.pixelSize; ++column) {
            batch.AddPixel(column, row, from, to);
        }
    }
}

}  // namespace d3d
