// The trace recorder and the software replay: a scene drawn through every kind of call the
// program makes replays to the same pixels, whether recording began before the objects were
// made or after; recording changes nothing; repeated data is stored once; damaged traces are
// refused with a reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxTrace.h"
#include "platform/dx/Gdi.h"
#include "platform/host/HeadlessHost.h"
#include "tests/support/TestSystem.h"
#include "tools/velmora-replay/SoftPlayer.h"
#include "tools/velmora-replay/Trace.h"

namespace {

constexpr int kW = 320, kH = 240;

struct Scene {
    HeadlessHost host{HeadlessOptions{}};
    DirectDraw7 draw{host};
    SurfacePtr primary, back, depth, texture, sprite;
    std::shared_ptr<Direct3DDevice7> device;
    std::shared_ptr<Direct3DVertexBuffer7> model, processed;
    std::vector<std::vector<uint16_t>> frames;

    // Objects; with paintDirectly the texture's pixels are written without any call, as only
    // a recording that starts afterwards can see them.
    void Make(bool paintDirectly) {
        draw.SetCooperativeLevel(0, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
        draw.SetDisplayMode(kW, kH, 16, 0, 0);
        DDSURFACEDESC2 d;
        d.lFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        d.ddsCaps.lCaps =
            DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
        d.lBackBufferCount = 1;
        primary = draw.CreateSurface(d);
        DDSCAPS2 caps;
        caps.lCaps = DDSCAPS_BACKBUFFER;
        back = primary->GetAttachedSurface(caps);
        DDSURFACEDESC2 z;
        z.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        z.ddsCaps.lCaps = DDSCAPS_ZBUFFER;
        z.lWidth = kW;
        z.lHeight = kH;
        depth = draw.CreateSurface(z);
        back->AddAttachedSurface(depth);
        device = draw.GetDirect3D()->CreateDevice("IID_IDirect3DHALDevice", back);
        DDSURFACEDESC2 t;
        t.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        t.ddsCaps.lCaps = DDSCAPS_TEXTURE;
        t.lWidth = t.lHeight = 16;
        texture = draw.CreateSurface(t);
        t.ddsCaps.lCaps = DDSCAPS_OFFSCREENPLAIN;
        sprite = draw.CreateSurface(t);
        if (paintDirectly) {
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    texture->Row(y)[x] = static_cast<uint16_t>(((x ^ y) & 4) ? 0xF81F : x * 2113);
                    sprite->Row(y)[x] = static_cast<uint16_t>(y < 8 ? 0x07E0 : 0);
                }
            }
        } else {
            const RECT half{0, 0, 16, 8}, quarter{4, 4, 12, 12};
            texture->BltColorFill(nullptr, 0x39E7);
            texture->BltColorFill(&quarter, 0xF81F);
            sprite->BltColorFill(&half, 0x07E0);
        }
        texture->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{0xF81F, 0xF81F});
        sprite->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{0, 0});
        D3DVERTEXBUFFERDESC vb;
        vb.lFVF = D3DFVF_VERTEX;
        vb.lNumVertices = 4;
        model = draw.GetDirect3D()->CreateVertexBuffer(vb, 0);
        vb.lFVF = 0x2C4;
        processed = draw.GetDirect3D()->CreateVertexBuffer(vb, 0);
    }

    void Frame(int n) {
        Direct3DDevice7& dev = *device;
        D3DMATRIX id;
        id.rc11 = id.rc22 = id.rc33 = id.rc44 = 1;
        D3DMATRIX proj = id;
        proj.rc34 = 1;
        proj.rc44 = 0;
        proj.rc43 = -0.1f;
        dev.SetTransform(D3DTRANSFORMSTATE_PROJECTION, proj);
        D3DMATRIX view = id;
        view.rc41 = 0.05f * static_cast<float>(n);
        dev.SetTransform(D3DTRANSFORMSTATE_VIEW, view);
        dev.BeginScene();
        dev.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x204060, 1.0f, 0);
        D3DLIGHT7 sun;
        sun.dltType = D3DLIGHT_DIRECTIONAL;
        sun.diffuse = {1.0f, 0.8f, 0.6f, 0};
        sun.ambient = {0.2f, 0.2f, 0.2f, 0};
        sun.direction = {0.3f, -0.5f, 1.0f};
        dev.SetLight(0, sun);
        dev.LightEnable(0, true);
        D3DMATERIAL7 mat;
        mat.diffuse = mat.ambient = {1, 1, 1, 1};
        dev.SetMaterial(mat);
        dev.SetRenderState(D3DRENDERSTATE_AMBIENT, 0x303030);
        dev.SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
        dev.SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
        dev.SetRenderState(D3DRENDERSTATE_RANGEFOGENABLE, 1);
        dev.SetRenderState(D3DRENDERSTATE_FOGCOLOR, 0x8090A0);
        const float start = 2.0f, end = 6.0f;
        int32_t bits;
        std::memcpy(&bits, &start, 4);
        dev.SetRenderState(D3DRENDERSTATE_FOGSTART, bits);
        std::memcpy(&bits, &end, 4);
        dev.SetRenderState(D3DRENDERSTATE_FOGEND, bits);

        // A lit, fogged, textured and colour-keyed quad from memory.
        D3DVERTEX quad[4];
        const float xs[4] = {-1, 1, 1, -1}, ys[4] = {1, 1, -1, -1};
        for (int i = 0; i < 4; ++i) {
            quad[i].x = xs[i] * 1.5f;
            quad[i].y = ys[i];
            quad[i].z = 3.0f + static_cast<float>(i);
            quad[i].nz = -1;
            quad[i].color = 0xFFFFFFFF;
            quad[i].tu = (xs[i] + 1) * 1.5f;
            quad[i].tv = (1 - ys[i]) * 1.5f;
        }
        dev.SetTexture(0, texture);
        dev.SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        dev.SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
        dev.SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
        dev.DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_VERTEX, quad, 4, 0);

        // The same vertices through a vertex buffer, processed with clipping, blended on top.
        model->Lock(DDLOCK_WRITEONLY);
        model->SetVertices(0, 4, quad);
        model->Unlock();
        processed->ProcessVertices(D3DVOP_TRANSFORM | D3DVOP_LIGHT | D3DVOP_CLIP, 0, 4, *model, 0,
                                   dev, 0);
        dev.SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        dev.SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
        dev.SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
        dev.SetTexture(0, nullptr);
        const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
        dev.DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, *processed, 0, 4, indices, 6, 0);
        dev.SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);

        // Wireframe, lines and points, unlit.
        dev.SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
        dev.SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME);
        dev.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, quad, 4, indices, 6, 0);
        dev.SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
        dev.DrawPrimitive(D3DPT_LINESTRIP, D3DFVF_VERTEX, quad, 4, 0);
        dev.DrawPrimitive(D3DPT_POINTLIST, D3DFVF_VERTEX, quad, 4, 0);
        dev.SetRenderState(D3DRENDERSTATE_LIGHTING, 1);
        dev.EndScene();

        // 2D: a keyed sprite, a stretched copy of the frame into the texture (as the blur
        // does), a fill.
        back->BltFast(4 + n, 4, sprite.get(), RECT{0, 0, 16, 16}, DDBLTFAST_SRCCOLORKEY);
        const RECT dest{200, 160, 280, 220};
        back->Blt(&dest, texture.get(), nullptr, DDBLT_KEYSRC);
        GdiDC* from = back->GetDC();
        GdiDC* to = texture->GetDC();
        StretchBlt(to, 0, 0, 16, 16, from, 0, 0, kW, kH, SRCCOPY);
        back->ReleaseDC(from);
        texture->ReleaseDC(to);
        const RECT bar{0, kH - 4, kW, kH};
        back->BltColorFill(&bar, 0xFFE0);
        primary->Flip(nullptr, DDFLIP_WAIT);
        frames.emplace_back(primary->Pixels(), primary->Pixels() + kW * kH);
    }
};

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() /
            (std::string("velmora-trace-") + std::to_string(ProcessId()) + "-" + name))
        .string();
}

