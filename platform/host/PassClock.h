// The clock of a host a person watches (Host.h): it moves on only as a frame is presented, by
// the wall time since the frame before, so every read within a pass tells the same time.
#pragma once

#include <chrono>
#include <cstdint>

class PassClock {
  public:
    PassClock();  // starts now
    // Moves the clock on to now; returns the pass's microseconds. A pass longer than a script
    // may hold (a machine asleep) counts as the longest it may.
    uint64_t Advance();
    uint64_t Micros() const { return us_; }
    // Milliseconds from a base taken at the start, wrapping as GetTickCount does.
    uint32_t TickCount() const { return tickBaseMs_ + static_cast<uint32_t>(us_ / 1000); }
    // Seconds since midnight: the time of day at the start plus the clock's time since.
    double Timer() const;
    uint32_t StartOfDay() const { return startOfDay_; }

  private:
    std::chrono::steady_clock::time_point at_;
    uint32_t startOfDay_ = 0;
    uint32_t tickBaseMs_ = 0;
    uint64_t us_ = 0;
};
