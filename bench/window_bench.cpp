// Showing a 640×480 frame in a window without a graphics processor: converting it to the
// window's 32-bit pixels and scaling it to the window, once a frame. Arguments: the window's
// size (twice the frame, one and a half times, the same).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/host/WindowFrame.h"

namespace {

void BM_ShowFrameInWindow(benchmark::State& state) {
    const int width = 640, height = 480;
    std::vector<uint16_t> frame(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint16_t>(i * 2654435761u);
    const int windowWidth = static_cast<int>(state.range(0));
    const int windowHeight = static_cast<int>(state.range(1));
    std::vector<uint32_t> pixels(static_cast<size_t>(windowWidth) * windowHeight);
    PixelTarget32 target;
    target.pixels = pixels.data();
    target.width = target.pitch = windowWidth;
    target.height = windowHeight;
    const FrameRect place = FitFrame(width, height, windowWidth, windowHeight);
    FrameScaler scaler;
    for (auto _ : state) {
        scaler.Draw(frame.data(), width, height, width, place, target);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(static_cast<double>(windowWidth) * windowHeight / 1e6,
                           benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ShowFrameInWindow)
    ->Args({1280, 1024})
    ->Args({1280, 720})
    ->Args({1920, 1080})
    ->Args({640, 480})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