// Records with the recorder made at the given moment; returns the live frames.
std::vector<std::vector<uint16_t>> RecordScene(const std::string& path, bool startLate,
                                               int frameCount) {
    Scene live;
    std::unique_ptr<dxtrace::Recorder> recorder;
    if (!startLate) {
        recorder = std::make_unique<dxtrace::Recorder>(path);
        dxtrace::activeRecorder = recorder.get();
    }
    live.Make(startLate);
    if (startLate) {
        recorder = std::make_unique<dxtrace::Recorder>(path);
        dxtrace::activeRecorder = recorder.get();
    }
    for (int n = 0; n < frameCount; ++n) live.Frame(n);
    dxtrace::activeRecorder = nullptr;
    std::string why;
    EXPECT_TRUE(recorder->Finish(why)) << why;
    return live.frames;
}

std::vector<std::vector<uint16_t>> ReplayFrames(const std::string& path) {
    const replay::Trace trace = replay::LoadTrace(path);
    EXPECT_TRUE(trace.complete);
    replay::SoftPlayer player;
    std::vector<std::vector<uint16_t>> frames;
    replay::Play(trace, player, replay::PlayOptions{}, [&](int) {
        std::vector<uint16_t> pixels;
        int w = 0, h = 0;
        player.PresentedFrame(pixels, w, h);
        frames.push_back(pixels);
    });
    return frames;
}

