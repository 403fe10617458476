// The model reader: whatever it accepts must be safe to walk by its counts, must survive a write
// and re-read unchanged, and must give scene objects one joint per group.
#include <cstdint>
#include <span>

#include "platform/host/HeadlessHost.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Placing an object re-seeds the generator from the host's clock.
    static HeadlessHost host{HeadlessOptions{}};
    SetActiveHost(&host);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const DataSource source{"fuzz.kqx", "PALM", 6};
    ModelData model;
    try {
        model = ReadModelRecord(std::span<const uint8_t>(data, size), source);
    } catch (const RuntimeError&) {
        return 0;
    }
    // Everything the renderer and the editor reach through the counts must exist (at() traps).
    for (int32_t i = 0; i < model.IndexCount; ++i) model.Vertices.at(model.Indices.at(i));
    for (int16_t g = 0; g < model.GroupCount; ++g) {
        const ModelGroup& group = model.Groups.at(g);
        for (int32_t v = 0; v < group.GroupVertexCount; ++v)
            model.Vertices.at(group.FirstVertex + v);
    }
    for (int16_t j = 0; j < model.GroupListCount; ++j) {
        const int16_t e = model.GroupList.at(j);
        if (e >= 0) model.Groups.at(e);
    }
    if (model.VertexCount > kModelBufferVertices) __builtin_trap();

    const std::vector<uint8_t> written = WriteModelRecord(model);
    if (WriteModelRecord(ReadModelRecord(written, source)) != written) __builtin_trap();

    ResetModelTables();
    ResetSceneObjectTables();
    Models[0] = std::move(model);
    Models[0].Name = "PALM";
    Models[0].Loaded = 1;
    CreateSceneObject("PALM", D3DMATERIAL7{}, {}, {}, {1, 1, 1}, "Char1", "0", 0, 0, -1);
    const SceneObject& o = SceneObjects.at(0);
    if (o.JointCount != Models[0].GroupCount) __builtin_trap();
    if (o.Joints.size() != static_cast<size_t>(o.JointCount)) __builtin_trap();
    return 0;
}
