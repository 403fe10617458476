// Small scenes rendered by the software device, checked pixel by pixel against values worked
// out by hand. Every test runs with the portable span kernels and, where the CPU has them, with
// the AVX2 and AVX-512 ones; all must give the same pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/dx/D3DSpan.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxError.h"
#include "platform/dx/DxErrorCodes.h"
#include "platform/host/HeadlessHost.h"

namespace d3d {
void PrintTo(SpanBuild build, std::ostream* out) {
    *out << SpanBuildName(build);
}
}  // namespace d3d

namespace {

// Pre-transformed vertex with one texture pair: screen position as given.
struct TLVertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
constexpr int32_t kTLFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

int R5(uint16_t p) {
    return p >> 11;
}
int G6(uint16_t p) {
    return (p >> 5) & 63;
}
int B5(uint16_t p) {
    return p & 31;
}
uint16_t Rgb565(int r, int g, int b) {
    return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

D3DMATRIX Identity() {
    D3DMATRIX m;
    m.rc11 = m.rc22 = m.rc33 = m.rc44 = 1;
    return m;
}

// The scene's projection: 1.5 and 2 for x and y, rc33 as given, w = z.
D3DMATRIX Projection(float rc33) {
    D3DMATRIX m;
    m.rc11 = 1.5f;
    m.rc22 = 2.0f;
    m.rc33 = rc33;
    m.rc34 = 1.0f;
    m.rc43 = -1.0f;
    return m;
}

const auto kSpanBuilds =
    ::testing::Values(d3d::SpanBuild::Portable, d3d::SpanBuild::Neon, d3d::SpanBuild::Simd128,
                      d3d::SpanBuild::Avx2, d3d::SpanBuild::Avx512);
std::string SpanBuildTestName(const ::testing::TestParamInfo<d3d::SpanBuild>& info) {
    return d3d::SpanBuildName(info.param);
}

class RenderTest : public ::testing::TestWithParam<d3d::SpanBuild> {
  protected:
    static constexpr int kW = 32, kH = 24;

    void SetUp() override {
        target = MakeTarget(kW, kH);
        device = d3d->CreateDevice("IID_IDirect3DHALDevice", target);
        device->LimitSpans(GetParam());
        if (device->Spans() != GetParam()) {
            GTEST_SKIP() << "this CPU does not run the " << d3d::SpanBuildName(GetParam())
                         << " kernels";
        }
        device->BeginScene();
    }

    SurfacePtr MakeTarget(int w, int h) {
        DDSURFACEDESC2 d;
        d.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.lCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
        d.lWidth = w;
        d.lHeight = h;
        SurfacePtr s = dd.CreateSurface(d);
        DDSURFACEDESC2 z;
        z.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        z.ddsCaps.lCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
        z.lWidth = w;
        z.lHeight = h;
        d3d->GetEnumZBufferFormats("IID_IDirect3DHALDevice")->GetItem(1, z.ddpfPixelFormat);
        s->AddAttachedSurface(dd.CreateSurface(z));
        return s;
    }

    SurfacePtr MakeTexture(int w, int h, const std::vector<uint16_t>& texels, int32_t key = -1) {
        DDSURFACEDESC2 d;
        d.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.lCaps = DDSCAPS_TEXTURE;
        d.lWidth = w;
        d.lHeight = h;
        if (key >= 0) {
            d.lFlags |= DDSD_CKSRCBLT;
            d.ddckCKSrcBlt.low = d.ddckCKSrcBlt.high = key;
        }
        SurfacePtr s = dd.CreateSurface(d);
        std::memcpy(s->Pixels(), texels.data(), texels.size() * 2);
        return s;
    }

    uint16_t Px(int x, int y) const { return target->Row(y)[x]; }
    uint16_t Depth(int x, int y) const { return target->AttachedDepth()->Row(y)[x]; }

    void ClearTo(int32_t color, float z = 1.0f) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, z, 0);
    }

    // An axis-aligned rectangle of pre-transformed vertices, clockwise on screen.
    void Rect(float x0, float y0, float x1, float y1, uint32_t color, float z = 0.5f, float u0 = 0,
              float v0 = 0, float u1 = 1, float v1 = 1) {
        const TLVertex quad[4] = {{x0, y0, z, 1, color, u0, v0},
                                  {x1, y0, z, 1, color, u1, v0},
                                  {x1, y1, z, 1, color, u1, v1},
                                  {x0, y1, z, 1, color, u0, v1}};
        device->DrawPrimitive(D3DPT_TRIANGLEFAN, kTLFvf, quad, 4, 0);
    }

    // Columns 4 to 13 and rows 2 to 9 of the target.
    void SmallViewport() {
        D3DVIEWPORT7 vp;
        vp.lX = 4;
        vp.lY = 2;
        vp.lWidth = 10;
        vp.lHeight = 8;
        device->SetViewport(vp);
    }
    void Blend(int32_t src, int32_t dst) {
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        device->SetRenderState(D3DRENDERSTATE_SRCBLEND, src);
        device->SetRenderState(D3DRENDERSTATE_DESTBLEND, dst);
    }

    // The texture whose texel i holds the 565 value i (32 × 2048), drawn 16 rows at a time one
    // pixel a texel, with a diffuse and a specular colour: pixel (x, y) takes texel
    // (x, row0 + y), pixel centres sitting on whole coordinates.
    static constexpr int kTexelRows = 16;
    SurfacePtr EveryValueTexture() {
        std::vector<uint16_t> all(65536);
        for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint16_t>(i);
        return MakeTexture(32, 2048, all);
    }
    void DrawTexelRows(int row0, uint32_t color, uint32_t specular) {
        struct SpecularVertex {
            float x, y, z, rhw;
            uint32_t color, specular;
            float u, v;
        };
        constexpr int32_t kFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;
        const float v0 = static_cast<float>(row0) / 2048.0f;
        const float v1 = static_cast<float>(row0 + kTexelRows) / 2048.0f;
        const SpecularVertex quad[4] = {{-0.5f, -0.5f, 0.5f, 1, color, specular, 0, v0},
                                        {31.5f, -0.5f, 0.5f, 1, color, specular, 1, v0},
                                        {31.5f, 15.5f, 0.5f, 1, color, specular, 1, v1},
                                        {-0.5f, 15.5f, 0.5f, 1, color, specular, 0, v1}};
        device->DrawPrimitive(D3DPT_TRIANGLEFAN, kFvf, quad, 4, 0);
    }
    // Pixels of the drawn rows that differ from expected(texel value).
    template <typename Expected>
    int TexelRowMismatches(int row0, Expected expected) const {
        int wrong = 0;
        for (int y = 0; y < kTexelRows; ++y) {
            for (int x = 0; x < 32; ++x) {
                wrong += Px(x, y) != expected(static_cast<uint16_t>((row0 + y) * 32 + x));
            }
        }
        return wrong;
    }

    void Save(const std::string& name) const {
        WritePng565(std::string(VELMORA_BINARY_DIR) + "/device-" + name + ".png", target->Pixels(),
                    target->Width(), target->Height(), target->Pitch());
    }

    int CountChanged(uint16_t background) const {
        int n = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) n += Px(x, y) != background;
        return n;
    }

    HeadlessHost host{HeadlessOptions{}};
    DirectDraw7 dd{host};
    std::shared_ptr<Direct3D7> d3d = dd.GetDirect3D();
    SurfacePtr target;
    std::shared_ptr<Direct3DDevice7> device;
};

INSTANTIATE_TEST_SUITE_P(Kernels, RenderTest, kSpanBuilds, SpanBuildTestName);

// ---------------------------------------------------------------- coverage

TEST_P(RenderTest, SquareOnPixelCentresCoversTopLeftEdgesOnly) {
    ClearTo(0);
    Rect(2, 3, 6, 7, 0xFFFFFFFF);
    // Centres on the left and top edges belong to the square; those on the right and bottom
    // edges do not: exactly columns 2..5 and rows 3..6.
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 3 && y < 7;
            EXPECT_EQ(Px(x, y), inside ? 0xFFFF : 0) << x << "," << y;
        }
    }
}

