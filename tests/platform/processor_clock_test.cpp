// The processor clocks are fine enough to weigh a burst of work of a few milliseconds, as the
// device's threads and the frame pacer weigh theirs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/host/System.h"

namespace {

struct Burst {
    double cpu = 0;
    double running = 0;      // wall time, without the gaps in which the thread did not run
    double largestStep = 0;  // between two readings of the clock that differ
};

// Keeps the processor busy for `wall` of running time, reading the clock throughout. The
// loop reads the wall clock every fraction of a microsecond while it runs; a gap of a
// millisecond or more is time it lost the processor to another program (a shared machine), which
// a processor clock rightly leaves out.
Burst BusyFor(double (*clock)(), std::chrono::milliseconds wall) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kGap = std::chrono::milliseconds(1);
    Burst b;
    const double first = clock();
    double last = first;
    const auto start = Clock::now();
    auto before = start;
    Clock::duration running{};
    while (running < wall && before - start < 20 * wall) {
        const double reading = clock();
        if (reading != last) b.largestStep = std::max(b.largestStep, reading - last);
        last = reading;
        const auto now = Clock::now();
        if (now - before < kGap) running += now - before;
        before = now;
    }
    b.cpu = clock() - first;
    b.running = std::chrono::duration<double>(running).count();
    return b;
}

}  // namespace

// A busy loop gets its running time on a processor; a clock that counts in timer ticks (15.6 ms)
// is off by up to a tick and moves in steps of one. The best of a few tries counts.
TEST(ProcessorClock, ABusyLoopMeasuresItsWallTime) {
    for (auto [name, clock] :
         {std::pair{"thread", &ThreadCpuSeconds}, std::pair{"process", &ProcessCpuSeconds}}) {
        SCOPED_TRACE(name);
        clock();  // the first reading may set the clock up
        double bestError = 1, bestStep = 1;
        for (int attempt = 0; attempt < 5 && (bestError >= 0.1 || bestStep >= 0.002); ++attempt) {
            const Burst b = BusyFor(clock, std::chrono::milliseconds(60));
            bestError = std::min(bestError, std::abs(b.cpu / b.running - 1));
            bestStep = std::min(bestStep, b.largestStep);
        }
        EXPECT_LT(bestError, 0.1);
        EXPECT_LT(bestStep, 0.002) << "the clock moves in steps of " << bestStep * 1000 << " ms";
    }
}
