// Entry point: reads the command line, picks the host, runs the program.
#include "app/Main.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "animation/Animations.h"
#include "app/CommandLine.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/DxTrace.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/System.h"
#include "platform/host/WindowHost.h"

namespace {

// Resident memory now, in MB (peak memory alone cannot show whether a long run keeps growing).
double CurrentRssMb() {
    return ResidentMemoryMb();
}

// The headless host, also watching what a long run must keep bounded: the number of animation
// records and the memory in use after the first thousand passes.
class StatsHost : public HeadlessHost {
  public:
    explicit StatsHost(const HeadlessOptions& o) : HeadlessHost(o), lastPass_(o.frames) {}
    void Present(const uint16_t* pixels, int width, int height, int pitch) override {
        HeadlessHost::Present(pixels, width, height, pitch);
        maxAnimations = std::max(maxAnimations, AnimationCount);
        if (PassesPresented() == 1000) rssAt1000 = CurrentRssMb();
        // A run can end early (Esc in a script), so the last value is refreshed as it goes.
        if (PassesPresented() % 100 == 0 || PassesPresented() == lastPass_) {
            rssAtEnd = CurrentRssMb();
        }
    }
    int32_t maxAnimations = 0;
    std::optional<double> rssAt1000;  // none in a run shorter than 1000 passes
    double rssAtEnd = 0;

  private:
    int lastPass_;
};

// A figure the run did not reach reads "n/a": 0.0 would pass for a measurement.
std::string MbOrNone(const std::optional<double>& mb) {
    if (!mb) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", *mb);
    return text;
}

void PrintStats(const StatsHost& host) {
    const double seconds = host.WallSeconds();
    const int frames = host.PassesPresented();
    std::printf(
        "frames=%d threads=%d scale=%d seconds=%.3f fps=%.1f frame_ms_p50=%.3f "
        "frame_ms_p95=%.3f frame_ms_p99=%.3f "
        "peak_rss_mb=%.1f rss_mb_pass1000=%s rss_mb_end=%.1f animations_max=%d\n",
        frames, DeviceThreads(), host.DisplayScale(), seconds, seconds > 0 ? frames / seconds : 0.0,
        host.FrameTimePercentileMs(0.50), host.FrameTimePercentileMs(0.95),
        host.FrameTimePercentileMs(0.99), PeakResidentMemoryMb(), MbOrNone(host.rssAt1000).c_str(),
        host.rssAtEnd > 0 ? host.rssAtEnd : CurrentRssMb(), host.maxAnimations);
}

int Run(int argc, char** argv) {
    std::string error;
    const auto cl = ParseCommandLine(CommandLineArguments(argc, argv), error);
    if (!cl) {
        TellUser("velmora: " + error + " (see --help)", true);
        return 2;
    }
    if (cl->version) {
        TellUser(std::string("velmora ") + kVersion, false);
        return 0;
    }
    if (cl->help) {
        std::string usage = kUsage;
        usage.pop_back();  // TellUser ends the line
        TellUser(std::string("velmora ") + kVersion + "\n" + usage, false);
        return 0;
    }
    if (cl->threads > 0) SetDeviceThreads(cl->threads);
    if (cl->headless) {
        std::unique_ptr<dxtrace::Recorder> trace;
        if (!cl->traceFile.empty()) {
            try {
                trace = std::make_unique<dxtrace::Recorder>(cl->traceFile);
            } catch (const std::exception& e) {
                TellUser(std::string("velmora: ") + e.what(), true);
                return 1;
            }
            dxtrace::activeRecorder = trace.get();
        }
        StatsHost host(cl->headlessOptions);
        host.SetDisplayScale(cl->scale);
        SetActiveHost(&host);
        int status = Main();
        SetActiveHost(nullptr);
        if (trace) {
            dxtrace::activeRecorder = nullptr;
            std::string why;
            if (!trace->Finish(why)) {
                TellUser("velmora: " + why, true);
                if (status == 0) status = 1;
            }
        }
        if (cl->stats) PrintStats(host);
        if (status == 0 && host.ShotFailed()) return 1;
        // Esc in the input script can end the run before a requested frame.
        const std::vector<std::string> missed = host.ShotsNotReached();
        if (status == 0 && !missed.empty()) {
            std::string line = "velmora: the run ended after pass " +
                               std::to_string(host.PassesPresented()) + "; not written:";
            for (const std::string& shot : missed) line += " --shot " + shot;
            TellUser(line, true);
            return 1;
        }
        return status;
    }
    std::unique_ptr<WindowHost> host;
    try {
        host = OpenWindowHost(WindowHostOptions{!cl->windowed, cl->recordFile, cl->scale});
    } catch (const std::exception& e) {
        TellUser(std::string("velmora: ") + e.what(), true);
        return 1;
    }
    if (cl->windowAnswerYes) host->AnswerQuestion(*cl->windowAnswerYes);
    host->SetVsync(!cl->noVsync);
    host->SetDisplayScale(cl->scale);
    SetActiveHost(host.get());
    const int status = Main();
    SetActiveHost(nullptr);
    if (cl->stats) {
        // The window's pace: frames shown and the time they took, first to last.
        const double seconds = host->PresentingSeconds();
        const int frames = host->PassesPresented();
        std::printf("frames=%d seconds=%.3f fps=%.1f\n", frames, seconds,
                    seconds > 0 ? (frames - 1) / seconds : 0.0);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    ConnectStandardStreams();
    return StatusAfterStandardOutput("velmora", Run(argc, argv));
}
