// The command line: interactive by default, --headless for tests, benchmarks and pictures.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/host/HeadlessHost.h"

struct CommandLine {
    bool help = false;
    bool headless = false;
    bool windowed = false;
    bool stats = false;
    std::string recordFile;  // interactive only: the session's input as an input script
    std::string traceFile;   // headless: every call on the DirectX layer, for velmora-replay
    HeadlessOptions headlessOptions;
};

// Parses argv (without the program name). On a wrong call returns nothing and sets error to
// a one-line reason.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

extern const char* const kUsage;
