// The trace recorder: records built in memory, written through a large buffer, data kept once
// per distinct content (two independent 64-bit hashes and the length name a blob).
#include "platform/dx/DxTrace.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "platform/dx/D3DPipeline.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxTraceFormat.h"
#include "platform/host/System.h"

namespace dxtrace {

namespace {

struct BlobKey {
    uint64_t a = 0, b = 0, size = 0;
    bool operator==(const BlobKey&) const = default;
};
struct BlobKeyHash {
    size_t operator()(const BlobKey& k) const { return static_cast<size_t>(k.a ^ (k.size << 7)); }
};

inline uint64_t Rotl(uint64_t x, int r) {
    return (x << r) | (x >> (64 - r));
}

BlobKey HashBytes(const uint8_t* p, size_t n) {
    uint64_t a = 0x9E3779B97F4A7C15ull ^ n, b = 0xC2B2AE3D27D4EB4Full + n;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        a = Rotl((a ^ w) * 0x87C37B91114253D5ull, 31);
        b = Rotl(b + w * 0x4CF5AD432745937Full, 27) * 0x165667B19E3779F9ull;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, p + i, n - i);
    a = Rotl((a ^ tail) * 0x87C37B91114253D5ull, 31);
    b = Rotl(b + tail * 0x4CF5AD432745937Full, 27) * 0x165667B19E3779F9ull;
    a ^= a >> 33;
    a *= 0xFF51AFD7ED558CCDull;
    a ^= a >> 33;
    b ^= b >> 29;
    b *= 0xC4CEB9FE1A85EC53ull;
    b ^= b >> 32;
    return {a, b, n};
}

// Past this many distinct blobs the table starts afresh: later repeats are written again, so
// a long recording's memory stays bounded.
constexpr size_t kMaxRememberedBlobs = 1u << 21;
constexpr size_t kFlushBytes = 4u << 20;

}  // namespace

struct Recorder::Impl {
    std::FILE* file = nullptr;
    std::string path;
    std::string error;
    std::vector<uint8_t> out;  // bytes waiting for the file
    std::vector<uint8_t> rec;  // the record being built
    uint64_t written = 0;
    uint32_t records = 0, flips = 0;
    uint32_t nextId = 1, nextBlob = 1;
    std::unordered_map<const void*, uint32_t> ids;
    std::unordered_map<BlobKey, uint32_t, BlobKeyHash> blobs;
    Op op = Op::End;

