// The device benchmarks' scene and its full-screen layer, shared by the device's own
// benchmarks and the side-by-side comparison with OpenGL, so that both draw the same thing.
#pragma once

#include <benchmark/benchmark.h>

#include <array>
#include <memory>

#include "platform/dx/D3DSpan.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/DirectDraw.h"
#include "platform/host/HeadlessHost.h"

namespace bench {

inline D3DMATRIX Identity() {
    D3DMATRIX m;
    m.rc11 = m.rc22 = m.rc33 = m.rc44 = 1;
    return m;
}

// The scene's set-up: a 640×480 target with a 16-bit depth buffer, the scene's projection,
// two lights and linear range fog from 28 to 32.
// The fastest kernels the CPU runs, unless a benchmark names a build.
// The scene's projection, its sun and the point light that darkens near its position.
inline D3DMATRIX SceneProjection() {
    D3DMATRIX projection;
    projection.rc11 = 1.5f;
    projection.rc22 = 2.0f;
    projection.rc33 = 1.02f;
    projection.rc34 = 1.0f;
    projection.rc43 = -1.0f;
    return projection;
}
inline D3DLIGHT7 SceneSun() {
    D3DLIGHT7 sun;
    sun.dltType = D3DLIGHT_DIRECTIONAL;
    sun.diffuse = {4.0f, 2.2f, 0.75f, 0};
    sun.ambient = {0.75f, 0.6f, 0.5f, 0};
    sun.direction = {0.5345f, 0.2673f, -0.8018f};
    return sun;
}
inline D3DLIGHT7 SceneDark() {
    D3DLIGHT7 dark;
    dark.dltType = D3DLIGHT_POINT;
    dark.ambient = {-0.4f, -0.9f, -1.2f, 0};
    dark.position = {0, 0, 12};
    dark.range = 4;
    dark.attenuation1 = 1;
    return dark;
}

inline constexpr d3d::SpanBuild kBest = d3d::kFastestSpanBuild;

struct Scene {
    HeadlessHost host{HeadlessOptions{}};
    DirectDraw7 dd{host};
    std::shared_ptr<Direct3D7> d3d = dd.GetDirect3D();
    SurfacePtr target;
    SurfacePtr texture;
    std::shared_ptr<Direct3DDevice7> device;

    Scene(d3d::SpanBuild spans, int threads) {
        DDSURFACEDESC2 d;
        d.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.lCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
        d.lWidth = 640;
        d.lHeight = 480;
        target = dd.CreateSurface(d);
        DDSURFACEDESC2 z = d;
        z.lFlags |= DDSD_PIXELFORMAT;
        z.ddsCaps.lCaps = DDSCAPS_ZBUFFER;
        d3d->GetEnumZBufferFormats("IID_IDirect3DHALDevice")->GetItem(1, z.ddpfPixelFormat);
        target->AddAttachedSurface(dd.CreateSurface(z));
        device = d3d->CreateDevice("IID_IDirect3DHALDevice", target);
        device->LimitSpans(spans);
        device->SetThreads(threads);

        // The capture texture of the blur: 128 × 96, a smooth pattern.
        DDSURFACEDESC2 t;
        t.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        t.ddsCaps.lCaps = DDSCAPS_TEXTURE;
        t.lWidth = 128;
        t.lHeight = 96;
        texture = dd.CreateSurface(t);
        for (int y = 0; y < 96; ++y) {
            for (int x = 0; x < 128; ++x) {
                texture->Row(y)[x] =
                    static_cast<uint16_t>((x / 4) << 11 | (y * 63 / 95) << 5 | ((x + y) & 31));
            }
        }

        device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, SceneProjection());
        device->SetLight(0, SceneSun());
        device->SetLight(1, SceneDark());
        device->LightEnable(0, true);
        device->LightEnable(1, true);
        device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x00333333);
        device->SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
        device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, static_cast<int32_t>(0xFF5F83CC));
        device->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
        device->SetRenderState(D3DRENDERSTATE_FOGSTART, FloatBits(28.0f));
        device->SetRenderState(D3DRENDERSTATE_FOGEND, FloatBits(32.0f));
        device->SetRenderState(D3DRENDERSTATE_RANGEFOGENABLE, 1);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
                      static_cast<int32_t>(0xFF5F83CC), 1.0f, 0);
    }
};

// A layer over the scene: unlit, linear filtering of texture, the source colour added as it is
// with the destination weighted by destBlend, the depth tested but not written.
inline void BlendedLayer(Direct3DDevice7& dev, const SurfacePtr& texture, int32_t destBlend) {
    dev.SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
    dev.SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    dev.SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    dev.SetRenderState(D3DRENDERSTATE_DESTBLEND, destBlend);
    dev.SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, 0);
    dev.SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    dev.SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    dev.SetTexture(0, texture);
}

// The quad once per iteration, every pixel of it in the target by the iteration's end.
inline void DrawEachIteration(benchmark::State& state, Direct3DDevice7& dev,
                              const std::array<D3DVERTEX, 4>& quad) {
    dev.BeginScene();
    for (auto _ : state) {
        dev.DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_VERTEX, quad.data(), 4, 0);
        dev.Finish();
        benchmark::ClobberMemory();
    }
    dev.EndScene();
}

// The blur overlay: a quad one unit ahead, 0.5 % larger than the screen, modulated by a 0.75
// grey, linear filtering of the capture texture, fog on, added to the frame, no depth writes.
// Sets the device's states for it and gives its vertices.
inline std::array<D3DVERTEX, 4> FullScreenLayer(Scene& s, bool tilted) {
    Direct3DDevice7& dev = *s.device;
    BlendedLayer(dev, s.texture, D3DBLEND_ONE);
    D3DMATRIX world = Identity();
    world.rc11 = world.rc22 = 1.005f;
    world.rc43 = 1.0f;
    dev.SetTransform(D3DTRANSFORMSTATE_WORLD, world);
    const uint32_t grey = 0xBFBFBFBF;
    // Tilted: the far edge twice as far as the near one, so every pixel needs its own divide.
    const float far = tilted ? 2.0f : 0.0f;
    const float hx = 0.6667f, hy = 0.5f;
    return {{{-hx * (1 + far), hy * (1 + far), far, 0, 0, -1, grey, 0, 0},
             {hx * (1 + far), hy * (1 + far), far, 0, 0, -1, grey, 1, 0},
             {hx, -hy, 0, 0, 0, -1, grey, 1, 1},
             {-hx, -hy, 0, 0, 0, -1, grey, 0, 1}}};
}

inline void FullScreenQuad(benchmark::State& state, d3d::SpanBuild spans, bool tilted,
                           int threads) {
    Scene s(spans, threads);
    const std::array<D3DVERTEX, 4> quad = FullScreenLayer(s, tilted);
    DrawEachIteration(state, *s.device, quad);
    state.counters["Mpixel/s"] =
        benchmark::Counter(640.0 * 480.0 / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace bench
