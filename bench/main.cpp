// The benchmarks' main: Google Benchmark's report as usual, then the lines that put runs
// side by side (the layer against llvmpipe), which need every run done first.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bench/LayerBench.h"

namespace {

// Passes everything on to the reporter the flags chose and keeps the runs.
class Keeping : public benchmark::BenchmarkReporter {
  public:
    explicit Keeping(std::unique_ptr<benchmark::BenchmarkReporter> inner)
        : inner_(std::move(inner)) {}
    bool ReportContext(const Context& context) override { return inner_->ReportContext(context); }
    void ReportRuns(const std::vector<Run>& report) override {
        runs.insert(runs.end(), report.begin(), report.end());
        inner_->ReportRuns(report);
    }
    void Finalize() override { inner_->Finalize(); }

    std::vector<Run> runs;

  private:
    std::unique_ptr<benchmark::BenchmarkReporter> inner_;
};

}  // namespace

int main(int argc, char** argv) {
    // Initialize takes the flags out of argv: the report's format is read first.
    std::string format = "console";
    bool tabular = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--benchmark_format=", 0) == 0) format = arg.substr(19);
        if (arg == "--benchmark_counters_tabular" || arg == "--benchmark_counters_tabular=true") {
            tabular = true;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    std::unique_ptr<benchmark::BenchmarkReporter> inner;
    if (format == "json") {
        inner = std::make_unique<benchmark::JSONReporter>();
    } else if (format == "console") {
        int options = isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color
                                            : benchmark::ConsoleReporter::OO_None;
        if (tabular) options |= benchmark::ConsoleReporter::OO_Tabular;
        inner = std::make_unique<benchmark::ConsoleReporter>(
            static_cast<benchmark::ConsoleReporter::OutputOptions>(options));
    } else {
        // Other formats as the library writes them, without the side-by-side lines.
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        return 0;
    }
    Keeping reporter(std::move(inner));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Machine-readable reports keep standard output to themselves.
    bench::PrintLayerLine(reporter.runs, format == "console" ? std::cout : std::cerr);
    benchmark::Shutdown();
    return 0;
}
