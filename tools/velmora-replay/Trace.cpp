#include "tools/velmora-replay/Trace.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace replay {

using dxtrace::Op;

const char* OpName(Op op) {
    switch (op) {
        case Op::Blob:
            return "Blob";
        case Op::CooperativeLevel:
            return "CooperativeLevel";
        case Op::DisplayMode:
            return "DisplayMode";
        case Op::CreateSurface:
            return "CreateSurface";
        case Op::BackBuffer:
            return "BackBuffer";
        case Op::AttachDepth:
            return "AttachDepth";
        case Op::SurfacePixels:
            return "SurfacePixels";
        case Op::ReleaseSurface:
            return "ReleaseSurface";
        case Op::SetColorKey:
            return "SetColorKey";
        case Op::Blt:
            return "Blt";
        case Op::BltFast:
            return "BltFast";
        case Op::ColorFill:
            return "ColorFill";
        case Op::StretchBlt:
            return "StretchBlt";
        case Op::Flip:
            return "Flip";
        case Op::CreateDevice:
            return "CreateDevice";
        case Op::SetRenderTarget:
            return "SetRenderTarget";
        case Op::BeginScene:
            return "BeginScene";
        case Op::EndScene:
            return "EndScene";
        case Op::Clear:
            return "Clear";
        case Op::RenderState:
            return "RenderState";
        case Op::StageState:
            return "StageState";
        case Op::SetTexture:
            return "SetTexture";
        case Op::SetTransform:
            return "SetTransform";
        case Op::MultiplyTransform:
            return "MultiplyTransform";
        case Op::SetMaterial:
            return "SetMaterial";
        case Op::SetLight:
            return "SetLight";
        case Op::LightEnable:
            return "LightEnable";
        case Op::SetViewport:
            return "SetViewport";
        case Op::Draw:
            return "Draw";
        case Op::DrawVB:
            return "DrawVB";
        case Op::CreateVertexBuffer:
            return "CreateVertexBuffer";
        case Op::LockVertexBuffer:
            return "LockVertexBuffer";
        case Op::UnlockVertexBuffer:
            return "UnlockVertexBuffer";
        case Op::OptimizeVertexBuffer:
            return "OptimizeVertexBuffer";
        case Op::ProcessVertices:
            return "ProcessVertices";
        case Op::End:
            return "End";
    }
    return nullptr;
}

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
}  // namespace

