// The geometry-set reader: whatever it accepts must be safe to draw by its counts, must survive a
// write and re-read unchanged, and must go into the set table and the name registry.
#include <cstdint>
#include <span>

#include "resources/GeometrySets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const DataSource source{"fuzz.kqx", "LAND", 5};
    GeometrySet set;
    try {
        set = ReadGeometrySetRecord(std::span<const uint8_t>(data, size), source);
    } catch (const RuntimeError&) {
        return 0;
    }
    for (int16_t v = 0; v < set.VertexCount; ++v) {
        set.Vertices.at(v);
        set.BaseColors.at(v);
    }
    for (int16_t n = 0; n < set.PartCount; ++n) {
        const GeometryPart& p = set.Parts.at(n);
        for (int32_t i = 0; i < p.IndexCount; ++i) {
            const int16_t index = p.Indices.at(i);
            if (index >= p.PartVertexCount) __builtin_trap();
            set.Vertices.at(p.FirstVertex + index);
        }
    }

    const std::vector<uint8_t> written = WriteGeometrySetRecord(set);
    if (WriteGeometrySetRecord(ReadGeometrySetRecord(written, source)) != written) __builtin_trap();

    ResetGeometryTables();
    const int32_t first = StoreGeometrySet(set);
    const int32_t second = StoreGeometrySet(std::move(set));
    if (first != 0 || second != 1 || GeometrySets.size() != 2) __builtin_trap();
    if (BackgroundParts.empty() || MiniParts.empty() || CommonParts.empty()) __builtin_trap();
    return 0;
}
