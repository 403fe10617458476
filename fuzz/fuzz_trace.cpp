// The trace reader and the software player's decoding of every record kind: any file handed to
// velmora-replay is either refused with an error that names it, or played on the software
// device to its end, every presented frame read back as --shot reads it, and no draw reaching
// a player indexes past its vertices.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz/PrivateFolder.h"
#include "platform/dx/Direct3D.h"
#include "resources/BinaryIo.h"
#include "tools/velmora-replay/SoftPlayer.h"
#include "tools/velmora-replay/Trace.h"

namespace {

std::string tracePath;

// Surfaces up to this side, so that an input plays in milliseconds: the reader and the device
// treat every size alike, and a few records asking for the largest surfaces would otherwise
// spend the run clearing them.
constexpr int32_t kLargestSide = 320;

class SmallPlayer : public replay::SoftPlayer {
  public:
    using SoftPlayer::SoftPlayer;
    void DisplayMode(int32_t width, int32_t height, int32_t bpp) override {
        if (width > kLargestSide || height > kLargestSide) throw replay::TraceError("too large");
        SoftPlayer::DisplayMode(width, height, bpp);
    }
    void CreateSurface(uint32_t id, const DDSURFACEDESC2& desc) override {
        if (desc.lWidth > kLargestSide || desc.lHeight > kLargestSide) {
            throw replay::TraceError("too large");
        }
        SoftPlayer::CreateSurface(id, desc);
    }
    // The OpenGL player checks no index itself: what Play hands a player must already name only
    // the draw's vertices.
    void Draw(uint32_t device, const replay::DrawCall& c) override {
        CheckIndices(c.indices, c.indexCount, c.vertexCount);
        SoftPlayer::Draw(device, c);
    }
    void DrawVB(uint32_t device, const replay::DrawVBCall& c) override {
        CheckIndices(c.indices, c.indexCount, c.numVertices);
        SoftPlayer::DrawVB(device, c);
    }

  private:
    static void CheckIndices(const uint16_t* indices, int32_t count, int32_t vertices) {
        for (int32_t i = 0; indices != nullptr && i < count; ++i) {
            if (indices[i] >= vertices) __builtin_trap();
        }
    }
};

void CheckNamesTheFile(const replay::TraceError& e) {
    if (std::string(e.what()).find(tracePath) == std::string::npos) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tracePath = MakePrivateFolder("velmora-fuzz-trace") + "/fuzz.vtr";
    // Two threads, as on any machine with two cores: the device then queues its work in bands.
    SetDeviceThreads(2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteWholeFile(tracePath, std::span<const uint8_t>(data, size));
    replay::Trace trace;
    try {
        trace = replay::LoadTrace(tracePath);
    } catch (const replay::TraceError& e) {
        CheckNamesTheFile(e);
        return 0;
    }
    // The header's flags (which the reader ignores) choose the scale the trace plays at, so that
    // the scaled surfaces' paths are explored too.
    const int scale = (data[12] & 1) ? 2 : 1;
    SmallPlayer player(scale);
    uint32_t frames = 0;
    try {
        replay::Play(trace, player, replay::PlayOptions{}, [&](int pass) {
            if (static_cast<uint32_t>(pass) != ++frames) __builtin_trap();
            std::vector<uint16_t> pixels;
            int width = 0, height = 0;
            player.PresentedFrame(pixels, width, height);
            if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * height) {
                __builtin_trap();
            }
        });
    } catch (const replay::TraceError& e) {
        CheckNamesTheFile(e);
        return 0;
    }
    if (frames != trace.flips) __builtin_trap();
    return 0;
}
