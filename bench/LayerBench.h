// The side-by-side figures of the layer benchmarks (layer_bench.cpp), printed by the
// benchmarks' main once every run is done.
#pragma once

#include <benchmark/benchmark.h>

#include <ostream>
#include <vector>

namespace bench {

// Prints the `layer:` line (times in ms of real time per iteration, medians where repeated,
// ratios llvmpipe / ours, the frames' mean absolute difference per channel in 8-bit units)
// when any layer benchmark ran; nothing otherwise.
void PrintLayerLine(const std::vector<benchmark::BenchmarkReporter::Run>& runs, std::ostream& out);

}  // namespace bench
