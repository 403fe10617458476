// The device on several threads: the same pictures for every thread count, and every read or
// write of a surface from outside sees the drawing submitted before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/dx/D3DRasterQueue.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/DirectDraw.h"
#include "platform/dx/Gdi.h"
#include "platform/host/HeadlessHost.h"

namespace {

struct TLVertex {
    float x, y, z, rhw;
    uint32_t color, specular;
    float u, v;
};
constexpr int32_t kTLFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;

class Lcg {
  public:
    explicit Lcg(uint32_t seed) : s_(seed) {}
    uint32_t Next() {
        s_ = s_ * 1664525u + 1013904223u;
        return s_ >> 8;
    }
    float Unit() { return static_cast<float>(Next()) / 16777216.0f; }
    float Range(float a, float b) { return a + (b - a) * Unit(); }

  private:
    uint32_t s_;
};

class ThreadedDevice : public ::testing::Test {
  protected:
    static constexpr int kW = 160, kH = 120;

    SurfacePtr MakeSurface(int w, int h, int32_t caps) {
        DDSURFACEDESC2 d;
        d.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.lCaps = caps;
        d.lWidth = w;
        d.lHeight = h;
        return dd.CreateSurface(d);
    }
    SurfacePtr MakeTarget(int w, int h) {
        SurfacePtr s =
            MakeSurface(w, h, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_TEXTURE);
        DDSURFACEDESC2 z;
        z.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        z.ddsCaps.lCaps = DDSCAPS_ZBUFFER;
        z.lWidth = w;
        z.lHeight = h;
        d3d->GetEnumZBufferFormats("IID_IDirect3DHALDevice")->GetItem(1, z.ddpfPixelFormat);
        s->AddAttachedSurface(dd.CreateSurface(z));
        return s;
    }
    SurfacePtr MakeTexture(int w, int h, uint32_t seed) {
        SurfacePtr t = MakeSurface(w, h, DDSCAPS_TEXTURE);
        Lcg r(seed);
        uint16_t* p = t->Pixels();
        for (int i = 0; i < w * h; ++i) p[i] = static_cast<uint16_t>(r.Next());
        t->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{0, 0x0841});
        return t;
    }

    // The back buffer of a 320 x 240 display drawn at scale, with its depth buffer.
    static SurfacePtr ScaledBackBuffer(HeadlessHost& h, DirectDraw7& display, int scale,
                                       SurfacePtr& primary) {
        h.SetDisplayScale(scale);
        display.SetCooperativeLevel(0, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
        display.SetDisplayMode(320, 240, 16, 0, 0);
        DDSURFACEDESC2 d;
        d.lFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        d.ddsCaps.lCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        d.lBackBufferCount = 1;
        primary = display.CreateSurface(d);
        DDSCAPS2 caps;
        caps.lCaps = DDSCAPS_BACKBUFFER;
        SurfacePtr back = primary->GetAttachedSurface(caps);
        DDSURFACEDESC2 z;
        z.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        z.ddsCaps.lCaps = DDSCAPS_ZBUFFER;
        z.lWidth = 320;
        z.lHeight = 240;
        back->AddAttachedSurface(display.CreateSurface(z));
        return back;
    }

    // A busy frame: clears, triangles of every filter and blend across the band edges, with
    // and without perspective, depth, fog and specular, wireframe and point fills, lines and
    // points, a blit into the frame half-way, and a texture drawn into first. At a scale above
    // 1 the frame is a scaled back buffer (which is no texture, so nothing samples it).
    std::vector<uint16_t> Render(int threads, bool portable, int scale = 1,
                                 bool coresTaken = false) {
        HeadlessHost scaledHost{HeadlessOptions{}};
        DirectDraw7 scaledDisplay{scaledHost};
        SurfacePtr primary;
        SurfacePtr target = scale == 1
                                ? MakeTarget(kW, kH)
                                : ScaledBackBuffer(scaledHost, scaledDisplay, scale, primary);
        SurfacePtr offscreen = MakeTarget(64, 48);
        SurfacePtr sprite = MakeTexture(24, 20, 7);
        SurfacePtr textures[3] = {MakeTexture(32, 32, 1), MakeTexture(16, 8, 2),
                                  MakeTexture(1, 1, 3)};
        auto device = d3d->CreateDevice("IID_IDirect3DHALDevice", target);
        device->SetThreads(threads);
        EXPECT_EQ(device->Threads(), threads);
        device->UsePortableSpans(portable);
        if (coresTaken) device->AssumeCoresTaken();
        Lcg r(99);

        // A texture drawn by the device, then sampled by it.
        device->SetRenderTarget(offscreen, 0);
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00204080, 1.0f, 0);
        DrawRandom(*device, r, 64, 48, textures, 40);
        device->EndScene();
        device->SetRenderTarget(target, 0);

        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00808080, 1.0f, 0);
        const D3DRECT rects[2] = {{10, 10, 70, 50}, {90, 30, 150, 110}};
        device->Clear(2, rects, D3DCLEAR_TARGET, 0x00FF2000, 0.5f, 0);
        SurfacePtr withOffscreen[3] = {offscreen, textures[1], textures[2]};
        DrawRandom(*device, r, kW, kH, textures, 150);
        const RECT spriteRect{0, 0, 24, 20};
        target->BltFast(30, 40, sprite.get(), spriteRect, DDBLTFAST_SRCCOLORKEY);
        DrawRandom(*device, r, kW, kH, withOffscreen, 150);
        // Draws that sample the frame they draw into.
        SurfacePtr itself[3] = {target, target, target};
        DrawRandom(*device, r, kW, kH, scale == 1 ? itself : textures, 10);
        DrawRandom(*device, r, kW, kH, textures, 20);
        device->EndScene();

