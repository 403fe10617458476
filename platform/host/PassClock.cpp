#include "platform/host/PassClock.h"

#include "platform/host/Host.h"
#include "platform/host/InputScript.h"

PassClock::PassClock()
    : at_(std::chrono::steady_clock::now()), startOfDay_(SecondsSinceMidnightNow()) {
    tickBaseMs_ = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(at_.time_since_epoch()).count());
}

uint64_t PassClock::Advance() {
    const auto now = std::chrono::steady_clock::now();
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now - at_);
    uint64_t us = micros.count() > 0 ? static_cast<uint64_t>(micros.count()) : 0;
    if (us > kMaxPassMicros) {
        us = kMaxPassMicros;
        at_ = now;
    } else {
        at_ += micros;  // what is left below a microsecond counts towards the next pass
    }
    us_ += us;
    return us;
}

double PassClock::Timer() const {
    return TimeOfDayAfter(startOfDay_, us_);
}
