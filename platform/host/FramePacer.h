// Paces a window's frames to the display's refresh. Where presenting already waits for the
// vertical refresh nothing more is done; where it does not (a virtual X server, a driver
// without synchronisation) a timer spaces the frames one refresh period apart, so the CPU
// idles between frames instead of drawing ones nobody sees.
#pragma once

#include <cstdint>

class FramePacer {
  public:
    // refreshHz 0 or less: unknown, taken as 60. presentMayWait false: the present never waits
    // for the refresh (the program copies its pixels to the window itself), so however long a
    // present idles, the timer paces.
    explicit FramePacer(double refreshHz, bool presentMayWait = true);

    // Called after each present with the times (seconds, one steady clock) the present call
    // began and returned, and the CPU time the process spent meanwhile; the result is how long
    // to sleep before the next frame is drawn. A present that was slow because it worked (a
    // software scaler, a software GL) did not wait for the refresh: only idle time counts.
    double AfterPresent(double presentBegan, double presentEnded, double cpuSeconds);

    double Period() const { return period_; }
    // Most recent presents waited for the refresh themselves.
    bool DisplayPaces() const;

  private:
    double period_;
    bool presentMayWait_;
    double wake_ = -1;      // when the frame after the last present may start
    uint32_t blocked_ = 0;  // the last presents, newest in bit 0: 1 where it waited
    int seen_ = 0;
};
