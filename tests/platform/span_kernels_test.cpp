// The NEON, AVX2 and AVX-512 builds have a span kernel for each combination of depth mode, fog,
// blending and texture wrap, and alpha-tested kernels that read those stages per draw, as the
// portable build does. All must draw the same bits for every combination, perspective and
// affine, on power-of-two textures and others.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/dx/D3DSpan.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/DirectDraw.h"
#include "platform/host/HeadlessHost.h"

namespace {

struct Stages {
    int filter;  // 0 none, 1 point, 2 linear
    int depth;   // 0 off, 1 test, 2 test and write, 3 greater with write
    bool fog;
    int blend;  // 0 off, 1 add, 2 source alpha, 3 colour factors, 4 inverse source colour
    bool pow2;
    bool alphaTest;  // the stage's alpha (the diffuse alpha) tested GREATEREQUAL 0x70
};

std::string Name(const Stages& s) {
    return "filter " + std::to_string(s.filter) + " depth " + std::to_string(s.depth) + " fog " +
           std::to_string(s.fog) + " blend " + std::to_string(s.blend) + " pow2 " +
           std::to_string(s.pow2) + " alpha test " + std::to_string(s.alphaTest);
}

class SpanKernelsTest : public ::testing::Test {
  protected:
    static constexpr int kW = 40, kH = 32;

    void SetUp() override {
        DDSURFACEDESC2 d;
        d.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.lCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
        d.lWidth = kW;
        d.lHeight = kH;
        target = dd.CreateSurface(d);
        DDSURFACEDESC2 z = d;
        z.lFlags |= DDSD_PIXELFORMAT;
        z.ddsCaps.lCaps = DDSCAPS_ZBUFFER;
        d3d->GetEnumZBufferFormats("IID_IDirect3DHALDevice")->GetItem(1, z.ddpfPixelFormat);
        target->AddAttachedSurface(dd.CreateSurface(z));
        device = d3d->CreateDevice("IID_IDirect3DHALDevice", target);
        if (!device->UsesAvx2Spans()) GTEST_SKIP() << "no vector kernels on this CPU";
        pow2 = Texture(16, 8);
        other = Texture(12, 10);

        D3DMATRIX projection;
        projection.rc11 = 1.5f;
        projection.rc22 = 2.0f;
        projection.rc33 = 1.02f;
        projection.rc34 = 1.0f;
        projection.rc43 = -1.0f;
        device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, projection);
        device->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
        device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, static_cast<int32_t>(0xFF5F83CC));
        device->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
        device->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(4.0f));
        device->SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(12.0f));
        device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 1);
        device->BeginScene();
    }

    SurfacePtr Texture(int w, int h) {
        DDSURFACEDESC2 t;
        t.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        t.ddsCaps.lCaps = DDSCAPS_TEXTURE;
        t.lWidth = w;
        t.lHeight = h;
        SurfacePtr s = dd.CreateSurface(t);
        uint32_t seed = static_cast<uint32_t>(w * 131 + h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                seed = seed * 1664525u + 1013904223u;
                s->Row(y)[x] = static_cast<uint16_t>(seed >> 16);
            }
        }
        return s;
    }

    // A lit background with depth, then a tilted quad (every pixel its own divide), a quad
    // facing the camera (affine) and a tilted triangle of one colour in the stages under test,
    // texture coordinates running past both ends. Returns the colour and depth rows.
    std::vector<uint16_t> Render(const Stages& s, d3d::SpanBuild build) {
        Direct3DDevice7& dev = *device;
        dev.LimitSpans(build);
        dev.SetTexture(0, nullptr);
        dev.SetRenderState(D3DRENDERSTATE_FOGENABLE, 0);
        dev.SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
        dev.SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, 0);
        dev.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        dev.SetRenderState(D3DRENDERSTATE_ZENABLE, 1);
        dev.SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, 1);
        dev.SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
        dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0);
        const D3DVERTEX back[4] = {{-9, 7, 10, 0, 0, -1, 0xFFFF0000u, 0, 0},
                                   {9, 7, 6, 0, 0, -1, 0xFF00FF00u, 0, 0},
                                   {9, -7, 6, 0, 0, -1, 0xFF0000FFu, 0, 0},
                                   {-9, -7, 10, 0, 0, -1, 0xFFFFFFFFu, 0, 0}};
        dev.DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_VERTEX, back, 4, 0);
        background.assign(target->Row(0), target->Row(0) + kW * kH);

        dev.SetTexture(0, s.filter == 0 ? nullptr : (s.pow2 ? pow2 : other));
        const int32_t filter = s.filter == 2 ? D3DTFG_LINEAR : D3DTFG_POINT;
        dev.SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
        dev.SetTextureStageState(0, D3DTSS_MINFILTER,
                                 filter == D3DTFG_LINEAR ? D3DTFN_LINEAR : D3DTFN_POINT);
        dev.SetRenderState(D3DRENDERSTATE_ZENABLE, s.depth != 0);
        dev.SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, s.depth >= 2);
        dev.SetRenderState(D3DRENDERSTATE_ZFUNC, s.depth == 3 ? D3DCMP_GREATER : D3DCMP_LESSEQUAL);
        dev.SetRenderState(D3DRENDERSTATE_FOGENABLE, s.fog);
        const int32_t pairs[5][2] = {{D3DBLEND_ONE, D3DBLEND_ZERO},
                                     {D3DBLEND_ONE, D3DBLEND_ONE},
                                     {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                                     {D3DBLEND_SRCCOLOR, D3DBLEND_INVDESTCOLOR},
                                     {D3DBLEND_ONE, D3DBLEND_INVSRCCOLOR}};
        dev.SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, s.blend != 0);
        dev.SetRenderState(D3DRENDERSTATE_SRCBLEND, pairs[s.blend][0]);
        dev.SetRenderState(D3DRENDERSTATE_DESTBLEND, pairs[s.blend][1]);
        dev.SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, s.alphaTest);
        dev.SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        dev.SetRenderState(D3DRENDERSTATE_ALPHAREF, 0x70);
        // Textured too, the alpha comes from the corners.
        dev.SetTextureStageState(0, D3DTSS_ALPHAOP,
                                 s.alphaTest ? D3DTOP_MODULATE : D3DTOP_SELECTARG1);
        const D3DVERTEX tilted[4] = {{-6, 5, 12, 0, 0, -1, 0x40FF8040u, -1.3f, -0.7f},
                                     {6, 5, 12, 0, 0, -1, 0xFF40C0FFu, 2.6f, -0.7f},
                                     {5, -4, 5, 0, 0, -1, 0xC0FFFFFFu, 2.6f, 1.9f},
                                     {-5, -4, 5, 0, 0, -1, 0x80808080u, -1.3f, 1.9f}};
        dev.DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_VERTEX, tilted, 4, 0);
        const D3DVERTEX facing[4] = {{-3, 2, 7, 0, 0, -1, 0xA0FFFFFFu, -2.2f, 3.1f},
                                     {3, 2, 7, 0, 0, -1, 0x60FF0000u, 0.4f, 3.1f},
                                     {3, -2, 7, 0, 0, -1, 0xFF00FF00u, 0.4f, 4.4f},
                                     {-3, -2, 7, 0, 0, -1, 0x200000FFu, -2.2f, 4.4f}};
        dev.DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_VERTEX, facing, 4, 0);
        // One colour at every corner: drawn by the kernels that take it without interpolating.
        const uint32_t shared = 0x9CD0A050u;
        const D3DVERTEX even[3] = {{-8, -1, 11, 0, 0, -1, shared, -0.6f, 0.2f},
                                   {-1, -6, 5, 0, 0, -1, shared, 1.7f, 2.3f},
                                   {-8, -6, 6, 0, 0, -1, shared, -0.6f, 2.3f}};
        dev.DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, even, 3, 0);

        std::vector<uint16_t> out;
        for (int y = 0; y < kH; ++y) out.insert(out.end(), target->Row(y), target->Row(y) + kW);
        const SurfacePtr depth = target->AttachedDepth();
        for (int y = 0; y < kH; ++y) out.insert(out.end(), depth->Row(y), depth->Row(y) + kW);
        return out;
    }

    HeadlessHost host{HeadlessOptions{}};
    DirectDraw7 dd{host};
    std::shared_ptr<Direct3D7> d3d = dd.GetDirect3D();
    SurfacePtr target, pow2, other;
    std::vector<uint16_t> background;
    std::shared_ptr<Direct3DDevice7> device;
};