Trace LoadTrace(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw TraceError("cannot read trace " + path);
    std::fseek(file.get(), 0, SEEK_END);
    const long fileSize = std::ftell(file.get());
    std::fseek(file.get(), 0, SEEK_SET);
    // A pipe has no size to check records against; the trace has to be a file.
    if (fileSize < 0) throw TraceError("cannot read trace " + path + ": not a regular file");
    uint8_t header[dxtrace::kHeaderBytes];
    if (fileSize < static_cast<long>(sizeof header) ||
        std::fread(header, 1, sizeof header, file.get()) != sizeof header ||
        std::memcmp(header, dxtrace::kMagic, 8) != 0) {
        throw TraceError(path + " is not a Velmora trace");
    }
    uint32_t version = 0;
    std::memcpy(&version, header + 8, 4);
    if (version != dxtrace::kVersion) {
        throw TraceError(path + ": trace version " + std::to_string(version) +
                         ", this program reads version " + std::to_string(dxtrace::kVersion));
    }
    Trace t;
    t.path = path;
    // Room for the blobs at once where there is; otherwise each blob finds its own below.
    try {
        t.arena.reserve(static_cast<size_t>(fileSize) / 8 + 1);
    } catch (const std::bad_alloc&) {
    }
    t.blobs.emplace_back();
    // The size measured at the start bounds every read: a file still being written (by a run
    // that is recording) is read up to that size.
    const uint64_t total = static_cast<uint64_t>(fileSize);
    uint64_t position = sizeof header;
    uint64_t recordCount = 0;  // blobs included, as the end record counts them
    auto where = [&](uint64_t at) { return path + " at byte " + std::to_string(at); };
    while (position < total) {
        uint8_t rh[dxtrace::kRecordHeaderBytes];
        if (total - position < sizeof rh || std::fread(rh, 1, sizeof rh, file.get()) != sizeof rh) {
            throw TraceError(where(position) + ": cut short inside a record");
        }
        const Op op = static_cast<Op>(rh[0]);
        uint32_t size = 0;
        std::memcpy(&size, rh + 1, 4);
        // The end record closes the file: anything after it was not written by a recording.
        if (t.complete) {
            throw TraceError(where(position) + ": records after the end record (" +
                             std::to_string(total - position) + " bytes more)");
        }
        if (OpName(op) == nullptr) {
            throw TraceError(where(position) + ": unknown record kind " + std::to_string(rh[0]));
        }
        if (size > total - position - sizeof rh) {
            throw TraceError(where(position) + ": " + OpName(op) +
                             " record longer than the rest of the file (cut short?)");
        }
        if (op == Op::Blob) {
            uint32_t id = 0;
            if (size < 4 || std::fread(&id, 1, 4, file.get()) != 4) {
                throw TraceError(where(position) + ": blob without an id");
            }
            if (id != t.blobs.size()) {
                throw TraceError(where(position) + ": blob " + std::to_string(id) +
                                 " out of order (expected " + std::to_string(t.blobs.size()) + ")");
            }
            // A blob takes up to 4 GiB, padded to whole 8-byte words: counted in 64 bits.
            const uint32_t n = size - 4;
            Trace::Blob b;
            b.offset = uint64_t{t.arena.size()} * 8;
            b.size = n;
            b.defined = true;
            try {
                t.arena.resize(t.arena.size() + (uint64_t{n} + 7) / 8);
            } catch (const std::bad_alloc&) {
                throw TraceError(where(position) + ": blob " + std::to_string(id) + " of " +
                                 std::to_string(n) + " bytes does not fit in memory, after " +
                                 std::to_string(b.offset >> 20) + " MB of data before it");
            }
            if (std::fread(reinterpret_cast<uint8_t*>(t.arena.data()) + b.offset, 1, n,
                           file.get()) != n) {
                throw TraceError(where(position) + ": cut short inside a blob");
            }
            t.blobs.push_back(b);
        } else if (op == Op::End) {
            uint32_t counts[2] = {0, 0};
            if (size != sizeof counts || std::fread(counts, 1, sizeof counts, file.get()) != size) {
                throw TraceError(where(position) + ": end record of " + std::to_string(size) +
                                 " bytes, 8 expected");
            }
            if (counts[0] != recordCount || counts[1] != t.flips) {
                throw TraceError(where(position) + ": the end record counts " +
                                 std::to_string(counts[0]) + " records and " +
                                 std::to_string(counts[1]) + " frames, the file holds " +
                                 std::to_string(recordCount) + " and " + std::to_string(t.flips));
            }
            t.complete = true;
        } else {
            Record r{op, static_cast<uint32_t>(t.payloads.size()), size};
            if (t.payloads.size() + size > UINT32_MAX) throw TraceError(path + ": too large");
            try {
                t.payloads.resize(t.payloads.size() + size);
            } catch (const std::bad_alloc&) {
                throw TraceError(where(position) + ": " + OpName(op) + " record of " +
                                 std::to_string(size) + " bytes does not fit in memory");
            }
            if (std::fread(t.payloads.data() + r.offset, 1, size, file.get()) != size) {
                throw TraceError(where(position) + ": cut short inside a record");
            }
            if (op == Op::Flip) ++t.flips;
            t.records.push_back(r);
        }
        ++recordCount;
        position += sizeof rh + size;
    }
    return t;
}

RecordReader::RecordReader(const Trace& trace, size_t index)
    : trace_(trace),
      p_(trace.payloads.data() + trace.records[index].offset),
      end_(p_ + trace.records[index].size) {}

void RecordReader::Fail(const std::string& why) const {
    throw TraceError(why);
}

void RecordReader::Bytes(void* out, size_t n) {
    if (static_cast<size_t>(end_ - p_) < n) Fail("shorter than its kind needs");
    std::memcpy(out, p_, n);
    p_ += n;
}

int32_t RecordReader::I32() {
    int32_t v;
    Bytes(&v, 4);
    return v;
}
uint32_t RecordReader::U32() {
    uint32_t v;
    Bytes(&v, 4);
    return v;
}
float RecordReader::F32() {
    float v;
    Bytes(&v, 4);
    return v;
}
uint8_t RecordReader::U8() {
    uint8_t v;
    Bytes(&v, 1);
    return v;
}

uint32_t RecordReader::BlobId(bool optional) {
    const uint32_t id = U32();
    if (id == 0 && optional) return 0;
    if (id == 0 || id >= trace_.blobs.size()) {
        Fail("data blob " + std::to_string(id) + " missing (the file holds " +
             std::to_string(trace_.blobs.size() - 1) + ")");
    }
    return id;
}

void RecordReader::Done() const {
    if (p_ != end_) Fail("longer than its kind allows");
}

}  // namespace replay