class TraceReplay : public ::testing::Test {
  protected:
    void TearDown() override {
        dxtrace::activeRecorder = nullptr;
        for (const auto& p : paths_) std::remove(p.c_str());
    }
    std::string Path(const char* name) {
        paths_.push_back(TempPath(name));
        return paths_.back();
    }

  private:
    std::vector<std::string> paths_;
};

}  // namespace

TEST_F(TraceReplay, ReplayGivesTheLiveFramesBitForBit) {
    for (bool late : {false, true}) {
        SCOPED_TRACE(late ? "recording started after the objects were made" : "from the start");
        const std::string path = Path(late ? "late.vtr" : "early.vtr");
        const auto live = RecordScene(path, late, 3);
        const auto replayed = ReplayFrames(path);
        ASSERT_EQ(replayed.size(), live.size());
        for (size_t i = 0; i < live.size(); ++i) EXPECT_EQ(replayed[i], live[i]) << "frame " << i;
        // The scene is not trivially uniform: the comparison means something.
        EXPECT_NE(std::count(live[2].begin(), live[2].end(), live[2][0]),
                  static_cast<long>(live[2].size()));
    }
}

TEST_F(TraceReplay, RecordingChangesNoPixel) {
    const auto recorded = RecordScene(Path("a.vtr"), false, 2);
    Scene plain;
    plain.Make(false);
    for (int n = 0; n < 2; ++n) plain.Frame(n);
    EXPECT_EQ(plain.frames, recorded);
}

TEST_F(TraceReplay, RepeatedDataIsWrittenOnce) {
    Scene s;
    s.Make(false);
    const std::string path = Path("dedup.vtr");
    dxtrace::Recorder recorder(path);
    dxtrace::activeRecorder = &recorder;
    std::vector<D3DVERTEX> many(3000);
    for (size_t i = 0; i < many.size(); ++i) many[i].x = static_cast<float>(i);
    s.device->BeginScene();
    s.device->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_VERTEX, many.data(), 3000, 0);
    const uint64_t afterFirst = recorder.BytesWritten();
    for (int i = 0; i < 10; ++i) {
        s.device->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_VERTEX, many.data(), 3000, 0);
    }
    const uint64_t afterRepeats = recorder.BytesWritten();
    many[7].y = 1;  // changed data is written again
    s.device->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_VERTEX, many.data(), 3000, 0);
    const uint64_t afterChange = recorder.BytesWritten();
    s.device->EndScene();
    dxtrace::activeRecorder = nullptr;
    EXPECT_GT(afterFirst, 3000u * sizeof(D3DVERTEX));
    EXPECT_LT(afterRepeats - afterFirst, 10u * 64);
    EXPECT_GT(afterChange - afterRepeats, 3000u * sizeof(D3DVERTEX));
}

