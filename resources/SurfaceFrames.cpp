#include "resources/SurfaceFrames.h"

void ReadSurfaceFrames(std::span<const uint8_t> bytes, std::vector<SurfaceFrame>& frames,
                       const DataSource& source) {
    const size_t available = bytes.size() / kSurfaceFrameBytes;
    if (available < frames.size()) {
        ThrowDataError(rt::InputPastEndOfFile, source,
                       "frame table holds " + std::to_string(available) + " whole frames of " +
                           std::to_string(kSurfaceFrameBytes) + " bytes; " +
                           std::to_string(frames.size()) + " are needed");
    }
    // Read into a copy so a failure can never leave the caller's table half filled.
    std::vector<SurfaceFrame> read(frames.size());
    ByteReader reader(bytes, source);
    for (SurfaceFrame& f : read) SurfaceFrameLayout(reader, f);
    frames = std::move(read);
}

std::vector<uint8_t> WriteSurfaceFrames(const std::vector<SurfaceFrame>& frames) {
    ByteWriter writer;
    for (const SurfaceFrame& f : frames) SurfaceFrameLayout(writer, f);
    return writer.Take();
}