        const size_t size = static_cast<size_t>(target->Width()) * target->Height();
        std::vector<uint16_t> picture(target->Pixels(), target->Pixels() + size);
        const uint16_t* depth = target->AttachedDepth()->Pixels();
        picture.insert(picture.end(), depth, depth + size);
        return picture;
    }

    void DrawRandom(Direct3DDevice7& device, Lcg& r, int w, int h, const SurfacePtr* textures,
                    int draws) {
        for (int i = 0; i < draws; ++i) {
            const uint32_t kind = r.Next();
            device.SetTexture(0, kind % 4 == 3 ? nullptr : textures[kind % 4]);
            device.SetTextureStageState(0, D3DTSS_MAGFILTER,
                                        (kind >> 2) % 2 ? D3DTFG_LINEAR : D3DTFG_POINT);
            device.SetTextureStageState(0, D3DTSS_MINFILTER,
                                        (kind >> 3) % 2 ? D3DTFN_LINEAR : D3DTFN_POINT);
            device.SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, (kind >> 4) % 2);
            device.SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, (kind >> 5) % 2);
            device.SetRenderState(D3DRENDERSTATE_ZFUNC,
                                  (kind >> 6) % 2 ? D3DCMP_LESSEQUAL : D3DCMP_GREATER);
            const uint32_t blend = (kind >> 7) % 4;
            device.SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, blend != 0);
            device.SetRenderState(D3DRENDERSTATE_SRCBLEND,
                                  blend == 2 ? D3DBLEND_SRCALPHA : D3DBLEND_ONE);
            device.SetRenderState(D3DRENDERSTATE_DESTBLEND,
                                  blend == 2 ? D3DBLEND_INVSRCALPHA : D3DBLEND_ONE);
            device.SetRenderState(D3DRENDERSTATE_FOGENABLE, (kind >> 9) % 2);
            device.SetRenderState(D3DRENDERSTATE_FOGCOLOR, 0x005F83CC);
            device.SetRenderState(D3DRENDERSTATE_SPECULARENABLE, (kind >> 10) % 2);
            device.SetRenderState(D3DRENDERSTATE_DITHERENABLE, (kind >> 11) % 2);
            device.SetRenderState(D3DRENDERSTATE_SHADEMODE,
                                  (kind >> 12) % 5 == 0 ? D3DSHADE_FLAT : D3DSHADE_GOURAUD);
            const uint32_t fill = (kind >> 13) % 8;
            device.SetRenderState(D3DRENDERSTATE_FILLMODE, fill == 0   ? D3DFILL_WIREFRAME
                                                           : fill == 1 ? D3DFILL_POINT
                                                                       : D3DFILL_SOLID);
            device.SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
            // Now and then an alpha test, any function, any reference.
            const bool alphaTest = (kind >> 20) % 4 == 0;
            device.SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, alphaTest);
            if (alphaTest) {
                const uint32_t test = r.Next();
                device.SetRenderState(D3DRENDERSTATE_ALPHAFUNC, static_cast<int32_t>(test % 8 + 1));
                device.SetRenderState(D3DRENDERSTATE_ALPHAREF,
                                      static_cast<int32_t>(test >> 8 & 255));
            }

            const bool perspective = (kind >> 16) % 2;
            std::vector<TLVertex> v(6);
            for (TLVertex& p : v) {
                const float rhw = perspective ? r.Range(0.2f, 2.0f) : 1.0f;
                p = {r.Range(-20.0f, w + 20.0f),
                     r.Range(-20.0f, h + 20.0f),
                     r.Unit(),
                     rhw,
                     r.Next() | 0x40000000u,
                     r.Next(),
                     r.Range(-2, 3),
                     r.Range(-2, 3)};
            }
            const uint32_t type = (kind >> 17) % 6;
            const int32_t types[6] = {D3DPT_TRIANGLELIST, D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLEFAN,
                                      D3DPT_LINELIST,     D3DPT_LINESTRIP,     D3DPT_POINTLIST};
            device.DrawPrimitive(types[type], kTLFvf, v.data(), 6, 0);
        }
    }

    HeadlessHost host{HeadlessOptions{}};
    DirectDraw7 dd{host};
    std::shared_ptr<Direct3D7> d3d = dd.GetDirect3D();
};

