// The window's frame pacing, driven with made-up times: the pacer only does arithmetic.
#include <gtest/gtest.h>

#include "platform/host/FramePacer.h"

namespace {

// Simulates frames that take `drawMs` to draw and whose present takes `presentMs`, of which
// `presentCpuMs` is work; the present waits for the next refresh when `vsync` holds. Returns the
// mean frame interval over the last 60 frames, in ms, and the share of time spent asleep.
struct Paced {
    double intervalMs = 0, sleepShare = 0;
};
Paced Simulate(FramePacer& pacer, double drawMs, double presentCpuMs, bool vsync,
               double refreshMs = 1000.0 / 60, int frames = 240) {
    double now = 0, firstTimed = 0, lastPresent = 0, slept = 0;
    for (int i = 0; i < frames; ++i) {
        now += drawMs / 1000;
        const double began = now;
        now += presentCpuMs / 1000;
        if (vsync) {
            const double r = refreshMs / 1000;
            now = (static_cast<long long>(now / r) + 1) * r;
        }
        const double sleep = pacer.AfterPresent(began, now, presentCpuMs / 1000);
        EXPECT_GE(sleep, 0);
        if (i == frames - 61) firstTimed = now;
        if (i >= frames - 61 && i < frames - 1) slept += sleep;
        lastPresent = now;
        now += sleep;
    }
    // Sixty intervals between presents.
    const double span = lastPresent - firstTimed;
    return {span * 1000 / 60, slept / span};
}

TEST(FramePacer, WithoutVsyncFastFramesAreSpacedOneRefreshApart) {
    FramePacer pacer(60);
    const Paced run = Simulate(pacer, 3, 1, false);
    EXPECT_NEAR(run.intervalMs, 1000.0 / 60, 0.01);
    EXPECT_GT(run.sleepShare, 0.7);  // the CPU idles most of the time
    EXPECT_FALSE(pacer.DisplayPaces());
}

TEST(FramePacer, UnknownRefreshIsTakenAsSixtyHertz) {
    FramePacer unknown(0);
    EXPECT_NEAR(unknown.Period(), 1.0 / 60, 1e-12);
    FramePacer fast(144);
    EXPECT_NEAR(Simulate(fast, 2, 0.5, false).intervalMs, 1000.0 / 144, 0.01);
}

TEST(FramePacer, APresentThatWaitsForTheRefreshIsLeftToDoTheWaiting) {
    // The reported rate is rounded (60) while the display runs at 59.94 Hz: the timer would
    // drift against the refresh, so it must stay out of the way once the present waits.
    FramePacer pacer(60);
    const Paced run = Simulate(pacer, 3, 0.5, true, 1000.0 / 59.94);
    EXPECT_TRUE(pacer.DisplayPaces());
    EXPECT_NEAR(run.intervalMs, 1000.0 / 59.94, 0.01);
    EXPECT_EQ(run.sleepShare, 0);
}

TEST(FramePacer, ASlowPresentThatIsBusyIsNotMistakenForVsync) {
    // A software renderer spends 10 ms of CPU in the present: no refresh wait, so the timer
    // paces.
    FramePacer pacer(60);
    const Paced run = Simulate(pacer, 3, 10, false);
    EXPECT_FALSE(pacer.DisplayPaces());
    EXPECT_NEAR(run.intervalMs, 1000.0 / 60, 0.01);
}

TEST(FramePacer, APresentThatCannotWaitIsPacedHoweverLongItIdles) {
    // Copying to the window waits for the X server, not for the refresh: on a busy machine
    // that idles like a refresh wait would, and must not switch the timer off (the frames
    // would then run as fast as they are drawn).
    FramePacer copying(60, false), mayWait(60);
    double now = 0, sleptIfMayWait = 0;
    for (int i = 0; i < 20; ++i) {
        const double began = now + 0.002;
        now = began + 0.008;  // idle in the present for half a period
        const double sleep = copying.AfterPresent(began, now, 0.0005);
        sleptIfMayWait = mayWait.AfterPresent(began, now, 0.0005);
        if (i > 0) {
            EXPECT_NEAR(sleep, 1.0 / 60 - 0.010, 1e-9) << i;
        }
        now += sleep;
    }
    EXPECT_FALSE(copying.DisplayPaces());
    // The same presents taken as refresh waits: no more sleeping.
    EXPECT_TRUE(mayWait.DisplayPaces());
    EXPECT_EQ(sleptIfMayWait, 0);
}

TEST(FramePacer, SlowFramesRunUnhinderedAndCarryNoDebt) {
    FramePacer pacer(60);
    // 25 ms frames: no sleeping at all.
    EXPECT_NEAR(Simulate(pacer, 24, 1, false).intervalMs, 25, 0.01);
    // One stall of half a second, then fast frames again: they are not hurried to catch up.
    double now = 10, began = 0;
    for (int i = 0; i < 20; ++i) {
        began = now + 0.003;
        now = began + 0.001;
        now += pacer.AfterPresent(began, now, 0.001);
    }
    began = now + 0.5;
    now = began + 0.001;
    EXPECT_EQ(pacer.AfterPresent(began, now, 0.001), 0);
    began = now + 0.003;
    now = began + 0.001;
    EXPECT_NEAR(pacer.AfterPresent(began, now, 0.001), 1.0 / 60 - 0.004, 1e-9);
}

}  // namespace
