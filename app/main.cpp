// Entry point: reads the command line, picks the host, runs the program.
#include "app/Main.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>

#include "app/CommandLine.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/SdlHost.h"

namespace {

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

void PrintStats(const HeadlessHost& host) {
    const double seconds = host.WallSeconds();
    const int frames = host.PassesPresented();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "frames=%d seconds=%.3f fps=%.1f frame_ms_p50=%.3f frame_ms_p95=%.3f frame_ms_p99=%.3f "
        "peak_rss_mb=%.1f\n",
        frames, seconds, seconds > 0 ? frames / seconds : 0.0,
        Percentile(host.FrameTimesMs(), 0.50), Percentile(host.FrameTimesMs(), 0.95),
        Percentile(host.FrameTimesMs(), 0.99), usage.ru_maxrss / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto cl = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!cl) {
        std::cerr << "velmora: " << error << " (see --help)" << std::endl;
        return 2;
    }
    if (cl->help) {
        std::cout << kUsage;
        return 0;
    }
    if (cl->headless) {
        HeadlessHost host(cl->headlessOptions);
        SetActiveHost(&host);
        const int status = Main();
        SetActiveHost(nullptr);
        if (cl->stats) PrintStats(host);
        if (status == 0 && host.ShotFailed()) return 1;
        return status;
    }
    std::unique_ptr<SdlHost> host;
    try {
        host = std::make_unique<SdlHost>(SdlHostOptions{!cl->windowed, cl->recordFile});
    } catch (const std::exception& e) {
        std::cerr << "velmora: " << e.what() << std::endl;
        return 1;
    }
    SetActiveHost(host.get());
    const int status = Main();
    SetActiveHost(nullptr);
    return status;
}
