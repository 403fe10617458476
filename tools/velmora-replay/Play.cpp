// Decoding of the records: every length and data reference is checked here, once for both
// players, before anything reaches a device.
#include <string>

#include "platform/dx/D3DPipeline.h"
#include "platform/dx/DxError.h"
#include "tools/velmora-replay/Player.h"

namespace replay {

using dxtrace::Op;

namespace {

void ReadRect(RecordReader& r, RECT& rect, bool& present) {
    present = r.U8() != 0;
    rect.Left = r.I32();
    rect.Top = r.I32();
    rect.Right = r.I32();
    rect.Bottom = r.I32();
}

const uint8_t* SizedBlob(RecordReader& r, const Trace& t, uint32_t id, uint64_t bytes,
                         const char* what) {
    if (id == 0) {
        if (bytes != 0) r.Fail(std::string(what) + " missing");
        return nullptr;
    }
    if (t.blobs[id].size != bytes) {
        r.Fail(std::string(what) + " of " + std::to_string(t.blobs[id].size) + " bytes, " +
               std::to_string(bytes) + " expected");
    }
    return t.BlobData(id);
}

// An indexed draw's index list, never null: an empty one still marks the draw as indexed.
const uint16_t* Indices(RecordReader& r, const Trace& t, uint32_t id, int32_t indexCount) {
    static const uint16_t kNone = 0;
    const uint8_t* idx = SizedBlob(r, t, id, static_cast<uint64_t>(indexCount) * 2, "indices");
    return idx ? reinterpret_cast<const uint16_t*>(idx) : &kNone;
}

// Every index of an indexed draw names one of its vertices: the OpenGL player hands the indices
// to the driver as they are, which would read past the vertices it was given.
void CheckIndices(RecordReader& r, const uint16_t* indices, int32_t indexCount, int32_t vertices) {
    for (int32_t i = 0; i < indexCount; ++i) {
        if (indices[i] >= vertices) {
            r.Fail("index " + std::to_string(indices[i]) + " (number " + std::to_string(i + 1) +
                   " of " + std::to_string(indexCount) + ") past the draw's " +
                   std::to_string(vertices) + " vertices");
        }
    }
}

void PlayRecord(const Trace& t, size_t i, Player& p, const PlayOptions& options,
                const FlipHook& onFlip, int& pass) {
    RecordReader r(t, i);
    switch (t.records[i].op) {
        case Op::CooperativeLevel: {
            const int32_t flags = r.I32();
            r.Done();
            p.CooperativeLevel(flags);
            break;
        }
        case Op::DisplayMode: {
            const int32_t w = r.I32(), h = r.I32(), bpp = r.I32();
            r.Done();
            p.DisplayMode(w, h, bpp);
            break;
        }
        case Op::CreateSurface: {
            const uint32_t id = r.U32();
            DDSURFACEDESC2 d;
            d.lFlags = r.I32();
            d.lWidth = r.I32();
            d.lHeight = r.I32();
            d.lBackBufferCount = r.I32();
            d.ddckCKSrcBlt.low = r.I32();
            d.ddckCKSrcBlt.high = r.I32();
            d.ddpfPixelFormat.lFlags = r.I32();
            d.ddpfPixelFormat.lRGBBitCount = r.I32();
            d.ddsCaps.lCaps = r.I32();
            d.ddsCaps.lCaps2 = r.I32();
            r.Done();
            p.CreateSurface(id, d);
            break;
        }
        case Op::BackBuffer: {
            const uint32_t primary = r.U32(), back = r.U32();
            r.Done();
            p.BackBuffer(primary, back);
            break;
        }
        case Op::AttachDepth: {
            const uint32_t target = r.U32(), depth = r.U32();
            r.Done();
            p.AttachDepth(target, depth);
            break;
        }
        case Op::SurfacePixels: {
            const uint32_t id = r.U32();
            const int32_t x = r.I32(), y = r.I32(), w = r.I32(), h = r.I32();
            if (w <= 0 || h <= 0 || w > 16384 || h > 16384) r.Fail("bad region");
            const uint32_t blob = r.BlobId(false);
            r.Done();
            const uint8_t* data = SizedBlob(r, t, blob, static_cast<uint64_t>(w) * h * 2, "pixels");
            p.SurfacePixels(id, x, y, w, h, reinterpret_cast<const uint16_t*>(data));
            break;
        }
        case Op::ReleaseSurface: {
            const uint32_t id = r.U32();
            r.Done();
            p.ReleaseSurface(id);
            break;
        }
        case Op::SetColorKey: {
            const uint32_t id = r.U32();
            const int32_t flags = r.I32();
            DDCOLORKEY key;
            key.low = r.I32();
            key.high = r.I32();
            r.Done();
            p.SetColorKey(id, flags, key);
            break;
        }
        case Op::Blt: {
            const uint32_t dest = r.U32();
            RECT dr, sr;
            bool hasDest = false, hasSrc = false;
            ReadRect(r, dr, hasDest);
            const uint32_t src = r.U32();
            ReadRect(r, sr, hasSrc);
            const int32_t flags = r.I32();
            r.Done();
            p.Blt(dest, hasDest ? &dr : nullptr, src, hasSrc ? &sr : nullptr, flags);
            break;
        }
        case Op::BltFast: {
            const uint32_t dest = r.U32();
            const int32_t x = r.I32(), y = r.I32();
            const uint32_t src = r.U32();
            RECT sr;
            bool has = false;
            ReadRect(r, sr, has);
            const int32_t flags = r.I32();
            r.Done();
            p.BltFast(dest, x, y, src, sr, flags);
            break;
        }
        case Op::ColorFill: {
            const uint32_t dest = r.U32();
            RECT rect;
            bool has = false;
            ReadRect(r, rect, has);
            const int32_t color = r.I32();
            r.Done();
            p.ColorFill(dest, has ? &rect : nullptr, color);
            break;
        }
        case Op::StretchBlt: {
            const uint32_t dest = r.U32();
            const int32_t x = r.I32(), y = r.I32(), w = r.I32(), h = r.I32();
            const uint32_t src = r.U32();
            const int32_t sx = r.I32(), sy = r.I32(), sw = r.I32(), sh = r.I32();
            r.Done();
            p.StretchBlt(dest, x, y, w, h, src, sx, sy, sw, sh);
            break;
        }
        case Op::Flip: {
            const uint32_t primary = r.U32(), override = r.U32();
            r.Done();
            p.Flip(primary, override);
            ++pass;
            if (onFlip) onFlip(pass);
            break;
        }
        case Op::CreateDevice: {
            const uint32_t id = r.U32(), target = r.U32();
            r.Done();
            p.CreateDevice(id, target);
            break;
        }
        case Op::SetRenderTarget: {
            const uint32_t device = r.U32(), target = r.U32();
            const int32_t flags = r.I32();
            r.Done();
            p.SetRenderTarget(device, target, flags);
            break;
        }
        case Op::BeginScene:
        case Op::EndScene: {
            const uint32_t device = r.U32();
            r.Done();
            if (t.records[i].op == Op::BeginScene) {
                p.BeginScene(device);
            } else {
                p.EndScene(device);
            }
            break;
        }
        case Op::Clear: {
            const uint32_t device = r.U32();
            const int32_t count = r.I32();
            if (count < 0 || count > 4096) r.Fail("bad rectangle count");
            std::vector<D3DRECT> rects(static_cast<size_t>(count));
            for (D3DRECT& c : rects) {
                c.x1 = r.I32();
                c.y1 = r.I32();
                c.x2 = r.I32();
                c.y2 = r.I32();
            }
            const int32_t flags = r.I32(), color = r.I32();
            const float z = r.F32();
            r.Done();
            p.Clear(device, count, rects.data(), flags, color, z);
            break;
        }
        case Op::RenderState: {
            const uint32_t device = r.U32();
            const int32_t state = r.I32();
            int32_t value = r.I32();
            r.Done();
            if (options.ditherOff && state == D3DRENDERSTATE_DITHERENABLE) value = 0;
            p.RenderState(device, state, value);
            break;
        }
        case Op::StageState: {
            const uint32_t device = r.U32();
            const int32_t stage = r.I32(), type = r.I32(), value = r.I32();
            r.Done();
            p.StageState(device, stage, type, value);
            break;
        }
        case Op::SetTexture: {
            const uint32_t device = r.U32();
            const int32_t stage = r.I32();
            const uint32_t surface = r.U32();
            r.Done();
            p.SetTexture(device, stage, surface);
            break;
        }
        case Op::SetTransform:
        case Op::MultiplyTransform: {
            const uint32_t device = r.U32();
            const int32_t type = r.I32();
            D3DMATRIX m;
            r.Bytes(&m, sizeof m);
            r.Done();
            p.SetTransform(device, type, m, t.records[i].op == Op::MultiplyTransform);
            break;
        }
        case Op::SetMaterial: {
            const uint32_t device = r.U32();
            D3DMATERIAL7 m;
            r.Bytes(&m, sizeof m);
            r.Done();
            p.SetMaterial(device, m);
            break;
        }
        case Op::SetLight: {
            const uint32_t device = r.U32();
            const int32_t index = r.I32();
            D3DLIGHT7 l;
            r.Bytes(&l, sizeof l);
            r.Done();
            p.SetLight(device, index, l);
            break;
        }
        case Op::LightEnable: {
            const uint32_t device = r.U32();
            const int32_t index = r.I32(), enable = r.I32();
            r.Done();
            p.LightEnable(device, index, enable != 0);
            break;
        }
        case Op::SetViewport: {
            const uint32_t device = r.U32();
            D3DVIEWPORT7 vp;
            r.Bytes(&vp, sizeof vp);
            r.Done();
            p.SetViewport(device, vp);
            break;
        }
        case Op::Draw: {
            const uint32_t device = r.U32();
            DrawCall c;
            c.type = r.I32();
            c.fvf = r.I32();
            c.vertexCount = r.I32();
            const uint32_t vb = r.BlobId(true);
            const int32_t indexCount = r.I32();
            const uint32_t ib = r.BlobId(true);
            c.flags = r.I32();
            r.Done();
            if (c.vertexCount < 0 || indexCount < -1) r.Fail("negative count");
            const int32_t stride = d3d::ParseFvf(c.fvf).stride;
            c.vertices =
                SizedBlob(r, t, vb, static_cast<uint64_t>(c.vertexCount) * stride, "vertices");
            if (indexCount >= 0) {
                c.indexCount = indexCount;
                c.indices = Indices(r, t, ib, indexCount);
                CheckIndices(r, c.indices, c.indexCount, c.vertexCount);
            }
            p.Draw(device, c);
            break;
        }
        case Op::DrawVB: {
            const uint32_t device = r.U32();
            DrawVBCall c;
            c.type = r.I32();
            c.buffer = r.U32();
            c.startVertex = r.I32();
            c.numVertices = r.I32();
            const int32_t indexCount = r.I32();
            const uint32_t ib = r.BlobId(true);
            c.flags = r.I32();
            r.Done();
            if (indexCount < -1) r.Fail("negative count");
            if (indexCount >= 0) {
                c.indexCount = indexCount;
                c.indices = Indices(r, t, ib, indexCount);
                CheckIndices(r, c.indices, c.indexCount, c.numVertices);
            }
            p.DrawVB(device, c);
            break;
        }
        case Op::CreateVertexBuffer: {
            const uint32_t id = r.U32();
            D3DVERTEXBUFFERDESC d;
            d.lCaps = r.I32();
            d.lFVF = r.I32();
            d.lNumVertices = r.I32();
            r.Done();
            p.CreateVertexBuffer(id, d);
            break;
        }
        case Op::LockVertexBuffer: {
            const uint32_t id = r.U32();
            const int32_t flags = r.I32();
            r.Done();
            p.LockVertexBuffer(id, flags);
            break;
        }
        case Op::UnlockVertexBuffer: {
            const uint32_t id = r.U32();
            const uint32_t blob = r.BlobId(true);
            r.Done();
            p.UnlockVertexBuffer(id, blob ? t.BlobData(blob) : nullptr,
                                 blob ? t.blobs[blob].size : 0);
            break;
        }
        case Op::OptimizeVertexBuffer: {
            const uint32_t id = r.U32();
            r.Done();
            p.OptimizeVertexBuffer(id);
            break;
        }
        case Op::ProcessVertices: {
            ProcessCall c;
            c.dest = r.U32();
            c.op = r.I32();
            c.destIndex = r.I32();
            c.count = r.I32();
            c.source = r.U32();
            c.sourceIndex = r.I32();
            c.device = r.U32();
            c.flags = r.I32();
            r.Done();
            p.ProcessVertices(c);
            break;
        }
        case Op::Blob:
        case Op::End:
            break;
    }
}

}  // namespace

void Play(const Trace& t, Player& p, const PlayOptions& options, const FlipHook& onFlip) {
    int pass = 0;
    for (size_t i = 0; i < t.records.size(); ++i) {
        // Whatever refuses a record, the reader, the player or the device, the message says
        // which file and which record.
        auto where = [&] {
            return t.path + ": record " + std::to_string(i + 1) + " (" + OpName(t.records[i].op) +
                   "): ";
        };
        try {
            PlayRecord(t, i, p, options, onFlip, pass);
        } catch (const TraceError& e) {
            throw TraceError(where() + e.what());
        } catch (const DxError& e) {
            throw TraceError(where() + "the device refused it: " + e.what());
        }
    }
}

}  // namespace replay