TEST_P(RenderTest, TrianglesSharingEdgesCoverEachPixelOnce) {
    ClearTo(0);
    // Each triangle adds 8 to red (one 5-bit step); a pixel drawn twice would read 2.
    Blend(D3DBLEND_ONE, D3DBLEND_ONE);
    const uint32_t step = 0xFF080000;
    // A fan of eight triangles around a centre on a pixel centre, with spokes through many
    // pixel centres and odd sub-pixel positions on the rim.
    std::vector<TLVertex> fan{{15, 12, 0.5f, 1, step, 0, 0}};
    const float rim[9][2] = {{3.3f, 1.7f},  {15, 1},        {27.6f, 2.25f},
                             {30, 12},      {26.9f, 22.6f}, {15, 23},
                             {2.2f, 21.4f}, {1, 12},        {3.3f, 1.7f}};
    for (const auto& p : rim) fan.push_back({p[0], p[1], 0.5f, 1, step, 0, 0});
    device->DrawPrimitive(D3DPT_TRIANGLEFAN, kTLFvf, fan.data(), 10, 0);
    // The same outline split differently: a quad as two triangles along its other diagonal.
    Save("shared-edges");
    int covered = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            ASSERT_LE(R5(Px(x, y)), 1) << "pixel " << x << "," << y << " drawn twice";
            covered += R5(Px(x, y));
        }
    }
    // Every centre strictly inside the rim is covered; the centre and the spokes are inside.
    EXPECT_EQ(R5(Px(15, 12)), 1);
    EXPECT_EQ(R5(Px(15, 5)), 1);
    EXPECT_EQ(R5(Px(20, 12)), 1);
    EXPECT_EQ(R5(Px(15, 20)), 1);
    EXPECT_EQ(R5(Px(5, 12)), 1);
    EXPECT_GT(covered, 400);

    // Two triangles of a quad with the diagonal through pixel centres (4,4)..(20,20).
    ClearTo(0);
    const TLVertex a[6] = {{4, 4, 0.5f, 1, step, 0, 0},   {20, 4, 0.5f, 1, step, 0, 0},
                           {20, 20, 0.5f, 1, step, 0, 0}, {4, 4, 0.5f, 1, step, 0, 0},
                           {20, 20, 0.5f, 1, step, 0, 0}, {4, 20, 0.5f, 1, step, 0, 0}};
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kTLFvf, a, 6, 0);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool inside = x >= 4 && x < 20 && y >= 4 && y < 20;
            EXPECT_EQ(R5(Px(x, y)), inside ? 1 : 0) << x << "," << y;
        }
    }
}

TEST_P(RenderTest, ClockwiseFacesAreDrawnAndOthersCulled) {
    const TLVertex cw[3] = {{2, 2, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                            {12, 2, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                            {2, 12, 0.5f, 1, 0xFFFFFFFF, 0, 0}};
    const TLVertex ccw[3] = {cw[0], cw[2], cw[1]};
    ClearTo(0);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kTLFvf, cw, 3, 0);
    EXPECT_EQ(Px(4, 4), 0xFFFF);
    ClearTo(0);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kTLFvf, ccw, 3, 0);
    EXPECT_EQ(CountChanged(0), 0) << "counter-clockwise culled by default";

    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kTLFvf, cw, 3, 0);
    EXPECT_EQ(CountChanged(0), 0);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kTLFvf, ccw, 3, 0);
    EXPECT_EQ(Px(4, 4), 0xFFFF);

    ClearTo(0);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kTLFvf, ccw, 3, 0);
    EXPECT_EQ(Px(4, 4), 0xFFFF);

    // Strips keep one facing: every second triangle is taken in reverse order.
    ClearTo(0);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    const TLVertex strip[4] = {{2, 2, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                               {12, 2, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                               {2, 12, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                               {12, 12, 0.5f, 1, 0xFFFFFFFF, 0, 0}};
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, kTLFvf, strip, 4, 0);
    EXPECT_EQ(CountChanged(0), 100);
}

TEST_P(RenderTest, FlatShadingTakesTheFirstVertexColour) {
    ClearTo(0);
    const TLVertex tri[3] = {{2, 2, 0.5f, 1, 0xFFFF0000, 0, 0},
                             {20, 2, 0.5f, 1, 0xFF00FF00, 0, 0},
                             {2, 20, 0.5f, 1, 0xFF0000FF, 0, 0}};
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kTLFvf, tri, 3, 0);
    EXPECT_NE(Px(10, 3), Px(3, 10)) << "Gouraud blends the corners";
    device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kTLFvf, tri, 3, 0);
    EXPECT_EQ(Px(10, 3), 0xF800);
    EXPECT_EQ(Px(3, 10), 0xF800);
    EXPECT_EQ(Px(8, 8), 0xF800);
}

// ---------------------------------------------------------------- depth

TEST_P(RenderTest, DepthLessEqualKeepsTheNearerAndAlwaysPaintsOver) {
    ClearTo(0);
    Rect(0, 0, 16, 16, 0xFFFF0000, 0.25f);  // red, near
    Rect(8, 8, 24, 24, 0xFF00FF00, 0.75f);  // green, far
    EXPECT_EQ(Px(10, 10), 0xF800);
    EXPECT_EQ(Px(20, 20), 0x07E0);
    EXPECT_EQ(Depth(10, 10), 16384);  // 0.25 × 65535, rounded
    EXPECT_EQ(Depth(20, 20), 49151);
    // Equal depth passes LESSEQUAL: a second pass over the same geometry draws.
    Rect(0, 0, 16, 16, 0xFF0000FF, 0.25f);
    EXPECT_EQ(Px(10, 10), 0x001F);

    device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS);
    Rect(8, 8, 24, 24, 0xFFFFFFFF, 0.75f);
    EXPECT_EQ(Px(10, 10), 0xFFFF);
    EXPECT_EQ(Depth(10, 10), 49151);

    device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESS);
    Rect(8, 8, 24, 24, 0xFFFF0000, 0.75f);
    EXPECT_EQ(Px(10, 10), 0xFFFF) << "LESS fails on equal depth";
}

TEST_P(RenderTest, DepthWritesOffLeaveTheBufferAlone) {
    ClearTo(0);
    device->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, 0);
    Rect(0, 0, 16, 16, 0xFFFF0000, 0.25f);
    EXPECT_EQ(Px(5, 5), 0xF800);
    EXPECT_EQ(Depth(5, 5), 65535);
    // Farther geometry still passes, since nothing was written.
    Rect(0, 0, 16, 16, 0xFF00FF00, 0.75f);
    EXPECT_EQ(Px(5, 5), 0x07E0);
    // Depth testing off: ZENABLE false ignores the buffer completely.
    device->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, 1);
    Rect(0, 0, 16, 16, 0xFF0000FF, 0.1f);
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
    Rect(0, 0, 16, 16, 0xFFFFFFFF, 0.9f);
    EXPECT_EQ(Px(5, 5), 0xFFFF);
    EXPECT_EQ(Depth(5, 5), 6554);
}

// ---------------------------------------------------------------- blending

// Destination for the blend cases: Clear with 0x808080 gives red 16, green 32, blue 16, which
// read back as 16×255/31 = 131.61, 32×255/63 = 129.52 and 131.61. Results are truncated to
// 5 and 6 bits.
TEST_P(RenderTest, BlendPairsTheSceneUsesOnKnownColours) {
    struct Case {
        int32_t src, dst;
        uint32_t color;  // ARGB of the drawn quad
        int r, g, b;
    };
    const Case cases[] = {
        // 131.61 + 64 = 195.61 -> 24; 129.52 + 32 = 161.52 -> 40; 131.61 + 16 -> 18
        {D3DBLEND_ONE, D3DBLEND_ONE, 0xFF402010, 24, 40, 18},
        // dest × (1 - src): 131.61 × 191/255 = 98.58 -> 12; 129.52 × 127/255 = 64.5 -> 16; 0
        {D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, 0xFF4080FF, 12, 16, 0},
        // dest × (1 - 64/255): 98.58 -> 12; 97.01 -> 24; 98.58 -> 12
        {D3DBLEND_ZERO, D3DBLEND_INVSRCALPHA, 0x40FFFFFF, 12, 24, 12},
        // alpha 128/255: 255 × 0.502 + 131.61 × 0.498 = 193.55 -> 24; 64.51 -> 16; 65.55 -> 8
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0x80FF0000, 24, 16, 8},
        // src + dest × (1 - src): 128 + 65.55 = 193.55 -> 24; 64 + 97.01 = 161.01 -> 40;
        // 0 + 131.61 -> 16
        {D3DBLEND_ONE, D3DBLEND_INVSRCCOLOR, 0xFF804000, 24, 40, 16},
    };
    for (const Case& c : cases) {
        ClearTo(0xFF808080);
        ASSERT_EQ(Px(0, 0), Rgb565(16, 32, 16));
        Blend(c.src, c.dst);
        Rect(0, 0, 8, 8, c.color);
        const uint16_t p = Px(3, 3);
        EXPECT_EQ(R5(p), c.r) << c.src << "/" << c.dst;
        EXPECT_EQ(G6(p), c.g) << c.src << "/" << c.dst;
        EXPECT_EQ(B5(p), c.b) << c.src << "/" << c.dst;
        EXPECT_EQ(Px(9, 9), Rgb565(16, 32, 16));
    }
}

