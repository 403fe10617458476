// The command line: interactive by default, --headless for tests, benchmarks and pictures.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/HeadlessHost.h"

struct CommandLine {
    bool help = false;
    bool headless = false;
    bool windowed = false;
    bool stats = false;
    bool version = false;
    bool noVsync = false;  // interactive only: present as fast as frames are drawn
    // Interactive only: --res answers the display question in advance; unset, the question
    // is asked.
    std::optional<bool> windowAnswerYes;
    int threads = 0;         // drawing threads; 0: the number of cores
    int scale = 1;           // internal resolution: frames drawn at this multiple of the size
    std::string recordFile;  // interactive only: the session's input as an input script
    std::string traceFile;   // headless: every call on the DirectX layer, for velmora-replay
    HeadlessOptions headlessOptions;
};

// Parses argv (without the program name). On a wrong call returns nothing and sets error to
// a one-line reason.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

// An option's whole-number value: all of text, within low..high.
bool ParseInt(const std::string& text, long long low, long long high, long long& out);

// Why a file to write (--shot, --trace) could not be ("no folder DIR", "FILE is a folder"),
// or "".
std::string OutputFileProblem(const std::string& file);

// A --shot value, N:FILE, added to shots (several may share a pass); false with the reason in
// error when the pass is not a number from 1 or the file cannot be written.
bool AddShot(const std::string& value, std::multimap<int, std::string>& shots, std::string& error);

// A program's exit status once its standard output is flushed: help, a version or a stats line
// lost on a full disk is a failure, not a success (said on standard error as PROGRAM: ...).
int StatusAfterStandardOutput(const char* program, int status);

extern const char* const kUsage;
// The program's version, as the build names it (X.Y.Z).
extern const char* const kVersion;
