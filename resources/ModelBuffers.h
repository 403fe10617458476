// The vertex buffers of the loaded models: each model's vertices copied once into a source
// buffer, and a second buffer the scene-object drawing transforms and lights them into just
// before it draws the model.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "resources/Models.h"

class Direct3DVertexBuffer7;

struct ModelBuffers {
    std::shared_ptr<Direct3DVertexBuffer7> SourceBuffer;       // format 338
    std::shared_ptr<Direct3DVertexBuffer7> TransformedBuffer;  // format 708, processed at draw
    uint8_t Ready = 0;
    uint32_t EditSerial = 0;  // the editor's change count when the vertices were last copied
};

inline std::vector<ModelBuffers> VertexBuffers(1);
inline int32_t LastBufferIndex = 0;

void ResetModelBufferTables();

// Creates both buffers of a new VertexBuffers slot, copies the first count vertices into the
// source buffer and returns the slot. More vertices than the buffers hold is a DirectX error.
int32_t CreateModelBuffers(std::span<const ModelVertex> vertices, int32_t count);

// Copies the first count vertices into the slot's source buffer again, for a model whose
// vertices changed after its buffers were made.
void RefreshModelBuffers(int32_t bufferIndex, std::span<const ModelVertex> vertices, int32_t count);

// Releases both buffers of every slot, as the shutdown does.
void ReleaseModelBuffers();