TEST_P(RenderTest, EveryBlendFactorOnBothSides) {
    // Source (255, 0, 51) with alpha 0.4 over a destination of (0, 255, 131.61).
    // Factors for colour: ZERO 0, ONE 1, SRCCOLOR Cs, INVSRCCOLOR 1-Cs, SRCALPHA .4,
    // INVSRCALPHA .6, DESTALPHA 1, INVDESTALPHA 0, DESTCOLOR Cd, INVDESTCOLOR 1-Cd,
    // SRCALPHASAT min(.4, 1-1) = 0.
    const uint32_t src = 0x66FF0033;
    const float sr = 255, sg = 0, sb = 51, sa = 0.4f;
    const float dr = 0, dg = 255, db = 16 * 255.0f / 31;
    auto factor = [&](int32_t f, float s, float d) -> float {
        switch (f) {
            case D3DBLEND_ZERO:
                return 0;
            case D3DBLEND_ONE:
                return 1;
            case D3DBLEND_SRCCOLOR:
                return s / 255;
            case D3DBLEND_INVSRCCOLOR:
                return 1 - s / 255;
            case D3DBLEND_SRCALPHA:
                return sa;
            case D3DBLEND_INVSRCALPHA:
                return 1 - sa;
            case D3DBLEND_DESTALPHA:
                return 1;
            case D3DBLEND_INVDESTALPHA:
                return 0;
            case D3DBLEND_DESTCOLOR:
                return d / 255;
            case D3DBLEND_INVDESTCOLOR:
                return 1 - d / 255;
            default:
                return 0;  // SRCALPHASAT
        }
    };
    for (int32_t s = D3DBLEND_ZERO; s <= D3DBLEND_SRCALPHASAT; ++s) {
        for (int32_t d = D3DBLEND_ZERO; d <= D3DBLEND_SRCALPHASAT; ++d) {
            ClearTo(0xFF00FF80);
            Blend(s, d);
            Rect(0, 0, 4, 4, src);
            const float r = std::min(255.f, sr * factor(s, sr, dr) + dr * factor(d, sr, dr));
            const float g = std::min(255.f, sg * factor(s, sg, dg) + dg * factor(d, sg, dg));
            const float b = std::min(255.f, sb * factor(s, sb, db) + db * factor(d, sb, db));
            const uint16_t p = Px(1, 1);
            // Allow one step where the exact value sits on a 565 boundary.
            EXPECT_NEAR(R5(p), static_cast<int>(r / 8), 1) << s << "/" << d;
            EXPECT_NEAR(G6(p), static_cast<int>(g / 4), 1) << s << "/" << d;
            EXPECT_NEAR(B5(p), static_cast<int>(b / 8), 1) << s << "/" << d;
        }
    }
    // BOTHSRCALPHA as the source sets both factors: .4 × src + .6 × dest.
    ClearTo(0xFF00FF80);
    Blend(D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO);
    Rect(0, 0, 4, 4, src);
    EXPECT_EQ(R5(Px(1, 1)), 12);  // 102 -> 12
    EXPECT_EQ(G6(Px(1, 1)), 38);  // 153 -> 38
    EXPECT_EQ(B5(Px(1, 1)), 12);  // 20.4 + 78.97 = 99.37 -> 12
    // BOTHINVSRCALPHA: .6 × src + .4 × dest.
    ClearTo(0xFF00FF80);
    Blend(D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ZERO);
    Rect(0, 0, 4, 4, src);
    EXPECT_EQ(R5(Px(1, 1)), 19);  // 153 -> 19
    EXPECT_EQ(G6(Px(1, 1)), 25);  // 102 -> 25
    EXPECT_EQ(B5(Px(1, 1)), 10);  // 30.6 + 52.64 = 83.24 -> 10
}

TEST_P(RenderTest, DitherSpreadsAColourBetweenTwoLevels) {
    ClearTo(0);
    // Red 132 lies between the 5-bit levels 16 (128) and 17 (136).
    Rect(0, 0, 8, 8, 0xFF840000);
    EXPECT_EQ(R5(Px(0, 0)), 16);
    EXPECT_EQ(R5(Px(5, 6)), 16);
    device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 1);
    Rect(0, 0, 8, 8, 0xFF840000);
    // The 4×4 ordered pattern lifts the cells whose threshold (0..15, halved) reaches 4.
    const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(R5(Px(x, y)), bayer[y & 3][x & 3] >= 8 ? 17 : 16) << x << "," << y;
        }
    }
}

// ---------------------------------------------------------------- texturing

// Two texels across (black, red), repeated down; an 8-pixel quad maps u 0..1 over them, so
// pixel x samples u = x/8 (centres on whole coordinates).
TEST_P(RenderTest, PointAndLinearFilteringOfATwoByTwoTexture) {
    const SurfacePtr tex = MakeTexture(2, 2, {0x0000, 0xF800, 0x0000, 0xF800});
    device->SetTexture(0, tex);
    ClearTo(0);
    Rect(0, 0, 8, 8, 0xFFFFFFFF);
    // Point: texel floor(2u).
    const int point[8] = {0, 0, 0, 0, 31, 31, 31, 31};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Px(x, 3), Rgb565(point[x], 0, 0)) << x;

    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    Rect(0, 0, 8, 8, 0xFFFFFFFF);
    // Linear: 2u - 0.5 between texel centres, wrapping at the edges. x = 0 sits halfway
    // between texel 1 (wrapped) and texel 0: 127.5 -> 15; x = 1: a quarter red, 63.75 -> 7; ...
    const int linear[8] = {15, 7, 0, 7, 15, 23, 31, 23};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Px(x, 3), Rgb565(linear[x], 0, 0)) << x;
    Save("linear-2x2");

    // Modulation with the diffuse colour: half red, 63.75 -> 7 where the texel is full red.
    Rect(0, 0, 8, 8, 0xFF808080);
    EXPECT_EQ(R5(Px(6, 3)), 16);  // 255 × 128/255 = 128 -> 16
}

// A power-of-two texture wraps by masking the texel number, any other by division; both must
// pick the same texels and weights. An 8 × 2 texture and the same texels three times across
// (24 × 2) cover the same texel coordinates, also far out on either side, where a wrong mask,
// row shift or negative wrap shows.
TEST_P(RenderTest, PowerOfTwoTexturesWrapLikeAnyOther) {
    std::vector<uint16_t> narrow(16), wide(48);
    for (int i = 0; i < 16; ++i)
        narrow[static_cast<size_t>(i)] = static_cast<uint16_t>(i * 0x1083 + 0x0841);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 24; ++x)
            wide[static_cast<size_t>(y * 24 + x)] = narrow[static_cast<size_t>(y * 8 + x % 8)];
    }
    const SurfacePtr pow2 = MakeTexture(8, 2, narrow), other = MakeTexture(24, 2, wide);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    auto draw = [&](const SurfacePtr& tex, float u0, float u1, float v0, float v1) {
        device->SetTexture(0, tex);
        ClearTo(0);
        Rect(0, 0, 32, 8, 0xFFFFFFFF, 0.5f, u0, v0, u1, v1);
        std::vector<uint16_t> rows;
        for (int y = 0; y < 8; ++y) rows.insert(rows.end(), target->Row(y), target->Row(y) + 32);
        return rows;
    };
    // Texel coordinates -16 .. 8 across (three quarters of a texel a pixel, so the weights vary),
    // and -3 .. -1 down; then the same shifted by whole turns, up to 2^20 texels.
    const std::vector<uint16_t> reference = draw(other, -2.0f / 3.0f, 1.0f / 3.0f, -1.5f, -0.5f);
    EXPECT_GT(std::set<uint16_t>(reference.begin(), reference.end()).size(), 16u);
    for (const float turns : {0.0f, -5.0f, 3.0f, -131072.0f, 131072.0f}) {
        SCOPED_TRACE(turns);
        EXPECT_EQ(draw(pow2, turns - 2, turns + 1, -1.5f + turns, -0.5f + turns), reference);
    }
}