    void Flush() {
        if (out.empty()) return;
        if (file && error.empty() && std::fwrite(out.data(), 1, out.size(), file) != out.size()) {
            error = "cannot write " + path;
        }
        written += out.size();
        out.clear();
    }
    void Begin(Op o) {
        op = o;
        rec.clear();
    }
    static void Append(std::vector<uint8_t>& to, const void* p, size_t n) {
        const size_t at = to.size();
        to.resize(at + n);
        std::memcpy(to.data() + at, p, n);
    }
    void Bytes(const void* p, size_t n) { Append(rec, p, n); }
    void I32(int32_t v) { Bytes(&v, 4); }
    void U32(uint32_t v) { Bytes(&v, 4); }
    void F32(float v) { Bytes(&v, 4); }
    void Commit() {
        const uint32_t size = static_cast<uint32_t>(rec.size());
        out.push_back(static_cast<uint8_t>(op));
        Append(out, &size, 4);
        Append(out, rec.data(), rec.size());
        ++records;
        if (out.size() >= kFlushBytes) Flush();
    }
    // A blob's id, writing the blob first when its content is new. Empty data is blob 0.
    uint32_t Blob(const void* data, size_t n) {
        if (n == 0 || data == nullptr) return 0;
        const BlobKey key = HashBytes(static_cast<const uint8_t*>(data), n);
        if (auto it = blobs.find(key); it != blobs.end()) return it->second;
        if (blobs.size() >= kMaxRememberedBlobs) blobs.clear();
        const uint32_t id = nextBlob++;
        blobs.emplace(key, id);
        const uint32_t size = static_cast<uint32_t>(n + 4);
        out.push_back(static_cast<uint8_t>(Op::Blob));
        Append(out, &size, 4);
        Append(out, &id, 4);
        Append(out, data, n);
        ++records;
        if (out.size() >= kFlushBytes) Flush();
        return id;
    }
    void Desc(const DDSURFACEDESC2& d) {
        for (int32_t v : {d.lFlags, d.lWidth, d.lHeight, d.lBackBufferCount, d.ddckCKSrcBlt.low,
                          d.ddckCKSrcBlt.high, d.ddpfPixelFormat.lFlags,
                          d.ddpfPixelFormat.lRGBBitCount, d.ddsCaps.lCaps, d.ddsCaps.lCaps2}) {
            I32(v);
        }
    }
    void Rect(const RECT* r) {
        rec.push_back(r ? 1 : 0);
        const RECT z = r ? *r : RECT{};
        for (int32_t v : {z.Left, z.Top, z.Right, z.Bottom}) I32(v);
    }
    uint32_t NewId(const void* object) {
        const uint32_t id = nextId++;
        ids[object] = id;
        return id;
    }
    // The id of a surface, describing it with its pixels (and the primary surface, back
    // buffer and depth surface it belongs with) when it was made before recording.
    uint32_t Surface(const DirectDrawSurface7* s) {
        if (s == nullptr) return 0;
        if (auto it = ids.find(s); it != ids.end()) return it->second;
        const DirectDraw7& owner = *s->owner_;
        if (const SurfacePtr primary = owner.primary_.lock();
            primary && primary.get() != s && primary->backBuffer_.get() == s) {
            Surface(primary.get());  // describes its back buffer too
            return ids.at(s);
        }
        const uint32_t id = NewId(s);
        if (s->IsReleased()) return id;
        DDSURFACEDESC2 d;
        s->GetSurfaceDesc(d);
        const bool primary = (d.ddsCaps.lCaps & DDSCAPS_PRIMARYSURFACE) != 0;
        if (primary) {
            Begin(Op::CooperativeLevel);
            I32(owner.cooperativeLevel_);
            Commit();
            Begin(Op::DisplayMode);
            for (int32_t v : {owner.displayWidth_, owner.displayHeight_, 16}) I32(v);
            Commit();
            if (s->backBuffer_) {
                d.lFlags |= DDSD_BACKBUFFERCOUNT;
                d.lBackBufferCount = 1;
            } else {
                d.ddsCaps.lCaps &= ~DDSCAPS_FLIP;
            }
        }
        Begin(Op::CreateSurface);
        U32(id);
        Desc(d);
        Commit();
        if (!s->IsDepth()) SurfaceRegion(id, *s, 0, 0, s->LogicalWidth(), s->LogicalHeight());
        if (primary && s->backBuffer_) {
            const DirectDrawSurface7& back = *s->backBuffer_;
            const uint32_t backId = NewId(&back);
            Begin(Op::BackBuffer);
            U32(id);
            U32(backId);
            Commit();
            SurfaceRegion(backId, back, 0, 0, back.LogicalWidth(), back.LogicalHeight());
            AttachedDepth(backId, back);
        }
        AttachedDepth(id, *s);
        return id;
    }
    void AttachedDepth(uint32_t id, const DirectDrawSurface7& s) {
        if (!s.attachedDepth_) return;
        const uint32_t depth = Surface(s.attachedDepth_.get());
        Begin(Op::AttachDepth);
        U32(id);
        U32(depth);
        Commit();
    }
    void SurfaceRegion(uint32_t id, const DirectDrawSurface7& s, int32_t x, int32_t y, int32_t w,
                       int32_t h) {
        if (w <= 0 || h <= 0) return;
        // In the program's pixels: a scaled surface gives the first pixel of each block.
        std::vector<uint16_t> pixels(static_cast<size_t>(w) * h);
        const int32_t k = s.Scale();
        for (int32_t row = 0; row < h; ++row) {
            uint16_t* out = &pixels[static_cast<size_t>(row) * w];
            const uint16_t* in = s.Row((y + row) * k);
            if (k == 1) {
                std::memcpy(out, in + x, static_cast<size_t>(w) * 2);
                continue;
            }
            for (int32_t c = 0; c < w; ++c) out[c] = in[(x + c) * k];
        }
        const uint32_t blob = Blob(pixels.data(), pixels.size() * 2);
        Begin(Op::SurfacePixels);
        U32(id);
        for (int32_t v : {x, y, w, h}) I32(v);
        U32(blob);
        Commit();
    }
};

