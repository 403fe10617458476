// Writes the fuzzers' seed corpus with the program's own writers, so the seeds always follow the
// current record layouts: fuzz_seeds OUT makes OUT/archive, OUT/model, OUT/geometry, OUT/image,
// OUT/input and OUT/trace.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxTrace.h"
#include "platform/dx/Gdi.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/InputRecording.h"
#include "resources/Archive.h"
#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "resources/SurfaceFrames.h"
#include "stb_image_write.h"

namespace {

ModelData ChainModel() {
    ModelData m;
    for (int i = 0; i < 9; ++i) {
        m.Vertices.push_back({float(i % 3), float(i / 3), 0, 0, 0, -1, 0xFF208040u, 0.5f, 0.5f});
    }
    m.VertexCount = 9;
    m.Indices = {0, 1, 3, 1, 4, 3, 3, 4, 6, 4, 7, 6, 1, 2, 4, 2, 5, 4};
    m.IndexCount = 18;
    m.Groups = {{{0, 0, 0}, 0, 3, 0, 1}, {{0, 1, 0}, 3, 3, 1, 1}, {{0, 1, 0}, 6, 3, 2, 1}};
    m.GroupCount = 3;
    m.GroupList = {0, 1, 2, -1, 0};
    m.GroupListCount = 5;
    m.Name = "PALM";
    return m;
}

GeometrySet StripSet(const std::string& name) {
    GeometrySet s;
    for (int i = 0; i < 6; ++i) {
        D3DVERTEX v;
        v.x = float(i);
        v.y = float(i % 2);
        v.color = 0xFFFFFFFFu;
        s.Vertices.push_back(v);
        s.BaseColors.push_back(-1);
    }
    s.VertexCount = 6;
    GeometryPart strip;
    strip.PartVertexCount = 4;
    strip.Indices = {0, 1, 2, 3};
    strip.IndexCount = 4;
    strip.PrimitiveKind = 5;
    strip.PartName = FixedGeometryName("BG");
    GeometryPart tri;
    tri.FirstVertex = 3;
    tri.PartVertexCount = 3;
    tri.Indices = {0, 1, 2, 2};
    tri.IndexCount = 3;
    tri.PrimitiveKind = 4;
    tri.PartName = FixedGeometryName("MINI");
    s.Parts = {strip, tri};
    s.PartCount = 2;
    s.Name = FixedGeometryName(name);
    s.InUse = 1;
    return s;
}

void Append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

std::vector<uint8_t> Png(int w, int h, int channels) {
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * channels);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37);
    std::vector<uint8_t> out;
    stbi_write_png_to_func(Append, &out, w, h, channels, pixels.data(), w * channels);
    return out;
}

std::vector<uint8_t> Bmp(int w, int h) {
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3, 0x5A);
    std::vector<uint8_t> out;
    stbi_write_bmp_to_func(Append, &out, w, h, 3, pixels.data());
    return out;
}

void Save(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    WriteWholeFile(path.string(), bytes);
}

// A recorded session as the window writes it: its start, events before the first frame, pass
// times, keys, typed text, the pointer and a click.
std::vector<uint8_t> SessionSeed() {
    InputRecording r;
    RecordSession(r, 45296);
    RecordScale(r, 2);
    RecordAnswer(r, false);
    RecordMouse(r, 0, {106, 160});
    RecordPassTime(r, 1, 295708);
    RecordKeyDown(r, 1, 'A');
    RecordCharacter(r, 1, 'a');
    RecordPassTime(r, 2, 6944);
    RecordKeyDown(r, 2, vk::LEFT);
    RecordPassTime(r, 3, 41234);
    RecordKeyUp(r, 3, 'A');
    RecordKeyDown(r, 3, vk::SPACE);
    RecordCharacter(r, 3, ' ');
    RecordMouse(r, 3, {320, 200});
    RecordClick(r, 3);
    RecordPassTime(r, 4, 0);
    RecordKeyDown(r, 4, vk::ESCAPE);
    std::ostringstream text;
    WriteNewEvents(r, text);
    const std::string s = text.str();
    return std::vector<uint8_t>(s.begin(), s.end());
}

