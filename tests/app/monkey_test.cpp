// The monkey: the whole headless program played with random input (tools/monkey) for thousands
// of passes per seed, at both screen sizes. It must end as a run ends, never with an error: no
// crash, no sanitizer report, nothing on standard error. A failing run keeps its script and
// names the seed and the command that replays it.
//
// VELMORA_MONKEY_SEEDS=1,2,3 and VELMORA_MONKEY_PASSES=N choose other runs; by default a few
// fixed seeds run, and one more seed taken from the clock, so every run of the suite also
// tries something new.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TestSystem.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultPasses = 1500;  // every pass is several times slower under the sanitizers
#else
constexpr int kDefaultPasses = 3000;
#endif

struct MonkeyRun {
    uint32_t seed;
    bool hi;
    bool fromClock = false;  // named without its seed, which differs from run to run
};

std::vector<MonkeyRun> Runs() {
    std::vector<uint32_t> seeds;
    bool clockSeed = false;
    if (const char* env = std::getenv("VELMORA_MONKEY_SEEDS")) {
        std::stringstream s(env);
        std::string item;
        while (std::getline(s, item, ',')) {
            if (!item.empty()) seeds.push_back(static_cast<uint32_t>(std::stoul(item)));
        }
    } else {
        // 696083 once threw the palm's sparks beyond whole numbers (Lo-res).
        seeds = {1, 696083, 2};
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        seeds.push_back(static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::seconds>(now).count() % 1000000 + 1000));
        clockSeed = true;
    }
    std::vector<MonkeyRun> runs;
    for (size_t i = 0; i < seeds.size(); ++i)
        runs.push_back({seeds[i], i % 2 == 0, clockSeed && i + 1 == seeds.size()});
    return runs;
}

int Passes() {
    const char* env = std::getenv("VELMORA_MONKEY_PASSES");
    return env ? std::max(1, std::atoi(env)) : kDefaultPasses;
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Monkey : public ::testing::TestWithParam<MonkeyRun> {};

TEST_P(Monkey, PlaysThousandsOfPassesWithoutAnError) {
    const MonkeyRun run = GetParam();
    const int passes = Passes();
    const std::string bin = VELMORA_BINARY_DIR;
    const std::string res = run.hi ? "hi" : "lo";
    if (run.fromClock) std::cout << "monkey: seed " << run.seed << " from the clock\n";
    const std::filesystem::path folder = bin + "/monkey-runs";
    std::filesystem::create_directories(folder);
    const std::string name = "seed-" + std::to_string(run.seed) + "-" + res;
    const std::filesystem::path script = folder / (name + ".txt");
    const std::filesystem::path out = folder / (name + ".out");
    const std::filesystem::path err = folder / (name + ".err");

    const std::vector<std::string> makeArgs{
        "--seed", std::to_string(run.seed), "--passes", std::to_string(passes), "--res", res};
    const ProgramRun made = RunProgram(BuiltProgram("monkey"), makeArgs);
    ASSERT_EQ(made.status, 0) << made.errors;
    std::ofstream(script, std::ios::binary) << made.output;
    ASSERT_GT(std::filesystem::file_size(script), 0u);

    const std::vector<std::string> replayArgs{"--headless",
                                              "--res",
                                              res,
                                              "--seed",
                                              std::to_string(run.seed),
                                              "--frames",
                                              std::to_string(passes),
                                              "--stats",
                                              "--input",
                                              script.string()};
    std::string replay = BuiltProgram("velmora");
    for (const std::string& a : replayArgs) replay += " " + a;
    const ProgramRun played = RunProgram(BuiltProgram("velmora"), replayArgs);
    const int status = played.status;
    std::ofstream(out, std::ios::binary) << played.output;
    std::ofstream(err, std::ios::binary) << played.errors;
    const std::string stats = ReadText(out), errors = ReadText(err);
    const bool ended = status == 0 && errors.empty() &&
                       stats.find("frames=" + std::to_string(passes) + " ") != std::string::npos;
    EXPECT_TRUE(ended) << "monkey seed " << run.seed << " at " << res << " failed (status "
                       << status << ")\n--- standard error:\n"
                       << errors.substr(0, 4000) << "\n--- standard output:\n"
                       << stats.substr(0, 2000) << "\nThe script is kept; replay with:\n  "
                       << replay;
    if (ended) {
        std::filesystem::remove(script);
        std::filesystem::remove(out);
        std::filesystem::remove(err);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, Monkey, ::testing::ValuesIn(Runs()),
                         [](const ::testing::TestParamInfo<MonkeyRun>& info) {
                             return (info.param.fromClock
                                         ? std::string("clock")
                                         : "seed" + std::to_string(info.param.seed)) +
                                    (info.param.hi ? "_hi" : "_lo");
                         });

}  // namespace