Recorder::Recorder(const std::string& path) : impl_(std::make_unique<Impl>()) {
    impl_->path = path;
    impl_->file = OpenFileForWriting(path);
    if (impl_->file == nullptr) throw std::runtime_error("cannot write trace " + path);
    // Records are gathered here and written whole: unbuffered, a run that is killed leaves a
    // file ending at a record, which plays up to there, not in the middle of one.
    std::setvbuf(impl_->file, nullptr, _IONBF, 0);
    impl_->out.reserve(kFlushBytes + 65536);
    const uint32_t header[2] = {kVersion, 0};
    Impl::Append(impl_->out, kMagic, 8);
    Impl::Append(impl_->out, header, 8);
}

Recorder::~Recorder() {
    if (impl_->file) {
        std::string ignored;
        Finish(ignored);
    }
}

bool Recorder::Finish(std::string& error) {
    Impl& m = *impl_;
    if (m.file == nullptr) {
        error = m.error;
        return m.error.empty();
    }
    m.Begin(Op::End);
    m.U32(m.records);
    m.U32(m.flips);
    m.Commit();
    m.Flush();
    if (std::fclose(m.file) != 0 && m.error.empty()) m.error = "cannot write " + m.path;
    m.file = nullptr;
    error = m.error;
    return m.error.empty();
}

uint64_t Recorder::BytesWritten() const {
    return impl_->written + impl_->out.size();
}

uint32_t Recorder::Flips() const {
    return impl_->flips;
}

void Recorder::CooperativeLevel(int32_t flags) {
    impl_->Begin(Op::CooperativeLevel);
    impl_->I32(flags);
    impl_->Commit();
}

void Recorder::DisplayMode(int32_t width, int32_t height, int32_t bpp) {
    impl_->Begin(Op::DisplayMode);
    for (int32_t v : {width, height, bpp}) impl_->I32(v);
    impl_->Commit();
}

void Recorder::CreateSurface(const DirectDrawSurface7& surface, const DDSURFACEDESC2& desc) {
    Impl& m = *impl_;
    const uint32_t id = m.NewId(&surface);
    m.Begin(Op::CreateSurface);
    m.U32(id);
    m.Desc(desc);
    m.Commit();
}

void Recorder::BackBuffer(const DirectDrawSurface7& primary, const DirectDrawSurface7& back) {
    Impl& m = *impl_;
    const uint32_t p = m.Surface(&primary);
    const uint32_t b = m.NewId(&back);
    m.Begin(Op::BackBuffer);
    m.U32(p);
    m.U32(b);
    m.Commit();
}

void Recorder::AttachDepth(const DirectDrawSurface7& target, const DirectDrawSurface7& depth) {
    Impl& m = *impl_;
    const uint32_t t = m.Surface(&target), d = m.Surface(&depth);
    m.Begin(Op::AttachDepth);
    m.U32(t);
    m.U32(d);
    m.Commit();
}

void Recorder::SurfacePixels(const DirectDrawSurface7& surface, int32_t x, int32_t y, int32_t width,
                             int32_t height) {
    Impl& m = *impl_;
    const bool known = m.ids.count(&surface) != 0;
    const uint32_t id = m.Surface(&surface);
    if (known) m.SurfaceRegion(id, surface, x, y, width, height);  // else defined with them
}

void Recorder::ReleaseSurface(const DirectDrawSurface7& surface) {
    Impl& m = *impl_;
    const uint32_t id = m.Surface(&surface);
    m.Begin(Op::ReleaseSurface);
    m.U32(id);
    m.Commit();
}

void Recorder::SetColorKey(const DirectDrawSurface7& surface, int32_t flags,
                           const DDCOLORKEY& key) {
    Impl& m = *impl_;
    const uint32_t id = m.Surface(&surface);
    m.Begin(Op::SetColorKey);
    m.U32(id);
    for (int32_t v : {flags, key.low, key.high}) m.I32(v);
    m.Commit();
}

void Recorder::Blt(const DirectDrawSurface7& dest, const RECT* destRect,
                   const DirectDrawSurface7& src, const RECT* srcRect, int32_t flags) {
    Impl& m = *impl_;
    const uint32_t d = m.Surface(&dest), s = m.Surface(&src);
    m.Begin(Op::Blt);
    m.U32(d);
    m.Rect(destRect);
    m.U32(s);
    m.Rect(srcRect);
    m.I32(flags);
    m.Commit();
}

void Recorder::BltFast(const DirectDrawSurface7& dest, int32_t x, int32_t y,
                       const DirectDrawSurface7& src, const RECT& srcRect, int32_t flags) {
    Impl& m = *impl_;
    const uint32_t d = m.Surface(&dest), s = m.Surface(&src);
    m.Begin(Op::BltFast);
    m.U32(d);
    m.I32(x);
    m.I32(y);
    m.U32(s);
    m.Rect(&srcRect);
    m.I32(flags);
    m.Commit();
}