TEST_P(RenderTest, NoTextureIsWhiteAndSelectArg1TakesTheTexture) {
    ClearTo(0);
    Rect(0, 0, 4, 4, 0xFF204060);
    EXPECT_EQ(Px(1, 1), Rgb565(4, 16, 12));  // 32, 64, 96 truncated
    device->SetTexture(0, MakeTexture(1, 1, {0x07E0}));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Rect(0, 0, 4, 4, 0xFF204060);
    EXPECT_EQ(Px(1, 1), 0x07E0);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    Rect(0, 0, 4, 4, 0xFF204060);
    EXPECT_EQ(Px(1, 1), Rgb565(0, 16, 0));
}

// Whatever the kernels' arithmetic, the cases the scene relies on must give back the very 565
// value for every one of the 65536: a white diffuse modulating the texel, fog with a
// factor of 1, adding to black or adding black, the colour factors of a white or black source
// and the alpha factors 1 and 0. The texture (32 × 2048, texel i holds i) is drawn 16 rows
// at a time, one pixel a texel.
TEST_P(RenderTest, ColourStagesGiveBackEveryTexelWhereTheResultIsExact) {
    const SurfacePtr tex = EveryValueTexture();
    constexpr int kRows = kTexelRows;
    auto draw = [&](int row0, uint32_t color, uint32_t specular) {
        DrawTexelRows(row0, color, specular);
    };
    auto untextured = [&](uint32_t color) {
        device->SetTexture(0, nullptr);
        Rect(-0.5f, -0.5f, 31.5f, 15.5f, color);
        device->SetTexture(0, tex);
    };
    auto mismatches = [&](int row0) {
        return TexelRowMismatches(row0, [](uint16_t texel) { return texel; });
    };
    auto plain = [&] {
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
        device->SetRenderState(D3DRENDERSTATE_FOGENABLE, 0);
    };
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
    device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, static_cast<int32_t>(0xFF8040C0));
    device->SetTexture(0, tex);

    // Fog is really on: a factor of 0 gives the fog colour whatever the texel.
    ClearTo(0);
    device->SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
    draw(0, 0xFFFFFFFF, 0x00000000);
    EXPECT_EQ(Px(5, 5), Rgb565(16, 16, 24));
    plain();

    for (int row0 = 0; row0 < 2048; row0 += kRows) {
        SCOPED_TRACE(row0);
        ClearTo(0);
        draw(row0, 0xFFFFFFFF, 0xFF000000);
        EXPECT_EQ(mismatches(row0), 0) << "white diffuse";

        device->SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
        draw(row0, 0xFFFFFFFF, 0xFF000000);
        EXPECT_EQ(mismatches(row0), 0) << "fog factor 1";
        plain();

        ClearTo(0);
        Blend(D3DBLEND_ONE, D3DBLEND_ONE);
        draw(row0, 0xFFFFFFFF, 0xFF000000);
        EXPECT_EQ(mismatches(row0), 0) << "added to black";
        draw(row0, 0xFF000000, 0xFF000000);
        EXPECT_EQ(mismatches(row0), 0) << "black added";

        Blend(D3DBLEND_ZERO, D3DBLEND_SRCCOLOR);
        untextured(0xFFFFFFFF);
        EXPECT_EQ(mismatches(row0), 0) << "times white";
        Blend(D3DBLEND_ONE, D3DBLEND_INVSRCCOLOR);
        untextured(0xFF000000);
        EXPECT_EQ(mismatches(row0), 0) << "black over, inverse black";

        Blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        untextured(0x00FFFFFF);
        EXPECT_EQ(mismatches(row0), 0) << "alpha 0";
        ClearTo(static_cast<int32_t>(0xFFFFFFFF));
        draw(row0, 0xFFFFFFFF, 0xFF000000);
        EXPECT_EQ(mismatches(row0), 0) << "alpha 1";
        plain();
    }
}

// A channel that passes the top stays at 31 (or 63) and leaves its neighbours as they were,
// whatever the stage that overflows it: adding to the frame and adding the specular colour;
// and the dither's threshold on top of a full channel keeps it full.
TEST_P(RenderTest, ChannelsSaturateWithoutSpillingIntoTheirNeighbours) {
    const SurfacePtr tex = EveryValueTexture();
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
    device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 0);
    auto copy = [&](int row0) {
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
        device->SetTexture(0, tex);
        DrawTexelRows(row0, 0xFFFFFFFF, 0xFF000000);
    };
    auto add = [&](uint32_t color) {
        Blend(D3DBLEND_ONE, D3DBLEND_ONE);
        device->SetTexture(0, nullptr);
        Rect(-0.5f, -0.5f, 31.5f, 15.5f, color);
    };
    for (int row0 = 0; row0 < 2048; row0 += kTexelRows) {
        SCOPED_TRACE(row0);
        copy(row0);
        add(0xFFFF00FF);
        EXPECT_EQ(TexelRowMismatches(row0, [](uint16_t t) { return (t & 0x07E0) | 0xF81F; }), 0)
            << "red and blue full";
        copy(row0);
        add(0xFF00FF00);
        EXPECT_EQ(TexelRowMismatches(row0, [](uint16_t t) { return (t & 0xF81F) | 0x07E0; }), 0)
            << "green full";

        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
        device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, 1);
        device->SetTexture(0, tex);
        DrawTexelRows(row0, 0xFFFFFFFF, 0xFF00FF00);
        EXPECT_EQ(TexelRowMismatches(row0, [](uint16_t t) { return (t & 0xF81F) | 0x07E0; }), 0)
            << "green specular";
        device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, 0);

        copy(row0);
        device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 1);
        add(0xFFFFFFFF);
        EXPECT_EQ(TexelRowMismatches(row0, [](uint16_t) { return uint16_t{0xFFFF}; }), 0)
            << "white added, dithered";
        device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 0);
    }
}

// The alpha function means nothing while the test is off: a function that passes no pixel
// must not cost a draw its pixels (nor the device its kernels without the test).
TEST_P(RenderTest, AlphaFunctionWithTheTestOffDrawsEveryPixel) {
    device->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_NEVER);
    ClearTo(0);
    Rect(0, 0, 8, 8, 0x00FF0000);
    EXPECT_EQ(CountChanged(0), 64);
    device->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, 1);
    ClearTo(0);
    Rect(0, 0, 8, 8, 0x00FF0000);
    EXPECT_EQ(CountChanged(0), 0);
}

TEST_P(RenderTest, ColourKeyedTexelsAreDiscarded) {
    // Magenta top-left texel is the key.
    const SurfacePtr tex = MakeTexture(2, 2, {0xF81F, 0xFFFF, 0xFFFF, 0xFFFF}, 0xF81F);
    device->SetTexture(0, tex);
    ClearTo(0x000000FF);
    Rect(0, 0, 8, 8, 0xFFFFFFFF, 0.5f);
    EXPECT_EQ(Px(2, 2), 0xF81F) << "keying is off by default";
    ClearTo(0x000000FF);
    device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
    Rect(0, 0, 8, 8, 0xFFFFFFFF, 0.5f);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool keyed = x < 4 && y < 4;
            EXPECT_EQ(Px(x, y), keyed ? 0x001F : 0xFFFF) << x << "," << y;
            EXPECT_EQ(Depth(x, y), keyed ? 65535 : 32768) << "discarded pixels write no depth";
        }
    }
}

// ---------------------------------------------------------------- alpha test and depth bias

// Rows of three pixels, one per comparison function, and columns of eight, one per alpha, each
// pixel drawn or not as its 8-bit alpha compares with the reference 0x80.
TEST_P(RenderTest, AlphaTestKeepsPixelsWhoseAlphaPassesTheComparison) {
    const uint32_t alphas[4] = {0x00, 0x7F, 0x80, 0xFF};
    ClearTo(0);
    device->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_ALPHAREF, 0x80);
    for (int32_t func = D3DCMP_NEVER; func <= D3DCMP_ALWAYS; ++func) {
        device->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, func);
        const float y = static_cast<float>(3 * (func - 1));
        for (int i = 0; i < 4; ++i) {
            Rect(8.0f * i, y, 8.0f * i + 8, y + 3, alphas[i] << 24 | 0xFFFFFF);
        }
    }
    for (int32_t func = D3DCMP_NEVER; func <= D3DCMP_ALWAYS; ++func) {
        for (int i = 0; i < 4; ++i) {
            const uint32_t a = alphas[i], ref = 0x80;
            const bool pass =
                func == D3DCMP_ALWAYS || (func == D3DCMP_LESS && a < ref) ||
                (func == D3DCMP_EQUAL && a == ref) || (func == D3DCMP_LESSEQUAL && a <= ref) ||
                (func == D3DCMP_GREATER && a > ref) || (func == D3DCMP_NOTEQUAL && a != ref) ||
                (func == D3DCMP_GREATEREQUAL && a >= ref);
            const int x = 8 * i + 3, y = 3 * (func - 1) + 1;
            EXPECT_EQ(Px(x, y), pass ? 0xFFFF : 0) << "function " << func << " alpha " << a;
            EXPECT_EQ(Depth(x, y), pass ? 32768 : 65535) << "rejected pixels write no depth";
        }
    }
}

