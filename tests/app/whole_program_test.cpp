// The whole program in-process with a script, watched after every presented pass: the scene
// it builds, the fade-in, the pause, the dive under water and the run's reproducibility.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "animation/Animations.h"
#include "app/Main.h"
#include "app/MainLoop.h"
#include "app/SceneSetup.h"
#include "app/StartupResets.h"
#include "platform/host/HeadlessHost.h"
#include "render/BlurEffect.h"
#include "render/FrameRender.h"
#include "render/RenderGlobals.h"
#include "tests/support/ScriptKeys.h"

namespace {

struct PassRecord {
    uint64_t frameHash = 0;
    uint64_t lowerHalfHash = 0;  // below the help text, which types on while paused
    double meanLevel = 0;        // mean of the 565 channels scaled to 0..1
    int palms = 0;
    int32_t animations = 0;
    int32_t sceneAnimations = 0;  // the sky, the help text and the fade
    int32_t palmParticles = 0;    // sparks, embers and emitters of the burning palm
    uint8_t pauseState = 0;
    uint8_t effectState = 0;
    int32_t effectLevel = 0;
    uint8_t wireframePasses = 0;
};

// Records what the program has built each time it presents a frame.
class WatchingHost : public HeadlessHost {
  public:
    using HeadlessHost::HeadlessHost;