void Recorder::ColorFill(const DirectDrawSurface7& dest, const RECT* rect, int32_t color) {
    Impl& m = *impl_;
    const uint32_t d = m.Surface(&dest);
    m.Begin(Op::ColorFill);
    m.U32(d);
    m.Rect(rect);
    m.I32(color);
    m.Commit();
}

void Recorder::StretchBlt(const DirectDrawSurface7& dest, int32_t x, int32_t y, int32_t width,
                          int32_t height, const DirectDrawSurface7& src, int32_t srcX, int32_t srcY,
                          int32_t srcWidth, int32_t srcHeight) {
    Impl& m = *impl_;
    const uint32_t d = m.Surface(&dest), s = m.Surface(&src);
    m.Begin(Op::StretchBlt);
    m.U32(d);
    for (int32_t v : {x, y, width, height}) m.I32(v);
    m.U32(s);
    for (int32_t v : {srcX, srcY, srcWidth, srcHeight}) m.I32(v);
    m.Commit();
}

void Recorder::Flip(const DirectDrawSurface7& primary, const DirectDrawSurface7* override) {
    Impl& m = *impl_;
    const uint32_t p = m.Surface(&primary), o = m.Surface(override);
    m.Begin(Op::Flip);
    m.U32(p);
    m.U32(o);
    m.Commit();
    ++m.flips;
}

void Recorder::Forget(const void* object) {
    impl_->ids.erase(object);
}

namespace {
// The device's state as calls, for a device made before recording started.
void DescribeDevice(Recorder& r, const Direct3DDevice7& device) {
    for (int32_t state = 0; state < d3d::kRenderStateCount; ++state) {
        if (d3d::IsKnownRenderState(state))
            r.RenderState(device, state, device.GetRenderState(state));
    }
    for (int32_t stage = 0; stage < d3d::kStageCount; ++stage) {
        for (int32_t type = 0; type < d3d::kStageStateCount; ++type) {
            if (d3d::IsKnownStageState(type)) {
                r.StageState(device, stage, type, device.GetTextureStageState(stage, type));
            }
        }
        if (SurfacePtr t = device.GetTexture(stage)) r.SetTexture(device, stage, t.get());
    }
    for (int32_t type :
         {D3DTRANSFORMSTATE_WORLD, D3DTRANSFORMSTATE_VIEW, D3DTRANSFORMSTATE_PROJECTION}) {
        D3DMATRIX m;
        device.GetTransform(type, m);
        r.SetTransform(device, type, m, false);
    }
    D3DMATERIAL7 material;
    device.GetMaterial(material);
    r.SetMaterial(device, material);
    for (int32_t i = 0; i < 64; ++i) {
        D3DLIGHT7 light;
        try {
            device.GetLight(i, light);
        } catch (...) {
            continue;
        }
        r.SetLight(device, i, light);
        r.LightEnable(device, i, device.GetLightEnable(i));
    }
    D3DVIEWPORT7 vp;
    device.GetViewport(vp);
    r.SetViewport(device, vp);
    if (device.InScene()) r.BeginScene(device);
}
}  // namespace

// A device seen for the first time gets its creation and its current state written first.
#define DEVICE_ID(device)                                     \
    uint32_t dev;                                             \
    if (auto it = m.ids.find(&(device)); it != m.ids.end()) { \
        dev = it->second;                                     \
    } else {                                                  \
        CreateDevice(device, *(device).GetRenderTarget());    \
        DescribeDevice(*this, device);                        \
        dev = m.ids.at(&(device));                            \
    }

void Recorder::CreateDevice(const Direct3DDevice7& device, const DirectDrawSurface7& target) {
    Impl& m = *impl_;
    const uint32_t t = m.Surface(&target);
    const uint32_t id = m.NewId(&device);
    m.Begin(Op::CreateDevice);
    m.U32(id);
    m.U32(t);
    m.Commit();
}

void Recorder::SetRenderTarget(const Direct3DDevice7& device, const DirectDrawSurface7& target,
                               int32_t flags) {
    Impl& m = *impl_;
    DEVICE_ID(device);
    const uint32_t t = m.Surface(&target);
    m.Begin(Op::SetRenderTarget);
    m.U32(dev);
    m.U32(t);
    m.I32(flags);
    m.Commit();
}

