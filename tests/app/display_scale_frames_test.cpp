// The whole program drawn at two and three times its size: shrunk back with a box filter the
// frames are the scale-1 frames give or take a little, and they hold detail that a scale-1
// frame enlarged cannot have. Stepping the scale with F12 and back to 1 leaves the frames
// exactly as they are without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/Main.h"
#include "platform/dx/DirectDraw.h"
#include "platform/host/HeadlessHost.h"
#include "render/BlurEffect.h"
#include "render/FrameRender.h"
#include "render/RenderGlobals.h"
#include "tests/support/ScriptKeys.h"

namespace {

struct Frame {
    int width = 0, height = 0;
    std::vector<uint16_t> pixels;
};

class ShotHost : public HeadlessHost {
  public:
    ShotHost(const HeadlessOptions& o, int shotPass) : HeadlessHost(o), shotPass_(shotPass) {}
    void Present(const uint16_t* pixels, int width, int height, int pitch) override {
        HeadlessHost::Present(pixels, width, height, pitch);
        if (PassesPresented() != shotPass_) return;
        shot.width = width;
        shot.height = height;
        shot.pixels = LastFrame();
    }
    Frame shot;

  private:
    int shotPass_;
};

Frame RunProgram(int scale, int pass, std::vector<ScriptEvent> input) {
    HeadlessOptions o;
    o.frames = pass;
    o.answerYes = false;  // 320 x 240: quick under the sanitizers too
    o.seed = 1;
    o.input = std::move(input);
    ShotHost host(o, pass);
    host.SetDisplayScale(scale);
    SetActiveHost(&host);
    EXPECT_EQ(Main(), 0);
    SetActiveHost(nullptr);
    EffectState = 0;
    EffectLevel = 0;
    WireframePasses = 0;
    return host.shot;
}

// 8-bit channels of a 565 pixel.
void Channels(uint16_t p, double c[3]) {
    const uint32_t rgb = RgbFrom565(p);
    c[0] = static_cast<double>(rgb >> 16);
    c[1] = static_cast<double>((rgb >> 8) & 0xFF);
    c[2] = static_cast<double>(rgb & 0xFF);
}

// The frame shrunk by n with a box filter, as 8-bit channels.
std::vector<double> Shrunk(const Frame& f, int n) {
    const int w = f.width / n, h = f.height / n;
    std::vector<double> out(static_cast<size_t>(w) * h * 3, 0.0);
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            double c[3];
            Channels(f.pixels[static_cast<size_t>(y) * f.width + x], c);
            double* o = &out[(static_cast<size_t>(y / n) * w + x / n) * 3];
            for (int k = 0; k < 3; ++k) o[k] += c[k] / (n * n);
        }
    }
    return out;
}

double MeanAbsDiff(const std::vector<double>& a, const std::vector<double>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::fabs(a[i] - b[i]);
    return sum / static_cast<double>(a.size());
}

// Detail finer than the program's pixel: how far each pixel lies from the mean of its n x n
// block. A frame enlarged from the program's size has none; a frame drawn larger has it at
// every edge, texture and line.
double FineDetail(const Frame& f, int n) {
    const std::vector<double> mean = Shrunk(f, n);
    const int w = f.width / n;
    double sum = 0;
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            double c[3];
            Channels(f.pixels[static_cast<size_t>(y) * f.width + x], c);
            const double* m = &mean[(static_cast<size_t>(y / n) * w + x / n) * 3];
            for (int k = 0; k < 3; ++k) sum += std::fabs(c[k] - m[k]);
        }
    }
    return sum / (3.0 * f.width * f.height);
}

// The scale-1 frame enlarged n times, each pixel bilinearly between its neighbours' centres:
// the best a window can do with a small frame.
Frame EnlargedSmoothly(const Frame& f, int n) {
    Frame out{f.width * n, f.height * n, {}};
    out.pixels.resize(static_cast<size_t>(out.width) * out.height);
    auto at = [&](int x, int y, int k) {
        double c[3];
        x = std::clamp(x, 0, f.width - 1);
        y = std::clamp(y, 0, f.height - 1);
        Channels(f.pixels[static_cast<size_t>(y) * f.width + x], c);
        return c[k];
    };
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            const double sx = (x + 0.5) / n - 0.5, sy = (y + 0.5) / n - 0.5;
            const int x0 = static_cast<int>(std::floor(sx)), y0 = static_cast<int>(std::floor(sy));
            const double fx = sx - x0, fy = sy - y0;
            uint32_t rgb = 0;
            for (int k = 0; k < 3; ++k) {
                const double v = (at(x0, y0, k) * (1 - fx) + at(x0 + 1, y0, k) * fx) * (1 - fy) +
                                 (at(x0, y0 + 1, k) * (1 - fx) + at(x0 + 1, y0 + 1, k) * fx) * fy;
                rgb = rgb << 8 | static_cast<uint32_t>(std::lround(v));
            }
            out.pixels[static_cast<size_t>(y) * out.width + x] = Rgb565FromRgb(rgb);
        }
    }
    return out;
}