// A run killed while recording never writes the end record: what it wrote still plays.
TEST_F(TraceReplay, ARecordingCutOffMidRunLoadsUpToItsLastWrite) {
    const std::string path = Path("killed.vtr");
    dxtrace::Recorder recorder(path);
    dxtrace::activeRecorder = &recorder;
    Scene s;
    s.Make(false);
    std::vector<D3DVERTEX> many(3000);
    for (int n = 0; std::filesystem::file_size(path) == 0 && n < 1000; ++n) {
        many[0].x = static_cast<float>(n);  // new data each frame, so the file grows
        s.device->BeginScene();
        s.device->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_VERTEX, many.data(), 3000, 0);
        s.device->EndScene();
        s.primary->Flip(nullptr, DDFLIP_WAIT);
    }
    dxtrace::activeRecorder = nullptr;
    ASSERT_GT(std::filesystem::file_size(path), 0u);
    // Read while the recorder is still open, as the file is left when the process dies.
    replay::Trace trace;
    ASSERT_NO_THROW(trace = replay::LoadTrace(path));
    EXPECT_FALSE(trace.complete);
    EXPECT_GT(trace.flips, 0u);
}

TEST_F(TraceReplay, DamagedTracesAreRefusedWithAReason) {
    const std::string good = Path("good.vtr");
    RecordScene(good, false, 1);
    std::ifstream in(good, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    auto write = [&](const std::string& path, std::vector<char> content) {
        std::ofstream(path, std::ios::binary)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        return path;
    };
    auto message = [](const std::string& path) -> std::string {
        try {
            replay::LoadTrace(path);
        } catch (const replay::TraceError& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_NE(
        message(write(Path("text.vtr"), {'h', 'e', 'l', 'l', 'o'})).find("not a Velmora trace"),
        std::string::npos);
    std::vector<char> version = bytes;
    version[8] = 99;
    EXPECT_NE(message(write(Path("version.vtr"), version)).find("version 99"), std::string::npos);
    std::vector<char> cut(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2));
    EXPECT_NE(message(write(Path("cut.vtr"), cut)).find("cut short"), std::string::npos);
    std::vector<char> kind = bytes;
    kind[16] = 77;  // the first record's kind
    EXPECT_NE(message(write(Path("kind.vtr"), kind)).find("unknown record kind 77"),
              std::string::npos);
    // Without its end record a trace still loads, marked incomplete.
    std::vector<char> noEnd(bytes.begin(), bytes.end() - 13);
    const replay::Trace partial = replay::LoadTrace(write(Path("noend.vtr"), noEnd));
    EXPECT_FALSE(partial.complete);
}

namespace {

// A trace written byte by byte, for damage the recorder never writes.
struct TraceBytes {
    std::vector<char> bytes{'V', 'L', 'M', 'T', 'R', 'A', 'C', 'E', 1, 0, 0, 0, 0, 0, 0, 0};
    uint32_t records = 0, flips = 0;

    static std::vector<char> Payload(std::initializer_list<uint32_t> words) {
        std::vector<char> p(words.size() * 4);
        size_t at = 0;
        for (uint32_t w : words) {
            std::memcpy(p.data() + at, &w, 4);
            at += 4;
        }
        return p;
    }
    void Record(dxtrace::Op op, const std::vector<char>& payload) {
        bytes.push_back(static_cast<char>(op));
        const uint32_t size = static_cast<uint32_t>(payload.size());
        bytes.insert(bytes.end(), reinterpret_cast<const char*>(&size),
                     reinterpret_cast<const char*>(&size) + 4);
        bytes.insert(bytes.end(), payload.begin(), payload.end());
        ++records;
        if (op == dxtrace::Op::Flip) ++flips;
    }
    void End() { Record(dxtrace::Op::End, Payload({records, flips})); }
    std::string Write(const std::string& path) const {
        std::ofstream(path, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
};

std::string LoadError(const std::string& path) {
    try {
        replay::LoadTrace(path);
    } catch (const replay::TraceError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

// The end record is the file's last: a record after it (data or a call), or an end record whose
// counts disagree with the file, means the file is not what a recording wrote.
TEST_F(TraceReplay, TheEndRecordClosesTheFile) {
    const std::string good = Path("closed.vtr");
    RecordScene(good, false, 1);
    const uint32_t nextBlob = static_cast<uint32_t>(replay::LoadTrace(good).blobs.size());
    std::ifstream in(good, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    struct Case {
        const char* name;
        dxtrace::Op op;
        std::vector<char> payload;
    };
    const Case after[] = {
        {"blob after end", dxtrace::Op::Blob, TraceBytes::Payload({nextBlob, 7})},
        {"flip after end", dxtrace::Op::Flip, TraceBytes::Payload({1, 0})},
        {"second end", dxtrace::Op::End, TraceBytes::Payload({0, 0})},
    };
    for (const Case& c : after) {
        SCOPED_TRACE(c.name);
        TraceBytes t;
        t.bytes = bytes;
        t.Record(c.op, c.payload);
        const std::string path = t.Write(Path("after.vtr"));
        const std::string why = LoadError(path);
        EXPECT_NE(why.find(path + " at byte " + std::to_string(bytes.size())), std::string::npos)
            << why;
        EXPECT_NE(why.find("records after the end record"), std::string::npos) << why;
    }
    // The end record counts what was written before it.
    std::vector<char> miscounted = bytes;
    miscounted[miscounted.size() - 8] ^= 1;
    const std::string path = Path("miscounted.vtr");
    std::ofstream(path, std::ios::binary)
        .write(miscounted.data(), static_cast<std::streamsize>(miscounted.size()));
    EXPECT_NE(LoadError(path).find("the end record counts"), std::string::npos) << LoadError(path);
}

// Every field that names a data blob is checked against the blobs the file holds, up to the
// last one: the id one past them is refused, naming the file and the record, before any read.
TEST_F(TraceReplay, ABlobPastTheLastOneIsRefused) {
    using dxtrace::Op;
    const uint32_t vertexBytes = 32;  // one D3DVERTEX
    struct Case {
        const char* name;
        Op op;
        std::vector<char> payload;
    };
    const Case cases[] = {
        {"Draw's vertices", Op::Draw,
         TraceBytes::Payload({1, D3DPT_POINTLIST, D3DFVF_VERTEX, 1, 2, ~0u, 0, 0})},
        {"Draw's indices", Op::Draw,
         TraceBytes::Payload({1, D3DPT_POINTLIST, D3DFVF_VERTEX, 1, 1, 1, 2, 0})},
        {"DrawVB's indices", Op::DrawVB,
         TraceBytes::Payload({1, D3DPT_POINTLIST, 1, 0, 1, 1, 2, 0})},
        {"SurfacePixels", Op::SurfacePixels, TraceBytes::Payload({1, 0, 0, 4, 4, 2})},
        {"UnlockVertexBuffer", Op::UnlockVertexBuffer, TraceBytes::Payload({1, 2})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TraceBytes t;
        std::vector<char> blob = TraceBytes::Payload({1});
        blob.resize(4 + vertexBytes);
        t.Record(Op::Blob, blob);
        t.Record(c.op, c.payload);
        t.End();
        const std::string path = t.Write(Path("blob.vtr"));
        const replay::Trace trace = replay::LoadTrace(path);
        ASSERT_EQ(trace.blobs.size(), 2u);  // "no data" and blob 1
        replay::SoftPlayer player;
        std::string why;
        try {
            replay::Play(trace, player, replay::PlayOptions{}, nullptr);
        } catch (const replay::TraceError& e) {
            why = e.what();
        }
        EXPECT_NE(why.find(path + ": record 1 (" + replay::OpName(c.op) + "): data blob 2 missing"),
                  std::string::npos)
            << why;
    }
}

// An indexed draw whose index names no vertex it has is refused while its record is decoded,
// naming the file and the record, before any player sees it: the OpenGL player hands indices to
// the driver as they are.
TEST_F(TraceReplay, AnIndexPastTheDrawsVerticesIsRefusedBeforeAnyPlayer) {
    using dxtrace::Op;
    // Checks nothing and draws nothing, as far as indices go like the OpenGL player.
    struct Unchecking : replay::SoftPlayer {
        int draws = 0;
        void Draw(uint32_t, const replay::DrawCall&) override { ++draws; }
        void DrawVB(uint32_t, const replay::DrawVBCall&) override { ++draws; }
    };
    struct Case {
        const char* name;
        Op op;
        std::vector<char> payload;
        const char* why;  // "": played
    };
    // Blob 1 holds three D3DVERTEX, blob 2 the indices 0, 1, 3.
    const Case cases[] = {
        {"Draw of three vertices", Op::Draw,
         TraceBytes::Payload({1, D3DPT_TRIANGLELIST, D3DFVF_VERTEX, 3, 1, 3, 2, 0}),
         "index 3 (number 3 of 3) past the draw's 3 vertices"},
        {"DrawVB of three vertices", Op::DrawVB,
         TraceBytes::Payload({1, D3DPT_TRIANGLELIST, 1, 5, 3, 3, 2, 0}),
         "index 3 (number 3 of 3) past the draw's 3 vertices"},
        {"DrawVB of four vertices", Op::DrawVB,
         TraceBytes::Payload({1, D3DPT_TRIANGLELIST, 1, 5, 4, 3, 2, 0}), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TraceBytes t;
        std::vector<char> vertices = TraceBytes::Payload({1});
        vertices.resize(4 + 3 * sizeof(D3DVERTEX));
        t.Record(Op::Blob, vertices);
        std::vector<char> indices = TraceBytes::Payload({2, 1 << 16, 3});
        indices.resize(4 + 3 * 2);
        t.Record(Op::Blob, indices);
        t.Record(c.op, c.payload);
        t.End();
        const std::string path = t.Write(Path("indices.vtr"));
        Unchecking player;
        std::string why;
        try {
            replay::Play(replay::LoadTrace(path), player, replay::PlayOptions{}, nullptr);
        } catch (const replay::TraceError& e) {
            why = e.what();
        }
        if (*c.why == '\0') {
            EXPECT_EQ(why, "");
            EXPECT_EQ(player.draws, 1);
        } else {
            EXPECT_NE(why.find(path + ": record 1 (" + replay::OpName(c.op) + "): " + c.why),
                      std::string::npos)
                << why;
            EXPECT_EQ(player.draws, 0);
        }
    }
}

// A blob's size is counted in 64 bits: one of nearly 4 GiB (here in a sparse file) asks for all
// of it, never for a count wrapped round to nothing that the bytes would then overrun, and where
// that much memory cannot be had the trace is refused saying so.
TEST_F(TraceReplay, ABlobThatDoesNotFitInMemoryIsRefusedSayingSo) {
#if defined(__SANITIZE_ADDRESS__) || !defined(__linux__)
    GTEST_SKIP() << "needs a memory limit that only the plain Linux build takes";
#else
    TraceBytes t;
    t.Record(dxtrace::Op::Blob, TraceBytes::Payload({1}));
    const uint32_t size = 0xFFFFFFFFu;  // the id and 4 GiB - 5 bytes
    std::memcpy(&t.bytes[17], &size, 4);
    const std::string path = t.Write(Path("huge.vtr"));
    std::filesystem::resize_file(path, t.bytes.size() - 4 + size);
    // In a process of its own, allowed 1 GiB more address space than it has.
    auto loadWithLessMemory = [&path] {
        std::ifstream statm("/proc/self/statm");
        uint64_t pages = 0;
        statm >> pages;
        const rlim_t limit = pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) + (1u << 30);
        const rlimit cap{limit, limit};
        setrlimit(RLIMIT_AS, &cap);
        try {
            replay::LoadTrace(path);
        } catch (const replay::TraceError& e) {
            std::fprintf(stderr, "%s\n", e.what());
            std::exit(3);
        }
        std::exit(0);
    };
    EXPECT_EXIT(loadWithLessMemory(), ::testing::ExitedWithCode(3),
                "huge.vtr at byte 16: blob 1 of 4294967291 bytes does not fit in memory");
#endif
}