void Recorder::BeginScene(const Direct3DDevice7& device) {
    Impl& m = *impl_;
    DEVICE_ID(device);
    m.Begin(Op::BeginScene);
    m.U32(dev);
    m.Commit();
}

void Recorder::EndScene(const Direct3DDevice7& device) {
    Impl& m = *impl_;
    DEVICE_ID(device);
    m.Begin(Op::EndScene);
    m.U32(dev);
    m.Commit();
}

void Recorder::Clear(const Direct3DDevice7& device, int32_t count, const D3DRECT* rects,
                     int32_t flags, int32_t color, float z) {
    Impl& m = *impl_;
    DEVICE_ID(device);
    m.Begin(Op::Clear);
    m.U32(dev);
    m.I32(count);
    for (int32_t i = 0; i < count; ++i) {
        for (int32_t v : {rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2}) m.I32(v);
    }
    m.I32(flags);
    m.I32(color);
    m.F32(z);
    m.Commit();
}

void Recorder::RenderState(const Direct3DDevice7& device, int32_t state, int32_t value) {
    Impl& m = *impl_;
    DEVICE_ID(device);
    m.Begin(Op::RenderState);
    m.U32(dev);
    m.I32(state);
    m.I32(value);
    m.Commit();
}

void Recorder::StageState(const Direct3DDevice7& device, int32_t stage, int32_t type,
                          int32_t value) {
    Impl& m = *impl_;
    DEVICE_ID(device);
    m.Begin(Op::StageState);
    m.U32(dev);
    for (int32_t v : {stage, type, value}) m.I32(v);
    m.Commit();
}

void Recorder::SetTexture(const Direct3DDevice7& device, int32_t stage,
                          const DirectDrawSurface7* texture) {
    Impl& m = *impl_;
    DEVICE_ID(device);
    const uint32_t t = m.Surface(texture);
    m.Begin(Op::SetTexture);
    m.U32(dev);
    m.I32(stage);
    m.U32(t);
    m.Commit();
}

void Recorder::SetTransform(const Direct3DDevice7& device, int32_t type, const D3DMATRIX& matrix,
                            bool multiply) {
    Impl& m = *impl_;
    DEVICE_ID(device);
    m.Begin(multiply ? Op::MultiplyTransform : Op::SetTransform);
    m.U32(dev);
    m.I32(type);
    m.Bytes(&matrix, sizeof matrix);
    m.Commit();
}

void Recorder::SetMaterial(const Direct3DDevice7& device, const D3DMATERIAL7& material) {
    static_assert(sizeof(D3DMATERIAL7) == 68);
    Impl& m = *impl_;
    DEVICE_ID(device);
    m.Begin(Op::SetMaterial);
    m.U32(dev);
    m.Bytes(&material, sizeof material);
    m.Commit();
}

void Recorder::SetLight(const Direct3DDevice7& device, int32_t index, const D3DLIGHT7& light) {
    static_assert(sizeof(D3DLIGHT7) == 104);
    Impl& m = *impl_;
    DEVICE_ID(device);
    m.Begin(Op::SetLight);
    m.U32(dev);
    m.I32(index);
    m.Bytes(&light, sizeof light);
    m.Commit();
}

void Recorder::LightEnable(const Direct3DDevice7& device, int32_t index, bool enable) {
    Impl& m = *impl_;
    DEVICE_ID(device);
    m.Begin(Op::LightEnable);
    m.U32(dev);
    m.I32(index);
    m.I32(enable ? 1 : 0);
    m.Commit();
}

void Recorder::SetViewport(const Direct3DDevice7& device, const D3DVIEWPORT7& viewport) {
    static_assert(sizeof(D3DVIEWPORT7) == 24);
    Impl& m = *impl_;
    DEVICE_ID(device);
    m.Begin(Op::SetViewport);
    m.U32(dev);
    m.Bytes(&viewport, sizeof viewport);
    m.Commit();
}

void Recorder::Draw(const Direct3DDevice7& device, int32_t type, int32_t fvf, int32_t stride,
                    const void* vertices, int32_t vertexCount, const uint16_t* indices,
                    int32_t indexCount, int32_t flags) {
    Impl& m = *impl_;
    DEVICE_ID(device);
    const uint32_t vb =
        m.Blob(vertices, static_cast<size_t>(vertexCount) * static_cast<size_t>(stride));
    const uint32_t ib = indices ? m.Blob(indices, static_cast<size_t>(indexCount) * 2) : 0;
    m.Begin(Op::Draw);
    m.U32(dev);
    for (int32_t v : {type, fvf, vertexCount}) m.I32(v);
    m.U32(vb);
    m.I32(indices ? indexCount : -1);
    m.U32(ib);
    m.I32(flags);
    m.Commit();
}