struct View {
    const char* name;
    int pass;
    std::vector<ScriptEvent> input;
    std::vector<int> scales;
    double closeTo;  // the largest mean absolute difference expected, of 255
};

TEST(DisplayScaleFrames, LargerFramesShrinkToTheSmallOneAndHoldFinerDetail) {
    const std::vector<ScriptEvent> toPalm = {ScriptKey(230, vk::RIGHT, true),
                                             ScriptKey(293, vk::RIGHT, false),
                                             ScriptKey(320, 'A', true), ScriptKey(340, 'A', false)};
    std::vector<ScriptEvent> overlays = toPalm;
    for (const ScriptEvent& e : {ScriptKey(20, vk::F1, true), ScriptKey(21, vk::F1, false),
                                 ScriptKey(350, vk::F2, true), ScriptKey(351, vk::F2, false)}) {
        overlays.push_back(e);
    }
    std::stable_sort(overlays.begin(), overlays.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.pass < b.pass; });
    const View views[] = {
        {"start", 260, {}, {2, 3}, 6.0},
        {"burning palm", 365, toPalm, {2}, 6.0},
        // Lines two pixels wide centred on the line fall across two of the small frame's rows
        // where a one-pixel line keeps to one; the small font's glyphs are sampled finer.
        {"palm, editor overlay and wireframe", 365, overlays, {2}, 12.0},
        // Under water: the blur trail, captured from the large frame.
        {"under water",
         330,
         {ScriptKey(240, vk::MENU, true), ScriptKey(240, vk::DOWN, true),
          ScriptKey(280, vk::DOWN, false), ScriptKey(280, vk::MENU, false)},
         {2},
         6.0},
    };
    for (const View& view : views) {
        const Frame one = RunProgram(1, view.pass, view.input);
        ASSERT_EQ(one.width, 320) << view.name;
        const std::vector<double> small = Shrunk(one, 1);
        for (int n : view.scales) {
            const Frame large = RunProgram(n, view.pass, view.input);
            ASSERT_EQ(large.width, 320 * n) << view.name;
            ASSERT_EQ(large.height, 240 * n) << view.name;
            const double diff = MeanAbsDiff(Shrunk(large, n), small);
            const double detail = FineDetail(large, n);
            const double smooth = FineDetail(EnlargedSmoothly(one, n), n);
            std::printf(
                "%s x%d: mean abs diff %.2f of 255; fine detail %.2f, scale-1 enlarged "
                "%.2f\n",
                view.name, n, diff, detail, smooth);
            // The same picture, give or take sampling on the finer grid.
            EXPECT_LT(diff, view.closeTo) << view.name << " x" << n;
            EXPECT_GT(diff, 0.0) << view.name << " x" << n;
            // And sharper than the scale-1 frame enlarged can be.
            EXPECT_GT(detail, 1.5 * smooth) << view.name << " x" << n;
        }
    }
}

// F12 four times goes round 2, 3, 4 and back to 1: the frames after it are the scale-1 frames,
// bit for bit, and those in between are drawn at the scale of their pass.
TEST(DisplayScaleFrames, F12GoesRoundTheScalesAndBackToTheSameBits) {
    class SizeHost : public ShotHost {
      public:
        using ShotHost::ShotHost;
        void Present(const uint16_t* pixels, int width, int height, int pitch) override {
            ShotHost::Present(pixels, width, height, pitch);
            widths.push_back(width);
        }
        std::vector<int> widths;
    };
    const Frame plain = RunProgram(1, 120, {});
    HeadlessOptions o;
    o.frames = 120;
    o.answerYes = false;
    o.seed = 1;
    for (int i = 0; i < 4; ++i) {
        o.input.push_back(ScriptKey(30 + 10 * i, vk::F12, true));
        o.input.push_back(ScriptKey(31 + 10 * i, vk::F12, false));
    }
    SizeHost host(o, 120);
    SetActiveHost(&host);
    EXPECT_EQ(Main(), 0);
    SetActiveHost(nullptr);
    ASSERT_EQ(host.widths.size(), 120u);
    EXPECT_EQ(host.widths[28], 320);
    EXPECT_EQ(host.widths[35], 640);
    EXPECT_EQ(host.widths[45], 960);
    EXPECT_EQ(host.widths[55], 1280);
    EXPECT_EQ(host.widths[65], 320);
    EXPECT_TRUE(host.shot.pixels == plain.pixels);
}

}  // namespace
