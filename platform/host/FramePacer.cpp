#include "platform/host/FramePacer.h"

#include <bit>

namespace {

constexpr int kHistory = 8;
constexpr uint32_t kHistoryMask = (1u << kHistory) - 1;
// A present that sat idle for this share of a period or more waited for the refresh.
constexpr double kWaitedShare = 0.25;
// This many of the last kHistory presents waited: the display paces, the timer stays off.
constexpr int kWaitedToTrust = 6;

}  // namespace

FramePacer::FramePacer(double refreshHz, bool presentMayWait)
    : period_(1.0 / (refreshHz > 0 ? refreshHz : 60.0)), presentMayWait_(presentMayWait) {}

bool FramePacer::DisplayPaces() const {
    return seen_ >= kHistory && std::popcount(blocked_ & kHistoryMask) >= kWaitedToTrust;
}

double FramePacer::AfterPresent(double presentBegan, double presentEnded, double cpuSeconds) {
    const bool waited =
        presentMayWait_ && presentEnded - presentBegan - cpuSeconds >= kWaitedShare * period_;
    blocked_ = ((blocked_ << 1) | (waited ? 1u : 0u)) & kHistoryMask;
    if (seen_ < kHistory) ++seen_;
    if (DisplayPaces() || wake_ < 0) {
        wake_ = presentEnded;
        return 0;
    }
    // One period after the previous wake-up; a frame that came late starts the count afresh
    // rather than letting the next ones hurry to catch up.
    wake_ += period_;
    if (wake_ < presentEnded) wake_ = presentEnded;
    return wake_ - presentEnded;
}
