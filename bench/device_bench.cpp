// The software device's speed: a full-screen textured, fogged, additive quad (the blur
// overlay's work), many small lit triangles (scene geometry), and ProcessVertices of a
// model-sized buffer. Run with --benchmark_repetitions to get medians.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/DeviceScene.h"
#include "platform/dx/D3DPipeline.h"

namespace {

using namespace bench;

// The sky: a wide quad leaning away from the camera over the whole screen, a 256 × 256
// texture magnified about eight times (linear), added by its colour (ONE, INVSRCCOLOR) behind
// the depth test, no fog, dithered: the scene's costliest layer, drawn once a frame.
void SkyLayer(benchmark::State& state, int textureSize, int threads) {
    Scene s(kBest, threads);
    Direct3DDevice7& dev = *s.device;
    DDSURFACEDESC2 t;
    t.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    t.ddsCaps.lCaps = DDSCAPS_TEXTURE;
    t.lWidth = t.lHeight = textureSize;
    SurfacePtr sky = s.dd.CreateSurface(t);
    for (int y = 0; y < textureSize; ++y) {
        for (int x = 0; x < textureSize; ++x) {
            sky->Row(y)[x] = static_cast<uint16_t>(((x * 31 / textureSize) << 11) |
                                                   ((y * 63 / textureSize) << 5) | ((x ^ y) & 31));
        }
    }
    BlendedLayer(dev, sky, D3DBLEND_INVSRCCOLOR);
    dev.SetRenderState(D3DRENDERSTATE_FOGENABLE, 0);
    dev.SetRenderState(D3DRENDERSTATE_DITHERENABLE, 1);
    dev.SetTransform(D3DTRANSFORMSTATE_WORLD, Identity());
    // About an eighth of the texture across the screen, whatever its size.
    const float span = 0.125f;
    const uint32_t white = 0xFFFFFFFF;
    const std::array<D3DVERTEX, 4> quad = {{{-30, 22, 30, 0, 0, -1, white, 0.3f, 0.2f},
                                            {30, 22, 30, 0, 0, -1, white, 0.3f + span, 0.2f},
                                            {8, -6, 8, 0, 0, -1, white, 0.3f + span, 0.2f + span},
                                            {-8, -6, 8, 0, 0, -1, white, 0.3f, 0.2f + span}}};
    DrawEachIteration(state, dev, quad);
}

// Small lit, textured, depth-tested triangles of about 32 pixels each over the whole screen.
void SmallLitTriangles(benchmark::State& state, d3d::SpanBuild spans, int threads) {
    Scene s(spans, threads);
    Direct3DDevice7& dev = *s.device;
    dev.SetTexture(0, s.texture);
    dev.SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    dev.SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    D3DMATERIAL7 material;
    material.diffuse = material.ambient = {1, 1, 1, 1};
    dev.SetMaterial(material);
    constexpr int kTriangles = 10000;
    std::vector<D3DVERTEX> v;
    v.reserve(kTriangles * 3);
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 16777216.0f;
    };
    for (int i = 0; i < kTriangles; ++i) {
        // Centres spread over the view at depth 8..24; about 8 pixels across.
        const float z = 8 + 16 * next();
        const float cx = (next() * 2 - 1) * z / 1.5f, cy = (next() * 2 - 1) * z / 2.0f;
        const float r = z / 120;  // 8 pixels across
        const float nx = next() - 0.5f, ny = next() - 0.5f;
        const uint32_t color = 0xFF000000u | (seed & 0x00FFFFFFu);
        v.push_back({cx - r, cy - r, z, nx, ny, -1, color, 0, 1});
        v.push_back({cx, cy + r, z, nx, ny, -1, color, 0.5f, 0});
        v.push_back({cx + r, cy - r, z, nx, ny, -1, color, 1, 1});
    }
    dev.BeginScene();
    for (auto _ : state) {
        dev.Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        dev.DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, v.data(), kTriangles * 3, 0);
        dev.Finish();
        benchmark::ClobberMemory();
    }
    dev.EndScene();
    state.counters["Mtriangle/s"] =
        benchmark::Counter(kTriangles / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// One model: 512 vertices transformed, clipped and lit with both lights into a 0x2C4 buffer.
void ProcessVertices512(benchmark::State& state) {
    Scene s(kBest, 1);
    Direct3DDevice7& dev = *s.device;
    D3DVERTEXBUFFERDESC desc;
    desc.lCaps = D3DVBCAPS_WRITEONLY;
    desc.lFVF = 338;
    desc.lNumVertices = 512;
    auto source = s.d3d->CreateVertexBuffer(desc, 0);
    desc.lFVF = 708;
    auto processed = s.d3d->CreateVertexBuffer(desc, 0);
    std::vector<D3DVERTEX> v(512);
    for (int i = 0; i < 512; ++i) {
        const float a = static_cast<float>(i) * 0.1f;
        v[static_cast<size_t>(i)] = {std::cos(a) * 2,
                                     static_cast<float>(i % 32) * 0.2f,
                                     10 + std::sin(a) * 2,
                                     std::cos(a),
                                     0,
                                     std::sin(a),
                                     0xFF80C040u,
                                     0,
                                     0};
    }
    source->Lock(33);
    source->SetVertices(0, 512, v.data());
    source->Unlock();
    for (auto _ : state) {
        processed->ProcessVertices(1029, 0, 512, *source, 0, dev, 0);
        benchmark::ClobberMemory();
    }
    state.counters["Mvertex/s"] =
        benchmark::Counter(512 / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// Vertex processing alone, as the scene's draws have it: 1024 vertices in view with normals
// and colours, the sun and the point light (about a tenth of the vertices in its range), linear
// range fog; or transformed only, unlit and unfogged. The scene's draws are mostly small (four
// to sixteen vertices), so the vertices also go through in calls of `batch`.
void ProcessUntransformed(benchmark::State& state, bool litAndFogged, int batch) {
    d3d::DeviceState s;
    d3d::ResetDeviceState(s, true);
    s.viewport = D3DVIEWPORT7{0, 0, 640, 480, 0, 1};
    s.world = Identity();
    s.world.rc41 = 0.25f;
    s.view = Identity();
    s.view.rc43 = 2.0f;
    s.projection = SceneProjection();
    s.material.diffuse = s.material.ambient = {1, 1, 1, 1};
    d3d::StoreLight(s, 0, SceneSun());
    d3d::StoreLight(s, 1, SceneDark());
    d3d::EnableLight(s, 0, true);
    d3d::EnableLight(s, 1, true);
    s.renderStates[D3DRENDERSTATE_AMBIENT] = 0x00333333;
    if (litAndFogged) {
        s.renderStates[D3DRENDERSTATE_FOGENABLE] = 1;
        s.renderStates[D3DRENDERSTATE_FOGVERTEXMODE] = D3DFOG_LINEAR;
        s.renderStates[D3DRENDERSTATE_FOGSTART] = FloatBits(28.0f);
        s.renderStates[D3DRENDERSTATE_FOGEND] = FloatBits(32.0f);
        s.renderStates[D3DRENDERSTATE_RANGEFOGENABLE] = 1;
    }
    constexpr int kVertices = 1024;
    std::vector<D3DVERTEX> v(kVertices);
    uint32_t seed = 777;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / 16777216.0f;
    };
    for (D3DVERTEX& p : v) {
        const float z = 6 + 30 * next();
        p = {(next() * 2 - 1) * z / 1.5f,
             (next() * 2 - 1) * z / 2.0f,
             z,
             next() - 0.5f,
             next() - 0.5f,
             -1,
             0xFF000000u | (seed & 0x00FFFFFFu),
             next(),
             next()};
    }
    const d3d::FvfLayout layout = d3d::ParseFvf(D3DFVF_VERTEX);
    d3d::VertexPipeline pipeline;
    d3d::PrepareVertexPipeline(s, litAndFogged, pipeline, 1);
    std::vector<d3d::ProcessedVertex> out(kVertices);
    for (auto _ : state) {
        for (int first = 0; first < kVertices; first += batch) {
            d3d::ProcessUntransformed(pipeline, layout,
                                      reinterpret_cast<const std::byte*>(v.data() + first), batch,
                                      out.data() + first);
        }
        benchmark::ClobberMemory();
    }
    state.counters["Mvertex/s"] =
        benchmark::Counter(kVertices / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

// Each on one thread and on two (the device's threads; the frames are the same).
BENCHMARK_CAPTURE(FullScreenQuad, textured_fogged_additive, kBest, false, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullScreenQuad, textured_fogged_additive_2threads, kBest, false, 2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullScreenQuad, perspective_textured_fogged_additive, kBest, true, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullScreenQuad, perspective_textured_fogged_additive_2threads, kBest, true, 2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullScreenQuad, portable_textured_fogged_additive, d3d::SpanBuild::Portable,
                  false, 1)
    ->Unit(benchmark::kMillisecond);
// The AVX2 kernels where the CPU also has AVX-512 (the same as the above where it has not).
BENCHMARK_CAPTURE(FullScreenQuad, avx2_textured_fogged_additive, d3d::SpanBuild::Avx2, false, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SkyLayer, texture_256, 256, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SkyLayer, texture_256_2threads, 256, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SkyLayer, texture_64, 64, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SmallLitTriangles, lit_textured_10000, kBest, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SmallLitTriangles, lit_textured_10000_2threads, kBest, 2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SmallLitTriangles, portable_lit_textured_10000, d3d::SpanBuild::Portable, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ProcessVertices512)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ProcessUntransformed, lit_fogged_1024, true, 1024)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ProcessUntransformed, lit_fogged_in_16s, true, 16)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ProcessUntransformed, lit_fogged_in_4s, true, 4)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ProcessUntransformed, transform_only_1024, false, 1024)
    ->Unit(benchmark::kMicrosecond);