// A small scene through every kind of call a trace holds, drawn on the program's own device
// while its recorder writes the trace. Recording from the start, objects are recorded as they
// are made; from the middle, the device, its small target and the textures and vertex buffers
// are described when first used (their pixels, vertices, the device's whole state). The 3D
// scene is drawn small and stretched onto the screen, so that the seeds stay a few kilobytes.
void TraceSeed(const std::filesystem::path& path, bool startLate) {
    std::filesystem::create_directories(path.parent_path());
    constexpr int kW = 32, kH = 24;
    HeadlessHost host{HeadlessOptions{}};
    SetDeviceThreads(1);
    DirectDraw7 draw{host};
    std::unique_ptr<dxtrace::Recorder> recorder;
    auto record = [&] {
        recorder = std::make_unique<dxtrace::Recorder>(path.string());
        dxtrace::activeRecorder = recorder.get();
    };
    if (!startLate) record();

    DDSURFACEDESC2 d;
    d.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.ddsCaps.lCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    d.lWidth = kW;
    d.lHeight = kH;
    SurfacePtr target = draw.CreateSurface(d);
    d.ddsCaps.lCaps = DDSCAPS_ZBUFFER;
    SurfacePtr depth = draw.CreateSurface(d);
    target->AddAttachedSurface(depth);
    std::shared_ptr<Direct3DDevice7> device =
        draw.GetDirect3D()->CreateDevice("IID_IDirect3DHALDevice", target);
    device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 1);
    DDSURFACEDESC2 t;
    t.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    t.ddsCaps.lCaps = DDSCAPS_TEXTURE;
    t.lWidth = t.lHeight = 8;
    SurfacePtr texture = draw.CreateSurfaceFromMemory(Png(4, 4, 3), t);
    texture->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{0xF81F, 0xF81F});
    t.ddsCaps.lCaps = DDSCAPS_OFFSCREENPLAIN;
    SurfacePtr sprite = draw.CreateSurface(t);
    const RECT half{0, 0, 8, 4};
    sprite->BltColorFill(&half, 0x07E0);
    sprite->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{0, 0});
    D3DVERTEXBUFFERDESC vb;
    vb.lFVF = D3DFVF_VERTEX;
    vb.lNumVertices = 4;
    auto model = draw.GetDirect3D()->CreateVertexBuffer(vb, 0);
    auto still = draw.GetDirect3D()->CreateVertexBuffer(vb, 0);
    vb.lFVF = 0x2C4;
    auto processed = draw.GetDirect3D()->CreateVertexBuffer(vb, 0);

    D3DVERTEX quad[4];
    const float xs[4] = {-1, 1, 1, -1}, ys[4] = {1, 1, -1, -1};
    for (int i = 0; i < 4; ++i) {
        quad[i].x = xs[i];
        quad[i].y = ys[i];
        quad[i].z = 3.0f + static_cast<float>(i);
        quad[i].nz = -1;
        quad[i].color = 0xFFFFFFFFu;
        quad[i].tu = (xs[i] + 1) * 0.75f;
        quad[i].tv = (1 - ys[i]) * 0.75f;
    }
    still->Lock(DDLOCK_WRITEONLY);
    still->SetVertices(0, 4, quad);
    still->Unlock();
    still->Optimize(*device, 0);
    if (startLate) record();

    // The screen, made while recording (its pixels would make the seed large).
    draw.SetCooperativeLevel(0, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
    draw.SetDisplayMode(320, 240, 16, 0, 0);
    DDSURFACEDESC2 p;
    p.lFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    p.ddsCaps.lCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    p.lBackBufferCount = 1;
    SurfacePtr primary = draw.CreateSurface(p);
    DDSCAPS2 caps;
    caps.lCaps = DDSCAPS_BACKBUFFER;
    SurfacePtr back = primary->GetAttachedSurface(caps);

    const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    for (int n = 0; n < 2; ++n) {
        Direct3DDevice7& dev = *device;
        D3DMATRIX id;
        id.rc11 = id.rc22 = id.rc33 = id.rc44 = 1;
        D3DMATRIX proj = id;
        proj.rc34 = 1;
        proj.rc44 = 0;
        proj.rc43 = -0.1f;
        dev.SetTransform(D3DTRANSFORMSTATE_PROJECTION, proj);
        D3DMATRIX view = id;
        view.rc41 = 0.1f * static_cast<float>(n);
        dev.SetTransform(D3DTRANSFORMSTATE_VIEW, view);
        D3DMATRIX turn = id;
        turn.rc12 = 0.2f;
        dev.MultiplyTransform(D3DTRANSFORMSTATE_WORLD, turn);
        D3DVIEWPORT7 viewport{0, 0, kW, kH, 0.0f, 1.0f};
        dev.SetViewport(viewport);
        dev.SetRenderTarget(target, 0);
        dev.BeginScene();
        const D3DRECT top{0, 0, kW, kH / 2};
        dev.Clear(1, &top, D3DCLEAR_TARGET, 0x204060, 1.0f, 0);
        dev.Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        D3DLIGHT7 sun;
        sun.dltType = D3DLIGHT_DIRECTIONAL;
        sun.diffuse = {1.0f, 0.8f, 0.6f, 0};
        sun.direction = {0.3f, -0.5f, 1.0f};
        dev.SetLight(0, sun);
        dev.LightEnable(0, true);
        D3DMATERIAL7 material;
        material.diffuse = material.ambient = {1, 1, 1, 1};
        dev.SetMaterial(material);
        dev.SetRenderState(D3DRENDERSTATE_AMBIENT, 0x303030);
        dev.SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
        dev.SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
        dev.SetRenderState(D3DRENDERSTATE_FOGCOLOR, 0x8090A0);
        dev.SetTexture(0, texture);
        dev.SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        dev.SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
        dev.DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_VERTEX, quad, 4, 0);
        dev.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, quad, 4, indices, 6, 0);
        model->Lock(DDLOCK_WRITEONLY);
        quad[0].y = 0.5f * static_cast<float>(n);
        model->SetVertices(0, 4, quad);
        model->Unlock();
        processed->ProcessVertices(D3DVOP_TRANSFORM | D3DVOP_LIGHT | D3DVOP_CLIP, 0, 4, *model, 0,
                                   dev, 0);
        dev.SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        dev.SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
        dev.SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
        dev.SetTexture(0, nullptr);
        dev.DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, *processed, 0, 4, indices, 6, 0);
        dev.SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
        dev.SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME);
        dev.DrawPrimitiveVB(D3DPT_LINESTRIP, *still, 0, 4, 0);
        dev.SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
        dev.EndScene();

        target->BltFast(2 + n, 2, sprite.get(), RECT{0, 0, 8, 8}, DDBLTFAST_SRCCOLORKEY);
        const RECT corner{20, 14, 30, 22};
        target->Blt(&corner, texture.get(), nullptr, DDBLT_KEYSRC);
        GdiDC* from = target->GetDC();
        GdiDC* to = texture->GetDC();
        StretchBlt(to, 0, 0, 8, 8, from, 0, 0, kW, kH, SRCCOPY);
        target->ReleaseDC(from);
        texture->ReleaseDC(to);
        const RECT bar{0, kH - 2, kW, kH};
        target->BltColorFill(&bar, 0xFFE0);
        back->Blt(nullptr, target.get(), nullptr, 0);
        primary->Flip(nullptr, DDFLIP_WAIT);
    }
    sprite->Release();
    dxtrace::activeRecorder = nullptr;
    std::string error;
    if (!recorder->Finish(error)) std::fprintf(stderr, "fuzz_seeds: %s\n", error.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    const std::vector<uint8_t> model = WriteModelRecord(ChainModel());
    const std::vector<uint8_t> triangle = WriteModelRecord(BuiltInTriangle());
    const std::vector<uint8_t> geometry = WriteGeometrySetRecord(StripSet("COMMON"));
    const std::vector<uint8_t> frames =
        WriteSurfaceFrames({{0, 0, 8, 8, 0, 6}, {8, 0, 16, 8, 1, 7}});
    const std::vector<uint8_t> png = Png(4, 3, 3), pngAlpha = Png(2, 2, 4), bmp = Bmp(3, 2);

    Save(out / "model" / "chain", model);
    Save(out / "model" / "triangle", triangle);
    Save(out / "geometry" / "strip", geometry);
    Save(out / "geometry" / "bg", WriteGeometrySetRecord(StripSet("BG")));
    Save(out / "image" / "rgb.png", png);
    Save(out / "image" / "rgba.png", pngAlpha);
    Save(out / "image" / "rgb.bmp", bmp);
    Save(out / "archive" / "all", WriteArchive({{"PALM", EntryTypeModel, model},
                                                {"COMMON", EntryTypeGeometry, geometry},
                                                {"FONT", EntryTypeImage, png},
                                                {"FONT", EntryTypeFrameTable, frames},
                                                {"CLICK", EntryTypeText, {'a', ',', '1', '\n'}},
                                                {"PALM", EntryTypeModel, triangle}}));
    Save(out / "archive" / "single", WriteArchive({{"X", EntryTypeText, {}}}));
    Save(out / "input" / "session", SessionSeed());
    TraceSeed(out / "trace" / "from-start", false);
    TraceSeed(out / "trace" / "late-start", true);
    return 0;
}
