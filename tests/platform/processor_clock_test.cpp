// The processor clocks are fine enough to weigh a burst of work of a few milliseconds, as the
// device's threads and the frame pacer weigh theirs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "platform/host/System.h"

namespace {

using Clock = std::chrono::steady_clock;

// The largest step the clock takes while the thread runs: read until it has moved a few times.
double LargestStep(double (*clock)()) {
    double last = clock(), largest = 0;
    int moves = 0;
    const auto start = Clock::now();
    while (moves < 3 && Clock::now() - start < std::chrono::milliseconds(500)) {
        const double reading = clock();
        if (reading != last) {
            largest = std::max(largest, reading - last);
            ++moves;
        }
        last = reading;
    }
    return moves == 0 ? 0.5 : largest;
}

// The processor time a busy loop of `running` is measured at, against that running time. The
// loop reads the wall clock every fraction of a microsecond; a gap of a millisecond or more is
// time it lost the processor to another program (a shared machine), which a processor clock
// rightly leaves out.
double MeasuredShare(double (*clock)(), Clock::duration running) {
    constexpr auto kGap = std::chrono::milliseconds(1);
    const double first = clock();
    const auto start = Clock::now();
    auto before = start;
    Clock::duration ran{};
    while (ran < running && before - start < 20 * running) {
        const auto now = Clock::now();
        if (now - before < kGap) ran += now - before;
        before = now;
    }
    return (clock() - first) / std::chrono::duration<double>(ran).count();
}

// Whether the system counts the processor cycles of a thread (Wine does not).
bool CountsCycles() {
#if defined(_WIN32)
    ULONG64 cycles = 0;
    return QueryThreadCycleTime(GetCurrentThread(), &cycles) != 0;
#else
    return true;
#endif
}

}  // namespace

// A busy loop gets its running time on a processor. A clock that counts in timer ticks (15.6 ms
// on Windows, 10 ms for Wine's thread times) moves in steps of one: where the system counts
// cycles, the clock's steps are finer than 2 ms. The loop runs for 60 ms or 20 of the clock's
// steps, whichever is longer, and the best of a few tries counts.
TEST(ProcessorClock, ABusyLoopMeasuresItsRunningTime) {
    for (auto [name, clock] :
         {std::pair{"thread", &ThreadCpuSeconds}, std::pair{"process", &ProcessCpuSeconds}}) {
        SCOPED_TRACE(name);
        clock();  // the first reading may set the clock up
        double step = 1;
        for (int attempt = 0; attempt < 3; ++attempt) step = std::min(step, LargestStep(clock));
        const auto running = std::max<Clock::duration>(
            std::chrono::milliseconds(60),
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(20 * step)));
        double bestError = 1;
        for (int attempt = 0; attempt < 5 && bestError >= 0.1; ++attempt) {
            bestError = std::min(bestError, std::abs(MeasuredShare(clock, running) - 1));
        }
        EXPECT_LT(bestError, 0.1);
        if (CountsCycles()) {
            EXPECT_LT(step, 0.002) << "the clock moves in steps of " << step * 1000 << " ms";
        } else {
            std::printf(
                "%s clock: no cycle counts here, the system's times move in %.1f ms steps\n", name,
                step * 1000);
        }
    }
}