// The alpha tested is the stage's: a 565 texture's own alpha is 1 where the stage selects it,
// the diffuse alpha where it modulates; a pixel that fails is not blended either.
TEST_P(RenderTest, AlphaTestTakesTheStageAlphaBeforeBlending) {
    device->SetTexture(0, MakeTexture(2, 2, std::vector<uint16_t>(4, 0xFFFF)));
    device->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_LESS);
    device->SetRenderState(D3DRENDERSTATE_ALPHAREF, 0x80);
    ClearTo(0);
    Rect(0, 0, 8, 8, 0x00FFFFFF);  // texture alpha: 255, not less
    EXPECT_EQ(Px(3, 3), 0);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    Rect(0, 0, 8, 8, 0x00FFFFFF);  // 1 × 0: less
    EXPECT_EQ(Px(3, 3), 0xFFFF);
    device->SetTexture(0, nullptr);

    // Red at alpha 0x44 over blue: blended where it passes, untouched where it fails.
    Blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    for (const int32_t ref : {0x45, 0x44}) {
        ClearTo(0x000000FF);
        device->SetRenderState(D3DRENDERSTATE_ALPHAREF, ref);
        Rect(0, 0, 8, 8, 0x44FF0000);
        // 255 × 68/255 = 68 -> 8; 255 × 187/255 = 187 -> 23
        EXPECT_EQ(Px(3, 3), ref == 0x45 ? Rgb565(0, 0, 31) : Rgb565(8, 0, 23)) << ref;
    }
}

// Alpha running from 0 at the left edge to 1 at the right: the pixels that pass are the right
// part of each row, the same columns in every row, and about half of them.
TEST_P(RenderTest, AlphaTestOnInterpolatedAlphaCutsAStraightEdge) {
    ClearTo(0);
    device->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATER);
    device->SetRenderState(D3DRENDERSTATE_ALPHAREF, 0x7F);
    const TLVertex quad[4] = {{0, 0, 0.5f, 1, 0x00FFFFFF, 0, 0},
                              {kW, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                              {kW, kH, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                              {0, kH, 0.5f, 1, 0x00FFFFFF, 0, 0}};
    device->DrawPrimitive(D3DPT_TRIANGLEFAN, kTLFvf, quad, 4, 0);
    int first = 0;
    while (first < kW && Px(first, 0) == 0) ++first;
    EXPECT_GE(first, kW / 2 - 1);
    EXPECT_LE(first, kW / 2 + 1);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) EXPECT_EQ(Px(x, y), x >= first ? 0xFFFF : 0) << x << "," << y;
    }
}

// Coplanar quads: each step of bias draws one depth step nearer, so a later quad with a higher
// bias passes LESS where an unbiased one would not. Depth 0.25 is 16383.75, stored as 16384.
TEST_P(RenderTest, DepthBiasDrawsCoplanarQuadsInFront) {
    ClearTo(0);
    device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESS);
    Rect(0, 0, 8, 8, 0xFFFF0000, 0.25f);
    EXPECT_EQ(Depth(3, 3), 16384);
    Rect(0, 0, 8, 8, 0xFF00FF00, 0.25f);
    EXPECT_EQ(Px(3, 3), 0xF800) << "equal depth fails LESS";
    device->SetRenderState(D3DRENDERSTATE_ZBIAS, 1);
    Rect(0, 0, 8, 8, 0xFF00FF00, 0.25f);
    EXPECT_EQ(Px(3, 3), 0x07E0);
    EXPECT_EQ(Depth(3, 3), 16383);
    device->SetRenderState(D3DRENDERSTATE_ZBIAS, 16);
    Rect(0, 0, 8, 8, 0xFF0000FF, 0.25f);
    EXPECT_EQ(Px(3, 3), 0x001F);
    EXPECT_EQ(Depth(3, 3), 16368);
    // Nothing goes nearer than the near plane.
    Rect(0, 0, 8, 8, 0xFFFFFFFF, 0.0f);
    EXPECT_EQ(Depth(3, 3), 0);
    device->SetRenderState(D3DRENDERSTATE_ZBIAS, 0);
    Rect(0, 0, 8, 8, 0xFF00FF00, 0.25f);
    EXPECT_EQ(Px(3, 3), 0xFFFF);
}

TEST_P(RenderTest, TextureCoordinatesArePerspectiveCorrect) {
    // Eight texels whose red is 4 × index.
    std::vector<uint16_t> texels;
    for (int i = 0; i < 8; ++i) texels.push_back(static_cast<uint16_t>((4 * i) << 11));
    device->SetTexture(0, MakeTexture(8, 1, texels));
    ClearTo(0);
    // Left edge at w = 1, right edge at w = 4: at screen fraction s the coordinate is
    // u = s/4 / ((1 - s) + s/4).
    const TLVertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                              {16, 0, 0.5f, 0.25f, 0xFFFFFFFF, 1, 0},
                              {16, 4, 0.5f, 0.25f, 0xFFFFFFFF, 1, 1},
                              {0, 4, 0.5f, 1, 0xFFFFFFFF, 0, 1}};
    device->DrawPrimitive(D3DPT_TRIANGLEFAN, kTLFvf, quad, 4, 0);
    EXPECT_EQ(R5(Px(4, 2)), 0);    // s = 1/4: u = 0.077, texel 0
    EXPECT_EQ(R5(Px(8, 2)), 4);    // s = 1/2: u = 0.2, texel 1 (affine would give texel 4)
    EXPECT_EQ(R5(Px(12, 2)), 12);  // s = 3/4: u = 0.429, texel 3
    EXPECT_EQ(R5(Px(14, 2)), 20);  // s = 7/8: u = 0.636, texel 5
}

// A colour shared by all corners comes out across a steep perspective exactly as it does on
// a flat-on quad: interpolated as colour × rhw and divided back per pixel it would fall a hair
// short here and there, and the truncation to 565 would take a whole step.
TEST_P(RenderTest, ACornerColourSharedByAllIsTheSameUnderPerspective) {
    for (const bool textured : {false, true}) {
        if (textured) {
            device->SetTexture(0, MakeTexture(2, 2, std::vector<uint16_t>(4, 0xFFFF)));
            device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        }
        for (const uint32_t colour : {0xFF404040u, 0xFF8888C8u, 0xFFF8FCF8u, 0xFF0820A8u}) {
            auto draw = [&](float rhwFar, float rhwMid) {
                ClearTo(0);
                const TLVertex quad[4] = {{0, 0, 0.5f, 1, colour, 0, 0},
                                          {32, 0, 0.5f, rhwFar, colour, 1, 0},
                                          {32, 24, 0.5f, rhwFar * 1.3f, colour, 1, 1},
                                          {0, 24, 0.5f, rhwMid, colour, 0, 1}};
                device->DrawPrimitive(D3DPT_TRIANGLEFAN, kTLFvf, quad, 4, 0);
            };
            draw(1, 1);
            const uint16_t flat = Px(0, 0);
            // The far side a hundred times as far as the near one, and a corner in between.
            draw(0.01f, 0.7f);
            int differ = 0;
            for (int y = 0; y < kH; ++y) {
                for (int x = 0; x < kW; ++x) differ += Px(x, y) != flat;
            }
            EXPECT_EQ(differ, 0) << std::hex << "colour " << colour
                                 << (textured ? " textured" : "");
        }
    }
}

// ---------------------------------------------------------------- transform, light, fog