TEST_F(ThreadedDevice, EveryThreadCountDrawsTheSameBits) {
    const std::vector<uint16_t> one = Render(1, false);
    // The picture is not trivial: many colours, and depth written.
    std::vector<bool> seen(65536);
    int colours = 0;
    for (int i = 0; i < kW * kH; ++i) colours += seen[one[i]] ? 0 : (seen[one[i]] = true, 1);
    EXPECT_GT(colours, 500);
    for (int threads : {2, 3, 4}) {
        const std::vector<uint16_t> many = Render(threads, false);
        ASSERT_EQ(many.size(), one.size());
        int differ = 0;
        for (size_t i = 0; i < one.size(); ++i) differ += one[i] != many[i];
        EXPECT_EQ(differ, 0) << threads << " threads";
    }
    // The portable kernels queue the same way.
    EXPECT_TRUE(Render(3, true) == Render(1, true));
    // With the cores taken by other programs the caller draws the queued bands alone.
    EXPECT_TRUE(Render(2, false, 1, true) == one);
}

// Lines two pixels wide, points two pixels square and triangles on a scaled frame are cut
// into bands like any other.
TEST_F(ThreadedDevice, ScaledFramesAreTheSameBitsOnEveryThreadCount) {
    const std::vector<uint16_t> one = Render(1, false, 2);
    ASSERT_EQ(one.size(), 2u * 640u * 480u);
    for (int threads : {2, 4}) EXPECT_TRUE(Render(threads, false, 2) == one) << threads;
    EXPECT_TRUE(Render(3, true, 3) == Render(1, true, 3));
}

// Pixels read or written from outside the device see exactly the drawing submitted before.
TEST_F(ThreadedDevice, OutsideAccessWaitsForTheDrawingInFlight) {
    SurfacePtr target = MakeTarget(kW, kH);
    auto device = d3d->CreateDevice("IID_IDirect3DHALDevice", target);
    device->SetThreads(4);
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
    auto quad = [&](float x0, float y0, float x1, float y1, uint32_t colour) {
        const TLVertex v[4] = {{x0, y0, 0, 1, colour, 0, 0, 0},
                               {x1, y0, 0, 1, colour, 0, 0, 0},
                               {x1, y1, 0, 1, colour, 0, 0, 0},
                               {x0, y1, 0, 1, colour, 0, 0, 0}};
        device->DrawPrimitive(D3DPT_TRIANGLEFAN, kTLFvf, v, 4, 0);
    };
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    quad(0, 0, kW, kH, 0xFFFF0000);
    // A blit out of the frame takes the red.
    SurfacePtr copy = MakeSurface(kW, kH, DDSCAPS_OFFSCREENPLAIN);
    copy->Blt(nullptr, target.get(), nullptr, 0);
    EXPECT_EQ(copy->Pixels()[kW * kH / 2 + 5], 0xF800);
    // A blit into the frame lands after the red and before the green drawn next.
    copy->BltColorFill(nullptr, 0x001F);
    const RECT left{0, 0, kW / 2, kH};
    target->BltFast(0, 0, copy.get(), left, 0);
    quad(kW / 2, kH / 2, kW, kH, 0xFF00FF00);
    // A device context reads the finished frame.
    GdiDC* dc = target->GetDC();
    EXPECT_EQ(dc->surface->Row(kH - 1)[kW - 1], 0x07E0);
    target->ReleaseDC(dc);
    device->EndScene();
    EXPECT_EQ(target->Row(1)[1], 0x001F);
    EXPECT_EQ(target->Row(1)[kW - 2], 0xF800);
    EXPECT_EQ(target->Row(kH - 2)[kW - 2], 0x07E0);

    // A texture changed between two draws: the first draw samples it as it was.
    SurfacePtr texture = MakeSurface(2, 2, DDSCAPS_TEXTURE);
    std::fill_n(texture->Pixels(), 4, uint16_t{0xFFFF});
    device->SetTexture(0, texture);
    device->BeginScene();
    quad(0, 0, kW, kH / 2, 0xFFFFFFFF);
    texture->BltColorFill(nullptr, 0);
    quad(0, kH / 2, kW, kH, 0xFFFFFFFF);
    device->EndScene();
    EXPECT_EQ(target->Row(2)[2], 0xFFFF);
    EXPECT_EQ(target->Row(kH - 2)[2], 0);
}