void Recorder::DrawVB(const Direct3DDevice7& device, int32_t type,
                      const Direct3DVertexBuffer7& buffer, int32_t startVertex, int32_t numVertices,
                      const uint16_t* indices, int32_t indexCount, int32_t flags) {
    Impl& m = *impl_;
    DEVICE_ID(device);
    const uint32_t b = VertexBufferId(buffer);
    const uint32_t ib = indices ? m.Blob(indices, static_cast<size_t>(indexCount) * 2) : 0;
    m.Begin(Op::DrawVB);
    m.U32(dev);
    m.I32(type);
    m.U32(b);
    m.I32(startVertex);
    m.I32(numVertices);
    m.I32(indices ? indexCount : -1);
    m.U32(ib);
    m.I32(flags);
    m.Commit();
}

void Recorder::CreateVertexBuffer(const Direct3DVertexBuffer7& buffer,
                                  const D3DVERTEXBUFFERDESC& desc) {
    Impl& m = *impl_;
    const uint32_t id = m.NewId(&buffer);
    m.Begin(Op::CreateVertexBuffer);
    m.U32(id);
    for (int32_t v : {desc.lCaps, desc.lFVF, desc.lNumVertices}) m.I32(v);
    m.Commit();
}

void Recorder::LockVertexBuffer(const Direct3DVertexBuffer7& buffer, int32_t flags) {
    Impl& m = *impl_;
    const uint32_t id = VertexBufferId(buffer);
    m.Begin(Op::LockVertexBuffer);
    m.U32(id);
    m.I32(flags);
    m.Commit();
}

void Recorder::UnlockVertexBuffer(const Direct3DVertexBuffer7& buffer,
                                  std::span<const std::byte> data) {
    Impl& m = *impl_;
    const uint32_t id = VertexBufferId(buffer);
    const uint32_t blob = m.Blob(data.data(), data.size());
    m.Begin(Op::UnlockVertexBuffer);
    m.U32(id);
    m.U32(blob);
    m.Commit();
}

uint32_t Recorder::VertexBufferId(const Direct3DVertexBuffer7& buffer) {
    Impl& m = *impl_;
    if (auto it = m.ids.find(&buffer); it != m.ids.end()) return it->second;
    D3DVERTEXBUFFERDESC desc;
    buffer.GetVertexBufferDesc(desc);
    desc.lCaps &= ~D3DVBCAPS_OPTIMIZED;
    CreateVertexBuffer(buffer, desc);
    const uint32_t id = m.ids.at(&buffer);
    const uint32_t blob = m.Blob(buffer.data_.data(), buffer.data_.size());
    m.Begin(Op::LockVertexBuffer);
    m.U32(id);
    m.I32(0);
    m.Commit();
    m.Begin(Op::UnlockVertexBuffer);
    m.U32(id);
    m.U32(blob);
    m.Commit();
    if (buffer.optimized_) {
        m.Begin(Op::OptimizeVertexBuffer);
        m.U32(id);
        m.Commit();
    }
    return id;
}

void Recorder::OptimizeVertexBuffer(const Direct3DVertexBuffer7& buffer) {
    Impl& m = *impl_;
    const uint32_t id = VertexBufferId(buffer);
    m.Begin(Op::OptimizeVertexBuffer);
    m.U32(id);
    m.Commit();
}

void Recorder::ProcessVertices(const Direct3DVertexBuffer7& dest, int32_t op, int32_t destIndex,
                               int32_t count, const Direct3DVertexBuffer7& source,
                               int32_t sourceIndex, const Direct3DDevice7& device, int32_t flags) {
    Impl& m = *impl_;
    DEVICE_ID(device);
    const uint32_t d = VertexBufferId(dest), s = VertexBufferId(source);
    m.Begin(Op::ProcessVertices);
    m.U32(d);
    for (int32_t v : {op, destIndex, count}) m.I32(v);
    m.U32(s);
    m.I32(sourceIndex);
    m.U32(dev);
    m.I32(flags);
    m.Commit();
}

}  // namespace dxtrace