class SceneTest : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        if (IsSkipped()) return;
        device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, Projection(1.02f));
    }

    // A quad facing the camera at depth z, corners (±hx, ±hy), clockwise on screen.
    void Quad(float hx, float hy, float z, uint32_t color) {
        const D3DVERTEX q[4] = {{-hx, hy, z, 0, 0, -1, color, 0, 0},
                                {hx, hy, z, 0, 0, -1, color, 1, 0},
                                {hx, -hy, z, 0, 0, -1, color, 1, 1},
                                {-hx, -hy, z, 0, 0, -1, color, 0, 1}};
        device->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_VERTEX, q, 4, 0);
    }

    static D3DLIGHT7 Directional(D3DVECTOR direction, D3DCOLORVALUE diffuse) {
        D3DLIGHT7 l;
        l.dltType = D3DLIGHT_DIRECTIONAL;
        l.direction = direction;
        l.diffuse = diffuse;
        return l;
    }
    static D3DLIGHT7 Point(D3DVECTOR position, float range) {
        D3DLIGHT7 l;
        l.dltType = D3DLIGHT_POINT;
        l.position = position;
        l.range = range;
        l.attenuation1 = 1.0f;
        l.diffuse = {1, 1, 1, 0};
        return l;
    }
};

INSTANTIATE_TEST_SUITE_P(Kernels, SceneTest, kSpanBuilds, SpanBuildTestName);

TEST_P(SceneTest, DirectionalLightFollowsTheCosine) {
    ClearTo(0);
    // Light travelling along (0, -0.6, 0.8) meets the normal (0, 0, -1) at N·L = 0.8.
    device->SetLight(0, Directional({0, -0.6f, 0.8f}, {1, 0.5f, 0.25f, 0}));
    device->LightEnable(0, true);
    Quad(1, 1, 5, 0xFFFFFFFF);
    // 0.8, 0.4, 0.2 of white: 204, 102, 51.
    EXPECT_EQ(Px(16, 12), Rgb565(25, 25, 6));
    EXPECT_EQ(Px(0, 0), 0);
    // A face turned away from the light gets nothing.
    device->SetLight(0, Directional({0, 0, -1}, {1, 1, 1, 0}));
    Quad(1, 1, 5, 0xFFFFFFFF);
    EXPECT_EQ(Px(16, 12), 0);
}

TEST_P(SceneTest, PointLightInsideAndOutsideItsRange) {
    ClearTo(0x000000FF);
    // Light 2 units before a quad whose corners lie sqrt(4.5) = 2.1213 from it:
    // N·L = 2/2.1213 = 0.9428, attenuation 1/d = 0.4714, together 0.4444 -> 113.
    device->SetLight(1, Point({0, 0, 3}, 3.0f));
    device->LightEnable(1, true);
    Quad(0.5f, 0.5f, 5, 0xFFFFFFFF);
    EXPECT_EQ(Px(16, 12), Rgb565(14, 28, 14));
    // With a range of 2 every corner is out of reach: no light at all.
    device->SetLight(1, Point({0, 0, 3}, 2.0f));
    Quad(0.5f, 0.5f, 5, 0xFFFFFFFF);
    EXPECT_EQ(Px(16, 12), 0);
}

TEST_P(SceneTest, NegativeAmbientLightDarkens) {
    ClearTo(0x000000FF);
    device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x00333333);  // 0.2
    D3DMATERIAL7 m;
    m.ambient = {1, 1, 1, 1};
    device->SetMaterial(m);
    D3DLIGHT7 sun = Directional({0.5f, 0.25f, -0.75f}, {4, 2.2f, 0.75f, 0});
    sun.ambient = {0.75f, 0.6f, 0.5f, 0};
    D3DLIGHT7 dark = Point({0, 0, 3}, 4.0f);
    dark.diffuse = {0, 0, 0, 0};
    dark.ambient = {-0.4f, -0.9f, -1.2f, 0};
    device->SetLight(0, sun);
    device->SetLight(1, dark);
    device->LightEnable(0, true);
    device->LightEnable(1, true);
    // Black vertices (the diffuse source) leave only ambient: 0.2 + 0.75 - 0.4 × 0.4714 =
    // 0.7614 -> 194; 0.2 + 0.6 - 0.9 × 0.4714 = 0.3757 -> 96; 0.2 + 0.5 - 1.2 × 0.4714 =
    // 0.1343 -> 34.
    Quad(0.5f, 0.5f, 5, 0xFF000000);
    EXPECT_EQ(Px(16, 12), Rgb565(24, 24, 4));
    device->LightEnable(1, false);
    Quad(0.5f, 0.5f, 5, 0xFF000000);
    EXPECT_EQ(Px(16, 12), Rgb565(30, 51, 22));  // 0.95, 0.8, 0.7 -> 242, 204, 179
}

TEST_P(SceneTest, VertexColourModeChoosesTheColourSource) {
    ClearTo(0);
    device->SetLight(0, Directional({0, 0, 1}, {1, 1, 1, 0}));
    device->LightEnable(0, true);
    D3DMATERIAL7 m;
    m.diffuse = {0, 0, 1, 1};
    m.ambient = {0, 1, 0, 1};
    device->SetMaterial(m);
    Quad(1, 1, 5, 0xFFFF0000);
    EXPECT_EQ(Px(16, 12), 0xF800) << "COLORVERTEX on: the vertex colour is the diffuse";
    device->SetRenderState(D3DRENDERSTATE_COLORVERTEX, 0);
    Quad(1, 1, 5, 0xFFFF0000);
    EXPECT_EQ(Px(16, 12), 0x001F) << "COLORVERTEX off: the material";
    // With the ambient source on the vertex colour too and no light, only 0.2 × red remains;
    // with the ambient from the material it is 0.2 × green.
    device->SetRenderState(D3DRENDERSTATE_COLORVERTEX, 1);
    device->SetRenderState(D3DRENDERSTATE_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
    device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x00333333);
    device->LightEnable(0, false);
    Quad(1, 1, 5, 0xFFFF0000);
    EXPECT_EQ(Px(16, 12), Rgb565(6, 0, 0));  // 51 -> 6
    device->SetRenderState(D3DRENDERSTATE_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    Quad(1, 1, 5, 0xFFFF0000);
    EXPECT_EQ(Px(16, 12), Rgb565(0, 12, 0));  // 51 -> 12
    // Lighting off: the vertex colour as it is.
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
    Quad(1, 1, 5, 0xFF123456);
    EXPECT_EQ(Px(16, 12), Rgb565(0x12 >> 3, 0x34 >> 2, 0x56 >> 3));
}

TEST_P(SceneTest, SpecularHighlightOnlyWhenEnabled) {
    ClearTo(0x000000FF);
    // Light and viewer straight ahead of the quad's centre: N·H = 1, so the highlight is the
    // material's specular times the light's, 0.6 -> 153, added to a black diffuse.
    D3DLIGHT7 l = Directional({0, 0, 1}, {0, 0, 0, 0});
    l.specular = {1, 1, 1, 0};
    device->SetLight(0, l);
    device->LightEnable(0, true);
    D3DMATERIAL7 m;
    m.specular = {0.6f, 0.6f, 0.6f, 1};
    m.power = 10;
    device->SetMaterial(m);
    Quad(0.01f, 0.01f, 5, 0xFF000000);
    EXPECT_EQ(Px(16, 12), 0) << "specular is off by default";
    device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, 1);
    Quad(0.01f, 0.01f, 5, 0xFF000000);
    EXPECT_EQ(Px(16, 12), Rgb565(19, 38, 19));
}

TEST_P(SceneTest, LinearRangeFogAtAKnownDistance) {
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
    device->SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, static_cast<int32_t>(0xFF5F83CC));
    device->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(28.0f));
    device->SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(32.0f));
    device->SetRenderState(D3DRENDERSTATE_RANGEFOGENABLE, 1);
    ClearTo(0);
    // Corners (±6, ±4.5, 29.047) lie exactly 30 from the eye: fog factor 0.5, stored as
    // 128/255. Colour = f × white + (1 - f) × (95, 131, 204) = 175.3, 193.2, 229.6.
    const float z = std::sqrt(900.0f - 36.0f - 20.25f);
    Quad(6, 4.5f, z, 0xFFFFFFFF);
    EXPECT_EQ(Px(16, 12), Rgb565(21, 48, 28));
    // Without range fog the distance is the depth, 29.047: f = 0.738 (188/255).
    device->SetRenderState(D3DRENDERSTATE_RANGEFOGENABLE, 0);
    Quad(6, 4.5f, z, 0xFFFFFFFF);
    EXPECT_EQ(Px(16, 12), Rgb565(26, 55, 30));
    // Past the end only the fog colour remains, exactly the colour Clear gives it.
    ClearTo(0);
    Quad(10, 10, 40, 0xFFFFFFFF);
    device->Clear(1, std::vector<D3DRECT>{{0, 0, 4, 4}}.data(), D3DCLEAR_TARGET,
                  static_cast<int32_t>(0xFF5F83CC), 1.0f, 0);
    EXPECT_EQ(Px(16, 12), Px(1, 1));
    EXPECT_EQ(Px(16, 12), Rgb565(11, 32, 25));
}

