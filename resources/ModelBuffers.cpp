#include "resources/ModelBuffers.h"

#include "core/DirectXObjects.h"
#include "core/RuntimeError.h"
#include "core/Tables.h"
#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "platform/host/Host.h"

namespace {

constexpr int32_t kTransformedFormat = 0x2C4;

std::shared_ptr<Direct3DVertexBuffer7> CreateBuffer(int32_t format) {
    D3DVERTEXBUFFERDESC desc;
    desc.lCaps = D3DVBCAPS_WRITEONLY;
    desc.lFVF = format;
    desc.lNumVertices = kModelBufferVertices;
    return Direct3D->CreateVertexBuffer(desc, 0);
}

void CopyVertices(Direct3DVertexBuffer7& buffer, std::span<const ModelVertex> vertices,
                  int32_t count) {
    if (count < 0 || static_cast<size_t>(count) > vertices.size()) {
        throw RuntimeError(rt::SubscriptOutOfRange);
    }
    buffer.Lock(DDLOCK_WAIT | DDLOCK_WRITEONLY);
    try {
        buffer.SetVertices(0, count, vertices.data());
    } catch (...) {
        buffer.Unlock();
        throw;
    }
    buffer.Unlock();
}

}  // namespace

void ResetModelBufferTables() {
    ResetTable(VertexBuffers, LastBufferIndex);
}

int32_t CreateModelBuffers(std::span<const ModelVertex> vertices, int32_t count) {
    // Both buffers exist before a slot is taken, so a failure leaves the table as it was.
    auto source = CreateBuffer(D3DFVF_VERTEX);
    auto transformed = CreateBuffer(kTransformedFormat);
    ActiveHost().DoEvents();
    CopyVertices(*source, vertices, count);

    const int32_t slot = NextTableSlot(VertexBuffers, LastBufferIndex,
                                       [](const ModelBuffers& b) { return b.Ready == 1; });
    ModelBuffers& b = VertexBuffers[static_cast<size_t>(slot)];
    b.SourceBuffer = std::move(source);
    b.TransformedBuffer = std::move(transformed);
    b.Ready = 1;
    return slot;
}

void RefreshModelBuffers(int32_t bufferIndex, std::span<const ModelVertex> vertices,
                         int32_t count) {
    ModelBuffers& b = At(VertexBuffers, bufferIndex);
    if (!b.SourceBuffer) throw RuntimeError(rt::SubscriptOutOfRange);
    CopyVertices(*b.SourceBuffer, vertices, count);
}

void ReleaseModelBuffers() {
    for (ModelBuffers& b : VertexBuffers) {
        b.SourceBuffer.reset();
        b.TransformedBuffer.reset();
        b.Ready = 0;
    }
}