// A draw into a texture that queued draws still sample waits for them. Every row of the first
// draw samples the texture's top row, which the second draw (into the texture) paints over in
// the first band; without the wait, bands drawn after that one would sample the new colour.
TEST_F(ThreadedDevice, DrawingIntoASampledTextureWaitsForTheDrawsThatSampleIt) {
    auto quad = [](Direct3DDevice7& device, float x0, float y0, float x1, float y1, uint32_t colour,
                   float u0, float u1, float v) {
        const TLVertex q[4] = {{x0, y0, 0, 1, colour, 0, u0, v},
                               {x1, y0, 0, 1, colour, 0, u1, v},
                               {x1, y1, 0, 1, colour, 0, u1, v},
                               {x0, y1, 0, 1, colour, 0, u0, v}};
        device.DrawPrimitive(D3DPT_TRIANGLEFAN, kTLFvf, q, 4, 0);
    };
    // Narrow enough that the first draw alone does not set the workers going: both draws are
    // drawn band by band from one batch.
    constexpr int kSampledWidth = 100;
    for (int threads : {2, 3, 4}) {
        for (int round = 0; round < 4; ++round) {
            SurfacePtr frame = MakeTarget(kW, kH);
            SurfacePtr texture = MakeTarget(kW, kH);
            std::fill_n(texture->Pixels(), kW * kH, uint16_t{0xF800});
            auto device = d3d->CreateDevice("IID_IDirect3DHALDevice", frame);
            device->SetThreads(threads);
            device->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
            device->BeginScene();
            device->SetTexture(0, texture);
            quad(*device, 0, 0, kSampledWidth, kH, 0xFFFFFFFF, 0.0f, 0.5f, 0.5f / kH);
            device->SetTexture(0, nullptr);
            device->SetRenderTarget(texture, 0);
            quad(*device, 0, 0, kW, 8, 0xFF0000FF, 0, 0, 0);
            device->SetRenderTarget(frame, 0);
            device->EndScene();
            int sampledLate = 0;
            for (int y = 0; y < kH; ++y) {
                for (int x = 0; x < kSampledWidth; ++x) sampledLate += frame->Row(y)[x] != 0xF800;
            }
            EXPECT_EQ(sampledLate, 0) << threads << " threads, round " << round;
            EXPECT_EQ(texture->Row(0)[0], 0x001F);
            EXPECT_EQ(texture->Row(8)[0], 0xF800);
        }
    }
}

// A primary with its back buffer: the frame flipped to the host is the finished one.
TEST_F(ThreadedDevice, FlipPresentsTheFinishedFrame) {
    dd.SetCooperativeLevel(0, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
    dd.SetDisplayMode(320, 240, 16, 0, 0);
    DDSURFACEDESC2 d;
    d.lFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.ddsCaps.lCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    d.lBackBufferCount = 1;
    SurfacePtr primary = dd.CreateSurface(d);
    DDSCAPS2 caps;
    caps.lCaps = DDSCAPS_BACKBUFFER;
    SurfacePtr back = primary->GetAttachedSurface(caps);
    auto device = d3d->CreateDevice("IID_IDirect3DHALDevice", back);
    device->SetThreads(2);
    for (uint32_t colour : {0x00FF0000u, 0x0000FF00u}) {
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET, static_cast<int32_t>(colour), 1.0f, 0);
        device->EndScene();
        primary->Flip(nullptr, DDFLIP_WAIT);
        const std::vector<uint16_t>& shown = host.LastFrame();
        ASSERT_EQ(shown.size(), 320u * 240u);
        EXPECT_EQ(shown[320 * 239 + 319], colour == 0x00FF0000u ? 0xF800 : 0x07E0);
    }
}