TEST_P(SceneTest, FogColourZeroUnderAdditiveBlendingAddsNothing) {
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
    device->SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, 0);
    device->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(28.0f));
    device->SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(32.0f));
    device->SetRenderState(D3DRENDERSTATE_RANGEFOGENABLE, 1);
    Blend(D3DBLEND_ONE, D3DBLEND_ONE);
    ClearTo(0xFF808080);
    Quad(10, 10, 40, 0xFFFFFFFF);
    EXPECT_EQ(Px(16, 12), Rgb565(16, 32, 16));
    // Nearer, half fogged towards black: adds 128.
    const float z = std::sqrt(900.0f - 36.0f - 20.25f);
    Quad(6, 4.5f, z, 0xFFFFFFFF);
    EXPECT_EQ(Px(16, 12), Rgb565(31, 63, 31));  // 131.6 + 128 and 129.5 + 128, clamped
}

// ---------------------------------------------------------------- primitives and clipping

TEST_P(RenderTest, WireframeAndPointLists) {
    ClearTo(0);
    device->SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME);
    const TLVertex tri[3] = {{2, 2, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                             {12, 2, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                             {2, 12, 0.5f, 1, 0xFFFFFFFF, 0, 0}};
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kTLFvf, tri, 3, 0);
    Save("wireframe");
    // Each edge is a line between its corners (end pixel included while LASTPIXEL is on), so
    // the outline is closed; the sets below split it by edge without counting a corner twice.
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool top = y == 2 && x >= 2 && x <= 11;
            const bool diagonal = x + y == 14 && x >= 3 && x <= 12;
            const bool left = x == 2 && y >= 3 && y <= 12;
            EXPECT_EQ(Px(x, y), top || diagonal || left ? 0xFFFF : 0) << x << "," << y;
        }
    }
    // A counter-clockwise triangle is culled in wireframe too.
    ClearTo(0);
    const TLVertex back[3] = {tri[0], tri[2], tri[1]};
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kTLFvf, back, 3, 0);
    EXPECT_EQ(CountChanged(0), 0);

    // Points land on the nearest pixel centre.
    const TLVertex points[2] = {{3.2f, 4.7f, 0.5f, 1, 0xFFFF0000, 0, 0},
                                {10.5f, 7.49f, 0.5f, 1, 0xFF00FF00, 0, 0}};
    device->DrawPrimitive(D3DPT_POINTLIST, kTLFvf, points, 2, 0);
    EXPECT_EQ(CountChanged(0), 2);
    EXPECT_EQ(Px(3, 5), 0xF800);
    EXPECT_EQ(Px(11, 7), 0x07E0);

    // Line lists and strips.
    ClearTo(0);
    const TLVertex line[3] = {{1, 20, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                              {9, 20, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                              {9, 16, 0.5f, 1, 0xFFFFFFFF, 0, 0}};
    // LASTPIXEL is on by default: every line ends on its last pixel.
    device->DrawPrimitive(D3DPT_LINESTRIP, kTLFvf, line, 3, 0);
    EXPECT_EQ(CountChanged(0), 13);
    EXPECT_EQ(Px(1, 20), 0xFFFF);
    EXPECT_EQ(Px(9, 20), 0xFFFF);
    EXPECT_EQ(Px(9, 16), 0xFFFF);
    ClearTo(0);
    device->DrawPrimitive(D3DPT_LINELIST, kTLFvf, line, 3, 0);
    EXPECT_EQ(CountChanged(0), 9);
    // Off, the end pixel is left out so that joined lines do not overlap.
    device->SetRenderState(D3DRENDERSTATE_LASTPIXEL, 0);
    ClearTo(0);
    device->DrawPrimitive(D3DPT_LINESTRIP, kTLFvf, line, 3, 0);
    EXPECT_EQ(CountChanged(0), 12);
    EXPECT_EQ(Px(9, 17), 0xFFFF);
    EXPECT_EQ(Px(9, 16), 0);
    ClearTo(0);
    device->DrawPrimitive(D3DPT_LINELIST, kTLFvf, line, 3, 0);
    EXPECT_EQ(CountChanged(0), 8);
    device->SetRenderState(D3DRENDERSTATE_LASTPIXEL, 1);
}

TEST_P(SceneTest, TriangleCrossingTheNearPlaneIsClipped) {
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
    ClearTo(0);
    // A floor triangle one unit below the eye whose third corner is behind it.
    const D3DVERTEX tri[3] = {{-3, -1, 6, 0, 1, 0, 0xFFFFFFFF, 0, 0},
                              {3, -1, 6, 0, 1, 0, 0xFFFFFFFF, 0, 0},
                              {0, -1, -6, 0, 1, 0, 0xFFFFFFFF, 0, 0}};
    device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, tri, 3, 0);
    Save("near-plane");
    // The far edge projects to row 16, from x = 4 to 28; below it the floor widens past the
    // screen edges; above it nothing may appear.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < kW; ++x) ASSERT_EQ(Px(x, y), 0) << x << "," << y;
    for (int x = 0; x < kW; ++x) EXPECT_EQ(Px(x, 16), x >= 4 && x < 28 ? 0xFFFF : 0) << x;
    for (int x = 0; x < kW; ++x) EXPECT_EQ(Px(x, kH - 1), 0xFFFF) << x;
}

TEST_P(SceneTest, FarPlaneDependsOnTheProjection) {
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
    ClearTo(0);
    // rc33 = 1.02 puts the far plane at z = 50: a quad at 5000 is clipped away.
    Quad(1000, 1000, 5000, 0xFFFFFFFF);
    EXPECT_EQ(CountChanged(0), 0);
    // rc33 = 1.0 has no far plane: z/w = 4999/5000 stays inside and wins against the clear.
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, Projection(1.0f));
    Quad(1000, 1000, 5000, 0xFFFFFFFF);
    EXPECT_EQ(Px(16, 12), 0xFFFF);
    EXPECT_EQ(Depth(16, 12), 65522);
}

