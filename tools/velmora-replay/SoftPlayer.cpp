#include "tools/velmora-replay/SoftPlayer.h"

#include <cstring>

#include "platform/dx/Gdi.h"

namespace replay {

namespace {
constexpr uint32_t kMaxObjects = 1u << 22;
}

SoftPlayer::SoftPlayer(int scale) : host_(HeadlessOptions{}), draw_(host_) {
    host_.SetDisplayScale(scale);
}

SoftPlayer::~SoftPlayer() = default;

template <typename T>
T& SoftPlayer::Slot(std::vector<T>& table, uint32_t id) {
    if (id == 0 || id >= kMaxObjects) {
        throw TraceError("object id " + std::to_string(id) + " out of range");
    }
    if (table.size() <= id) table.resize(id + 1);
    return table[id];
}

SurfacePtr& SoftPlayer::Surface(uint32_t id) {
    SurfacePtr& s = Slot(surfaces_, id);
    if (!s) throw TraceError("surface " + std::to_string(id) + " used before it was made");
    return s;
}

Direct3DDevice7& SoftPlayer::Device(uint32_t id) {
    auto& d = Slot(devices_, id);
    if (!d) throw TraceError("device " + std::to_string(id) + " used before it was made");
    return *d;
}

Direct3DVertexBuffer7& SoftPlayer::Buffer(uint32_t id) {
    auto& b = Slot(buffers_, id);
    if (!b) throw TraceError("vertex buffer " + std::to_string(id) + " used before it was made");
    return *b;
}

void SoftPlayer::CooperativeLevel(int32_t flags) {
    draw_.SetCooperativeLevel(0, flags);
}

void SoftPlayer::DisplayMode(int32_t width, int32_t height, int32_t bpp) {
    draw_.SetDisplayMode(width, height, bpp, 0, 0);
}

void SoftPlayer::CreateSurface(uint32_t id, const DDSURFACEDESC2& desc) {
    DDSURFACEDESC2 d = desc;
    Slot(surfaces_, id) = draw_.CreateSurface(d);
}

void SoftPlayer::BackBuffer(uint32_t primary, uint32_t back) {
    DDSCAPS2 caps;
    caps.lCaps = DDSCAPS_BACKBUFFER;
    Slot(surfaces_, back) = Surface(primary)->GetAttachedSurface(caps);
}

void SoftPlayer::AttachDepth(uint32_t target, uint32_t depth) {
    Surface(target)->AddAttachedSurface(Surface(depth));
}

void SoftPlayer::SurfacePixels(uint32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                               const uint16_t* pixels) {
    DirectDrawSurface7& s = *Surface(id);
    if (s.IsReleased() || x < 0 || y < 0 || width > s.LogicalWidth() - x ||
        height > s.LogicalHeight() - y) {
        throw TraceError("pixels outside surface " + std::to_string(id));
    }
    // The trace holds the program's pixels; a scaled surface takes each as a block.
    const int32_t k = s.Scale();
    for (int32_t row = 0; row < height * k; ++row) {
        const uint16_t* in = pixels + static_cast<size_t>(row / k) * width;
        uint16_t* out = s.Row(y * k + row) + x * k;
        if (k == 1) {
            std::memcpy(out, in, static_cast<size_t>(width) * 2);
            continue;
        }
        for (int32_t c = 0; c < width * k; ++c) out[c] = in[c / k];
    }
}

void SoftPlayer::ReleaseSurface(uint32_t id) {
    Surface(id)->Release();
}

void SoftPlayer::SetColorKey(uint32_t id, int32_t flags, const DDCOLORKEY& key) {
    Surface(id)->SetColorKey(flags, key);
}

void SoftPlayer::Blt(uint32_t dest, const RECT* destRect, uint32_t src, const RECT* srcRect,
                     int32_t flags) {
    Surface(dest)->Blt(destRect, Surface(src).get(), srcRect, flags);
}

void SoftPlayer::BltFast(uint32_t dest, int32_t x, int32_t y, uint32_t src, const RECT& srcRect,
                         int32_t flags) {
    Surface(dest)->BltFast(x, y, Surface(src).get(), srcRect, flags);
}

void SoftPlayer::ColorFill(uint32_t dest, const RECT* rect, int32_t color) {
    Surface(dest)->BltColorFill(rect, color);
}

void SoftPlayer::StretchBlt(uint32_t dest, int32_t x, int32_t y, int32_t width, int32_t height,
                            uint32_t src, int32_t srcX, int32_t srcY, int32_t srcWidth,
                            int32_t srcHeight) {
    DirectDrawSurface7& d = *Surface(dest);
    DirectDrawSurface7& s = *Surface(src);
    GdiDC* to = d.GetDC();
    GdiDC* from = &s == &d ? to : s.GetDC();
    ::StretchBlt(to, x, y, width, height, from, srcX, srcY, srcWidth, srcHeight, SRCCOPY);
    if (from != to) s.ReleaseDC(from);
    d.ReleaseDC(to);
}

void SoftPlayer::Flip(uint32_t primary, uint32_t override) {
    DirectDrawSurface7& p = *Surface(primary);
    p.Flip(override ? Surface(override).get() : nullptr, DDFLIP_WAIT);
    presented_ = &p;
}

void SoftPlayer::PresentedFrame(std::vector<uint16_t>& pixels, int& width, int& height) {
    if (presented_ == nullptr) throw TraceError("no frame presented yet");
    width = presented_->Width();
    height = presented_->Height();
    pixels.assign(presented_->Pixels(), presented_->Pixels() + static_cast<size_t>(width) * height);
}

void SoftPlayer::CreateDevice(uint32_t id, uint32_t target) {
    Slot(devices_, id) = std::make_shared<Direct3DDevice7>(Surface(target));
}

void SoftPlayer::SetRenderTarget(uint32_t device, uint32_t target, int32_t flags) {
    Device(device).SetRenderTarget(Surface(target), flags);
}

void SoftPlayer::BeginScene(uint32_t device) {
    Device(device).BeginScene();
}

void SoftPlayer::EndScene(uint32_t device) {
    Device(device).EndScene();
}

void SoftPlayer::Clear(uint32_t device, int32_t count, const D3DRECT* rects, int32_t flags,
                       int32_t color, float z) {
    Device(device).Clear(count, rects, flags, color, z, 0);
}

void SoftPlayer::RenderState(uint32_t device, int32_t state, int32_t value) {
    Device(device).SetRenderState(state, value);
}

void SoftPlayer::StageState(uint32_t device, int32_t stage, int32_t type, int32_t value) {
    Device(device).SetTextureStageState(stage, type, value);
}

void SoftPlayer::SetTexture(uint32_t device, int32_t stage, uint32_t surface) {
    Device(device).SetTexture(stage, surface ? Surface(surface) : SurfacePtr{});
}

void SoftPlayer::SetTransform(uint32_t device, int32_t type, const D3DMATRIX& m, bool multiply) {
    if (multiply) {
        Device(device).MultiplyTransform(type, m);
    } else {
        Device(device).SetTransform(type, m);
    }
}

void SoftPlayer::SetMaterial(uint32_t device, const D3DMATERIAL7& material) {
    Device(device).SetMaterial(material);
}

void SoftPlayer::SetLight(uint32_t device, int32_t index, const D3DLIGHT7& light) {
    Device(device).SetLight(index, light);
}

void SoftPlayer::LightEnable(uint32_t device, int32_t index, bool enable) {
    Device(device).LightEnable(index, enable);
}

void SoftPlayer::SetViewport(uint32_t device, const D3DVIEWPORT7& viewport) {
    Device(device).SetViewport(viewport);
}

void SoftPlayer::Draw(uint32_t device, const DrawCall& c) {
    if (c.indices) {
        Device(device).DrawIndexedPrimitive(c.type, c.fvf, c.vertices, c.vertexCount, c.indices,
                                            c.indexCount, c.flags);
    } else {
        Device(device).DrawPrimitive(c.type, c.fvf, c.vertices, c.vertexCount, c.flags);
    }
}

void SoftPlayer::DrawVB(uint32_t device, const DrawVBCall& c) {
    if (c.indices) {
        Device(device).DrawIndexedPrimitiveVB(c.type, Buffer(c.buffer), c.startVertex,
                                              c.numVertices, c.indices, c.indexCount, c.flags);
    } else {
        Device(device).DrawPrimitiveVB(c.type, Buffer(c.buffer), c.startVertex, c.numVertices,
                                       c.flags);
    }
}

void SoftPlayer::CreateVertexBuffer(uint32_t id, const D3DVERTEXBUFFERDESC& desc) {
    Slot(buffers_, id) = std::make_shared<Direct3DVertexBuffer7>(desc);
}

void SoftPlayer::LockVertexBuffer(uint32_t id, int32_t flags) {
    Slot(locked_, id) = Buffer(id).Lock(flags);
}

void SoftPlayer::UnlockVertexBuffer(uint32_t id, const uint8_t* data, uint32_t size) {
    Direct3DVertexBuffer7& b = Buffer(id);
    if (data != nullptr && b.IsLocked()) {
        std::span<std::byte> memory = Slot(locked_, id);
        if (size != memory.size()) {
            throw TraceError("vertex buffer " + std::to_string(id) + " content of another size");
        }
        std::memcpy(memory.data(), data, size);
    }
    b.Unlock();
}

void SoftPlayer::OptimizeVertexBuffer(uint32_t id) {
    Direct3DVertexBuffer7& b = Buffer(id);
    // The device argument is not used by the buffer; any made device will do.
    for (auto& d : devices_) {
        if (d) {
            b.Optimize(*d, 0);
            return;
        }
    }
    throw TraceError("vertex buffer optimised before a device exists");
}

void SoftPlayer::ProcessVertices(const ProcessCall& c) {
    Buffer(c.dest).ProcessVertices(c.op, c.destIndex, c.count, Buffer(c.source), c.sourceIndex,
                                   Device(c.device), c.flags);
}

}  // namespace replay