TEST(DeviceThreads, CountIsClampedAndChangeableBetweenDraws) {
    const int before = DeviceThreads();
    SetDeviceThreads(0);
    EXPECT_EQ(DeviceThreads(), 1);
    SetDeviceThreads(1000);
    EXPECT_EQ(DeviceThreads(), kMaxDeviceThreads);
    SetDeviceThreads(before);
}

}  // namespace

// A clear of neither colour nor depth writes nothing, on the caller's thread or queued for the
// device's threads (where it once had no bands to go to).
TEST_F(ThreadedDevice, AClearOfNothingWritesNothing) {
    for (int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        SurfacePtr target = MakeTarget(kW, kH);
        auto device = d3d->CreateDevice("IID_IDirect3DHALDevice", target);
        device->SetThreads(threads);
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FF0000, 1.0f, 0);
        device->Finish();  // the clears below open a batch of their own
        const D3DRECT top{0, 0, kW, kH / 2};
        device->Clear(1, &top, 0, 0x000000FF, 0.0f, 0);
        device->Clear(0, nullptr, 0, 0x000000FF, 0.0f, 0);
        device->EndScene();
        device->Finish();
        const std::vector<uint16_t> red(static_cast<size_t>(kW) * kH, 0xF800);
        EXPECT_EQ(std::vector<uint16_t>(target->Pixels(), target->Pixels() + kW * kH), red);
    }
}

namespace {

// The machine as a test says: every window the measuring worker completes finds the cores taken
// or free, and the clock stands where the test puts it.
class ScriptedWatch final : public d3d::CoreWatch {
  public:
    std::atomic<int64_t> nowMs{0};
    std::atomic<bool> taken{true};
    std::atomic<int> windows{0};

    Clock::time_point Now() const override {
        return Clock::time_point(std::chrono::milliseconds(nowMs.load()));
    }
    void Begin(Clock::time_point) override {}
    Verdict Add(Clock::duration) override {
        const bool cores = taken.load();
        windows.fetch_add(1);
        return cores ? Verdict::kTaken : Verdict::kFree;
    }
};

// Waits (in real time, bounded) for what the worker does after its turn.
template <class Done>
bool Eventually(Done done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

// While other programs keep the cores busy the workers are tried again after 2 s, then twice as
// long after each try that finds the cores still taken, up to 16 s; a window that finds them
// free starts the schedule over.
TEST_F(ThreadedDevice, WorkersStandAsideLongerWhileTheCoresStayTaken) {
    SurfacePtr target = MakeTarget(kW, kH);  // outlives the queue
    auto owned = std::make_unique<ScriptedWatch>();
    ScriptedWatch& watch = *owned;
    d3d::RasterQueue queue(2, std::move(owned));
    // A turn of work for the workers: one small clear, drawn when the queue is finished.
    auto work = [&] {
        d3d::ClearJob nothing;
        nothing.x2 = 8;
        nothing.y2 = 8;
        queue.AddClear(nothing, target.get(), nullptr);
        queue.Finish();
    };
    // The workers find the cores taken now; they stay aside for exactly `seconds`.
    auto standsAsideFor = [&](int seconds) {
        const int before = watch.windows.load();
        work();
        if (!Eventually([&] { return queue.Crowded(); })) return -1;
        EXPECT_EQ(watch.windows.load(), before + 1);
        const int64_t since = watch.nowMs.load();
        watch.nowMs = since + int64_t{seconds} * 1000 - 1;
        queue.Finish();
        if (!queue.Crowded()) return 0;  // tried again too soon
        watch.nowMs = since + int64_t{seconds} * 1000;
        queue.Finish();
        return queue.Crowded() ? seconds + 1 : seconds;  // or not yet
    };
    for (int seconds : {2, 4, 8, 16, 16}) EXPECT_EQ(standsAsideFor(seconds), seconds);
    // A window with the cores free: the next time they are taken, 2 s again.
    watch.taken = false;
    const int before = watch.windows.load();
    work();
    ASSERT_TRUE(Eventually([&] { return watch.windows.load() == before + 1; }));
    EXPECT_FALSE(queue.Crowded());
    watch.taken = true;
    EXPECT_EQ(standsAsideFor(2), 2);
}