TEST_F(SpanKernelsTest, EveryStageCombinationDrawsTheSameBitsOnEveryBuild) {
    std::vector<d3d::SpanBuild> vector;  // the builds this CPU runs besides the portable one
    for (d3d::SpanBuild b : {d3d::SpanBuild::Neon, d3d::SpanBuild::Simd128, d3d::SpanBuild::Avx2,
                             d3d::SpanBuild::Avx512}) {
        device->LimitSpans(b);
        if (device->Spans() == b) vector.push_back(b);
    }
    std::vector<uint16_t> bits;  // every combination's pixels, in order
    for (int filter = 0; filter < 3; ++filter) {
        for (int depth = 0; depth < 4; ++depth) {
            for (int fog = 0; fog < 2; ++fog) {
                for (int blend = 0; blend < 5; ++blend) {
                    // Power-of-two texture or not, alpha test off or on.
                    for (int variant = 0; variant < 4; ++variant) {
                        const Stages s{filter,           depth,       fog != 0, blend,
                                       variant % 2 != 0, variant >= 2};
                        SCOPED_TRACE(Name(s));
                        const std::vector<uint16_t> portable = Render(s, d3d::SpanBuild::Portable);
                        bits.insert(bits.end(), portable.begin(), portable.end());
                        // The quads cover part of the background whatever the stages.
                        int changed = 0;
                        for (size_t i = 0; i < background.size(); ++i) {
                            changed += portable[i] != background[i] ? 1 : 0;
                        }
                        EXPECT_GT(changed, kW * kH / 8);
                        for (d3d::SpanBuild b : vector) {
                            EXPECT_EQ(Render(s, b), portable) << d3d::SpanBuildName(b);
                        }
                    }
                }
            }
        }
    }
    // Another machine's (or another processor's) build compares its bits with these: the
    // browser's tests with the native ones (scripts/test-web.sh).
    if (const char* file = std::getenv("VELMORA_SPAN_BITS"); file != nullptr && *file != 0) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bits.data()),
                  static_cast<std::streamsize>(bits.size() * sizeof bits[0]));
        ASSERT_TRUE(out.good()) << "cannot write " << file;
    }
}

}  // namespace
