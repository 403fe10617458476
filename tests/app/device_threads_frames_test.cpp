// The whole program on one to four drawing threads: a flight with the editor overlay, the
// wireframe pass, the blur trail and a dive under water presents the same frames bit for bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/Main.h"
#include "platform/dx/D3DSpan.h"
#include "platform/dx/Direct3D.h"
#include "platform/host/HeadlessHost.h"
#include "render/BlurEffect.h"
#include "render/FrameRender.h"
#include "render/RenderGlobals.h"
#include "tests/support/ScriptKeys.h"

namespace {

struct Pass {
    uint64_t hash = 0;
    bool lit = false;
    uint8_t wireframePasses = 0;
    uint8_t effectState = 0;
};

class HashingHost : public HeadlessHost {
  public:
    using HeadlessHost::HeadlessHost;
    void Present(const uint16_t* pixels, int width, int height, int pitch) override {
        HeadlessHost::Present(pixels, width, height, pitch);
        Pass p;
        p.hash = 1469598103934665603ull;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint16_t v = pixels[static_cast<size_t>(y) * pitch + x];
                p.hash = (p.hash ^ v) * 1099511628211ull;
                p.lit = p.lit || v != 0;
            }
        }
        p.wireframePasses = WireframePasses;
        p.effectState = EffectState;
        passes.push_back(p);
    }
    std::vector<Pass> passes;
};

constexpr int kPasses = 150;

std::vector<Pass> Fly(int threads, int scale = 1, int passes = kPasses) {
    HeadlessOptions o;
    o.frames = passes;
    o.answerYes = false;  // 320 x 240 keeps the sanitizer builds quick
    o.seed = 5;
    o.input = {
        ScriptKey(2, 'A', true),           ScriptKey(20, vk::F1, true),
        ScriptKey(21, vk::F1, false),      ScriptKey(30, vk::F2, true),
        ScriptKey(31, vk::F2, false),      ScriptKey(40, vk::LEFT, true),
        ScriptKey(45, vk::CONTROL, true),  ScriptKey(45, vk::MENU, true),
        ScriptKey(80, vk::CONTROL, false), ScriptKey(80, vk::LEFT, false),
        ScriptKey(90, vk::DOWN, true),     ScriptKey(130, vk::DOWN, false),
        ScriptKey(130, vk::MENU, false),
    };
    const int before = DeviceThreads();
    SetDeviceThreads(threads);
    HashingHost host(o);
    host.SetDisplayScale(scale);
    SetActiveHost(&host);
    const int status = Main();
    SetActiveHost(nullptr);
    SetDeviceThreads(before);
    // The flight ends under water with the wireframe on; tests that follow draw frames of
    // their own and expect neither.
    EffectState = 0;
    EffectLevel = 0;
    WireframePasses = 0;
    EXPECT_EQ(status, 0);
    return host.passes;
}

TEST(DeviceThreadsFrames, FlightIsBitIdenticalOnOneToFourThreads) {
    const std::vector<Pass> one = Fly(1);
    ASSERT_EQ(one.size(), static_cast<size_t>(kPasses));
    // The flight shows what it is meant to cover: a lit picture, the wireframe pass, and the
    // blur (held Ctrl + Alt, then under water).
    EXPECT_TRUE(one[kPasses - 1].lit);
    EXPECT_EQ(one[35].wireframePasses, 1);
    bool blurred = false;
    for (const Pass& p : one) blurred = blurred || p.effectState != 0;
    EXPECT_TRUE(blurred);
    for (int threads : {2, 3, 4}) {
        const std::vector<Pass> many = Fly(threads);
        ASSERT_EQ(many.size(), one.size()) << threads << " threads";
        for (size_t i = 0; i < one.size(); ++i) {
            ASSERT_EQ(many[i].hash, one[i].hash) << threads << " threads, pass " << i + 1;
        }
    }
}

// At twice the size: two-pixel lines of the wireframe pass, the blur's capture from the large
// frame, the overlay's sprites as blocks, all cut into bands the same way.
TEST(DeviceThreadsFrames, FlightAtScaleTwoIsBitIdenticalOnOneToFourThreads) {
    const std::vector<Pass> one = Fly(1, 2);
    ASSERT_EQ(one.size(), static_cast<size_t>(kPasses));
    EXPECT_TRUE(one[kPasses - 1].lit);
    for (int threads : {2, 4}) {
        const std::vector<Pass> many = Fly(threads, 2);
        ASSERT_EQ(many.size(), one.size()) << threads << " threads";
        for (size_t i = 0; i < one.size(); ++i) {
            ASSERT_EQ(many[i].hash, one[i].hash) << threads << " threads, pass " << i + 1;
        }
    }
}

// Every build of the span kernels the CPU runs draws the flight as the portable one does, down
// to the rounding of each product: a kernel build that fused a multiply and an add would show.
// The portable kernels are slow, so this flight is shorter; it still has the overlay, the
// wireframe pass and the blur.
TEST(DeviceThreadsFrames, FlightIsBitIdenticalOnEveryKernelBuild) {
    constexpr int kShort = 80;
    LimitDeviceSpans(d3d::SpanBuild::Portable);
    const std::vector<Pass> portable = Fly(1, 1, kShort);
    LimitDeviceSpans(d3d::kFastestSpanBuild);
    ASSERT_EQ(portable.size(), static_cast<size_t>(kShort));
    EXPECT_TRUE(portable[kShort - 1].lit);
    bool blurred = false;
    for (const Pass& p : portable) blurred = blurred || p.effectState != 0;
    EXPECT_TRUE(blurred);
    for (d3d::SpanBuild build : {d3d::SpanBuild::Neon, d3d::SpanBuild::Simd128,
                                 d3d::SpanBuild::Avx2, d3d::SpanBuild::Avx512}) {
        if (d3d::RunnableSpanBuild(build) != build) continue;  // not on this CPU
        LimitDeviceSpans(build);
        const std::vector<Pass> vector = Fly(2, 1, kShort);
        LimitDeviceSpans(d3d::kFastestSpanBuild);
        for (size_t i = 0; i < portable.size(); ++i) {
            ASSERT_EQ(vector[i].hash, portable[i].hash)
                << d3d::SpanBuildName(build) << ", pass " << i + 1;
        }
    }
}

}  // namespace