TEST_P(SceneTest, ProcessedVertexBufferDrawsLikeDirectDrawing) {
    // A lit, fogged, textured strip of ground running from behind the eye into the distance,
    // so that some triangles need near clipping.
    std::vector<D3DVERTEX> ground;
    std::vector<uint16_t> indices;
    for (int row = 0; row <= 6; ++row) {
        for (int col = 0; col <= 4; ++col) {
            const float x = -4.0f + 2.0f * col, z = -3.0f + 6.0f * row;
            const uint32_t color = 0xFF000000u | static_cast<uint32_t>(row * 40) << 16 |
                                   static_cast<uint32_t>(col * 60) << 8 | 0x80u;
            ground.push_back(
                {x, -1.5f + 0.1f * col, z, 0.1f, 1, -0.05f, color, x * 0.3f, z * 0.2f});
        }
    }
    for (int row = 0; row < 6; ++row) {
        for (int col = 0; col < 4; ++col) {
            const uint16_t a = static_cast<uint16_t>(row * 5 + col), b = a + 1, c = a + 5,
                           d = a + 6;
            for (uint16_t i : {c, d, a, a, d, b}) indices.push_back(i);
        }
    }
    const SurfacePtr tex =
        MakeTexture(4, 4,
                    {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x07E0, 0x001F, 0xFFFF, 0xF800, 0x001F, 0xFFFF,
                     0xF800, 0x07E0, 0xFFFF, 0xF800, 0x07E0, 0x001F});
    device->SetTexture(0, tex);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x00333333);
    device->SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, static_cast<int32_t>(0xFF5F83CC));
    device->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(10.0f));
    device->SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(30.0f));
    device->SetRenderState(D3DRENDERSTATE_RANGEFOGENABLE, 1);
    D3DLIGHT7 sun = Directional({0.5f, -0.25f, 0.75f}, {0.9f, 0.8f, 0.6f, 0});
    sun.ambient = {0.3f, 0.2f, 0.1f, 0};
    device->SetLight(0, sun);
    device->SetLight(1, Point({1, 0, 4}, 6.0f));
    device->LightEnable(0, true);
    device->LightEnable(1, true);
    D3DMATRIX world = Identity();
    world.rc41 = 0.5f;  // a world transform that is not the identity
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, world);

    ClearTo(0);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, ground.data(),
                                 static_cast<int32_t>(ground.size()), indices.data(),
                                 static_cast<int32_t>(indices.size()), D3DDP_WAIT);
    Save("direct");
    const std::vector<uint16_t> direct(target->Pixels(), target->Pixels() + kW * kH);
    const std::vector<uint16_t> directDepth(target->AttachedDepth()->Pixels(),
                                            target->AttachedDepth()->Pixels() + kW * kH);
    int drawn = 0;
    for (uint16_t p : direct) drawn += p != 0;
    ASSERT_GT(drawn, kW * kH / 3);

    D3DVERTEXBUFFERDESC desc;
    desc.lCaps = D3DVBCAPS_WRITEONLY;
    desc.lFVF = D3DFVF_VERTEX;
    desc.lNumVertices = 512;
    auto source = d3d->CreateVertexBuffer(desc, 0);
    desc.lFVF = 708;
    auto processed = d3d->CreateVertexBuffer(desc, 0);
    source->Lock(DDLOCK_WAIT | DDLOCK_WRITEONLY);
    source->SetVertices(0, static_cast<int32_t>(ground.size()), ground.data());
    source->Unlock();
    // Processed in two groups, as models are.
    processed->ProcessVertices(D3DVOP_TRANSFORM | D3DVOP_CLIP | D3DVOP_LIGHT, 0, 12, *source, 0,
                               *device, 0);
    processed->ProcessVertices(D3DVOP_TRANSFORM | D3DVOP_CLIP | D3DVOP_LIGHT, 12,
                               static_cast<int32_t>(ground.size()) - 12, *source, 12, *device, 0);
    ClearTo(0);
    device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, *processed, 0,
                                   static_cast<int32_t>(ground.size()), indices.data(),
                                   static_cast<int32_t>(indices.size()), 0);
    Save("processed");
    int differing = 0;
    for (int i = 0; i < kW * kH; ++i) {
        differing += target->Pixels()[i] != direct[static_cast<size_t>(i)];
        differing += target->AttachedDepth()->Pixels()[i] != directDepth[static_cast<size_t>(i)];
    }
    EXPECT_EQ(differing, 0);

    // The untransformed buffer drawn directly gives the same picture as well.
    ClearTo(0);
    device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, *source, 0,
                                   static_cast<int32_t>(ground.size()), indices.data(),
                                   static_cast<int32_t>(indices.size()), 0);
    EXPECT_TRUE(std::equal(direct.begin(), direct.end(), target->Pixels()));
}

TEST_P(RenderTest, ClearCutsRectanglesToTheViewport) {
    ClearTo(0);
    SmallViewport();
    const D3DRECT rects[2] = {{0, 0, 6, 6}, {12, 8, 30, 20}};
    device->Clear(2, rects, D3DCLEAR_TARGET, static_cast<int32_t>(0xFFFFFFFF), 0.0f, 0);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool first = x >= 4 && x < 6 && y >= 2 && y < 6;
            const bool second = x >= 12 && x < 14 && y >= 8 && y < 10;
            EXPECT_EQ(Px(x, y), first || second ? 0xFFFF : 0) << x << "," << y;
            EXPECT_EQ(Depth(x, y), 65535) << "only the target was cleared";
        }
    }
    // Drawing keeps to the viewport too.
    Rect(-10, -10, 40, 40, 0xFFFF0000);
    int red = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) red += Px(x, y) == 0xF800;
    EXPECT_EQ(red, 10 * 8);
    EXPECT_EQ(Px(3, 5), 0);
    EXPECT_EQ(Px(4, 2), 0xF800);
    EXPECT_EQ(Px(13, 9), 0xF800);
}

// Lines are walked only where they can draw; the part of a line inside the viewport must come
// out whole whichever way the line runs and however far past the edges it reaches.
TEST_P(RenderTest, LinesReachingPastTheViewportDrawTheirInsidePart) {
    ClearTo(0);
    SmallViewport();
    auto draw = [&](float x0, float y0, float x1, float y1) {
        const TLVertex line[2] = {{x0, y0, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                                  {x1, y1, 0.5f, 1, 0xFFFFFFFF, 0, 0}};
        device->DrawPrimitive(D3DPT_LINELIST, kTLFvf, line, 2, 0);
    };
    auto expect = [&](auto inside, const char* what) {
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                EXPECT_EQ(Px(x, y), inside(x, y) ? 0xFFFF : 0) << what << " " << x << "," << y;
            }
        }
        ClearTo(0);
    };
    const auto row5 = [](int x, int y) { return y == 5 && x >= 4 && x < 14; };
    const auto column8 = [](int x, int y) { return x == 8 && y >= 2 && y < 10; };
    const auto diagonal = [](int x, int y) { return x == y && x >= 4 && x < 10; };
    draw(-40, 5, 60, 5);
    expect(row5, "rightwards");
    draw(60, 5, -40, 5);
    expect(row5, "leftwards");
    draw(8, -30, 8, 50);
    expect(column8, "downwards");
    draw(8, 50, 8, -30);
    expect(column8, "upwards");
    draw(-20, -20, 40, 40);
    expect(diagonal, "diagonal");
    draw(40, 40, -20, -20);
    expect(diagonal, "diagonal back");
    // Wholly beside the viewport along its major axis: nothing.
    draw(20, 5, 30, 6);
    draw(-9, 5, 3, 5);
    expect([](int, int) { return false; }, "beside");
}

// Clipping against several planes at once: with coordinates this far apart, rounding bends the
// clipped polygon so that later planes cross it more often than a straight-edged one allows.
// These triangles (found by a random search) once ran past the clipper's vertex arrays; they
// must draw, or be dropped, without touching anything else, and the device must go on as before.
TEST_P(SceneTest, TrianglesThatRoundingBendsWhileClippedStayInTheirBuffers) {
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    ClearTo(0);
    const float corners[][3][3] = {
        {{0x1.c695a2p+4f, 0x1.40dc7ep+6f, -0x1.6aa146p+79f},
         {-0x1.337ed4p+49f, 0x1.f3249ap+32f, 0x1.30c8dep+83f},
         {0x1.1e4d24p+2f, -0x1.a9bab8p+2f, 0x1.4dd288p+21f}},
        {{0x1.6d1abcp+89f, 0x1.f75534p+102f, 0x1.4f7072p+34f},
         {-0x1.a0e3a8p+49f, 0x1.4a6c56p+26f, 0x1.a77cd8p+54f},
         {-0x1.72569cp+45f, -0x1.bd746cp+4f, -0x1.db0034p+25f}},
        {{0x1.83f4ccp+92f, -0x1.1b022cp+2f, -0x1.d590ap+82f},
         {-0x1.23249cp+3f, 0x1.e391cp+0f, -0x1.1d94cep+43f},
         {0x1.47df42p+21f, -0x1.f52144p+45f, 0x1.85230cp+52f}},
        {{-0x1.9d051ap+25f, -0x1.15e16ap+9f, 0x1.3a15aep+73f},
         {0x1.d96588p+2f, 0x1.3c28c4p+89f, 0x1.41a53cp+122f},
         {0x1.167b7cp+65f, 0x1.9a8a5cp+1f, -0x1.8c026ep+112f}},
        {{0x1.47d988p+2f, 0x1.50be3cp+49f, 0x1.93d844p+69f},
         {0x1.378bf6p+28f, 0x1.461b72p+19f, -0x1.473022p+105f},
         {0x1.4107a2p+1f, -0x1.84d222p+21f, 0x1.201c94p+2f}},
    };
    for (const auto& c : corners) {
        D3DVERTEX tri[3];
        for (int i = 0; i < 3; ++i)
            tri[i] = {c[i][0], c[i][1], c[i][2], 0, 0, -1, 0xFFFF0000, 0, 0};
        for (int fill : {D3DFILL_SOLID, D3DFILL_WIREFRAME}) {
            device->SetRenderState(D3DRENDERSTATE_FILLMODE, fill);
            device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, tri, 3, 0);
        }
    }
    device->SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
    // Afterwards an ordinary quad covers the whole screen in its own colour.
    ClearTo(0);
    Quad(40, 30, 10, 0xFF00FF00);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) ASSERT_EQ(Px(x, y), 0x07E0) << x << "," << y;
}

}  // namespace