    void Present(const uint16_t* pixels, int width, int height, int pitch) override {
        HeadlessHost::Present(pixels, width, height, pitch);
        PassRecord r;
        const auto fnv = [](const uint16_t* p, size_t n) {
            uint64_t hash = 1469598103934665603ull;
            for (size_t i = 0; i < n; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
            return hash;
        };
        const std::vector<uint16_t>& frame = LastFrame();
        const size_t half = frame.size() / 2;
        r.lowerHalfHash = fnv(frame.data() + half, frame.size() - half);
        r.frameHash = fnv(frame.data(), half) * 31 + r.lowerHalfHash;
        double sum = 0;
        for (uint16_t p : frame) {
            sum += ((p >> 11) / 31.0 + ((p >> 5) & 63) / 63.0 + (p & 31) / 31.0) / 3.0;
        }
        r.meanLevel = frame.empty() ? 0 : sum / static_cast<double>(frame.size());
        for (int i = 0; i < kPalmCount; ++i) r.palms += SceneObjectExists(i) ? 1 : 0;
        r.animations = AnimationCount;
        for (int32_t i = 1; i <= AnimationCount; ++i) {
            const Animation& a = Animations[static_cast<size_t>(i)];
            const bool sky = a.Kind == AnimParticle && a.ItemFlags == 34;
            if (a.Kind == AnimText || a.Kind == AnimOverlay || sky) ++r.sceneAnimations;
            const bool spark = a.Kind == AnimParticle && (a.Part == 8 || a.Part == 6);
            if (spark || a.Kind == AnimEmitter) ++r.palmParticles;
        }
        r.pauseState = PauseState;
        r.effectState = EffectState;
        r.effectLevel = EffectLevel;
        r.wireframePasses = WireframePasses;
        passes.push_back(r);
    }

    // passes[n - 1] is what pass n presented.
    const PassRecord& After(int pass) const { return passes.at(static_cast<size_t>(pass - 1)); }

    std::vector<PassRecord> passes;
};

// Fade-in, pause with P and resume, a look round with F2, then a dive under water.
constexpr int kPause = 250, kResume = 300, kDive = 320, kLast = 400;

HeadlessOptions ScriptedRun() {
    HeadlessOptions o;
    o.frames = kLast;
    o.answerYes = false;  // 320 x 240 keeps the sanitizer build quick
    o.seed = 11;
    o.input = {
        ScriptKey(kPause, KeyP, true),          ScriptKey(kPause + 1, KeyP, false),
        ScriptKey(kResume, KeyP, true),         ScriptKey(kResume + 1, KeyP, false),
        ScriptKey(kResume + 5, vk::F2, true),   ScriptKey(kResume + 6, vk::F2, false),
        ScriptKey(kDive, vk::MENU, true),       ScriptKey(kDive, vk::DOWN, true),
        ScriptKey(kDive + 50, vk::DOWN, false), ScriptKey(kDive + 50, vk::MENU, false),
    };
    return o;
}

struct ScriptedProgram {
    ScriptedProgram() : host(ScriptedRun()) {
        SetActiveHost(&host);
        status = Main();
        SetActiveHost(nullptr);
    }
    WatchingHost host;
    int status = -1;
};

class WholeProgram : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { run = new ScriptedProgram(); }
    static void TearDownTestSuite() {
        delete run;
        run = nullptr;
    }
    static const PassRecord& After(int pass) { return run->host.After(pass); }
    static ScriptedProgram* run;
};
ScriptedProgram* WholeProgram::run = nullptr;

TEST_F(WholeProgram, RunsEveryPassAndEndsNormally) {
    EXPECT_EQ(run->status, 0);
    ASSERT_EQ(run->host.passes.size(), static_cast<size_t>(kLast));
    // Only the display question was asked; no error box.
    EXPECT_EQ(run->host.Messages().size(), 1u);
}

TEST_F(WholeProgram, FirstPassBuildsFivePalmsAndThreeAnimations) {
    EXPECT_EQ(After(1).palms, kPalmCount);
    EXPECT_EQ(After(1).sceneAnimations, 3);
    // The burning palm sheds from the very first pass; nothing else has spawned yet.
    EXPECT_GT(After(1).palmParticles, 0);
    EXPECT_EQ(After(1).animations, After(1).sceneAnimations + After(1).palmParticles);
}

TEST_F(WholeProgram, OpensOnBlackThenFadesIn) {
    for (int pass = 1; pass <= 20; ++pass) EXPECT_EQ(After(pass).meanLevel, 0) << pass;
    // The fade brightens the picture steadily once it has begun.
    int firstLit = 0;
    for (int pass = 1; pass <= kPause && firstLit == 0; ++pass) {
        if (After(pass).meanLevel > 0.01) firstLit = pass;
    }
    ASSERT_GT(firstLit, 20);
    EXPECT_LT(After(firstLit).meanLevel, After(firstLit + 40).meanLevel);
    EXPECT_LT(After(firstLit + 40).meanLevel, After(kPause - 1).meanLevel);
    EXPECT_GT(After(kPause - 1).meanLevel, 0.3);
    // Rain and motes join after the first 50 frames, so the count grows past the first three.
    EXPECT_GT(After(kPause - 1).animations, 3);
}

TEST_F(WholeProgram, PauseFreezesTheSceneAndResumeRestartsIt) {
    // Pausing takes a few passes to settle; once paused every frame is the same picture.
    int paused = 0;
    for (int pass = kPause; pass < kResume && paused == 0; ++pass) {
        if (After(pass).pauseState == 2) paused = pass;
    }
    ASSERT_NE(paused, 0) << "never reached the paused state";
    ASSERT_LT(paused + 10, kResume);
    EXPECT_EQ(After(paused + 1).lowerHalfHash, After(paused + 10).lowerHalfHash);
    EXPECT_EQ(After(paused + 1).animations, After(paused + 10).animations);
    EXPECT_NE(After(kPause - 2).lowerHalfHash, After(kPause - 1).lowerHalfHash);  // moving before
    EXPECT_EQ(After(kResume + 4).pauseState, 0);
    EXPECT_NE(After(kResume + 3).lowerHalfHash, After(kResume + 4).lowerHalfHash);
    // F2's key-up toggles the wireframe pass.
    EXPECT_EQ(After(kResume + 4).wireframePasses, 0);
    EXPECT_EQ(After(kResume + 10).wireframePasses, 1);
}

TEST_F(WholeProgram, DivingUnderWaterRunsTheBlur) {
    EXPECT_EQ(After(kDive - 1).effectState, 0);
    int under = 0;
    for (int pass = kDive; pass <= kLast && under == 0; ++pass) {
        if (After(pass).effectState == 2) under = pass;
    }
    ASSERT_NE(under, 0) << "the camera never went under water";
    EXPECT_EQ(After(under).effectLevel, 32);
    EXPECT_EQ(After(kLast).effectState, 2);  // it stays under once the keys are released
    EXPECT_GT(After(kLast).meanLevel, 0.1);  // the trail keeps the picture, not a black screen
}

TEST_F(WholeProgram, SameScriptAndSeedGiveTheSameFramesBitForBit) {
    ScriptedProgram again;
    ASSERT_EQ(again.host.passes.size(), run->host.passes.size());
    for (size_t i = 0; i < run->host.passes.size(); ++i) {
        ASSERT_EQ(again.host.passes[i].frameHash, run->host.passes[i].frameHash)
            << "pass " << i + 1;
        ASSERT_EQ(again.host.passes[i].animations, run->host.passes[i].animations) << i + 1;
    }
}

}  // namespace
