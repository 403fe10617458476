#include "app/CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/dx/DirectDraw.h"
#include "platform/host/FilePath.h"

const char* const kUsage =
    "usage: velmora [--windowed] [--record FILE] interactive (asks Hi-res/Lo-res)\n"
    "  --record FILE     write the session's input as a script for --input\n"
    "  --res hi|lo       answer the display question in advance (no question box)\n"
    "  --no-vsync        draw as fast as possible instead of at the display's refresh rate\n"
    "  --stats           at the end print frames=N seconds=S fps=F (the window's pace)\n"
    "  --threads N       threads the 3D device draws on, 1 to 64 (default: the number of\n"
    "                    cores); also with --headless\n"
    "  --scale N         draw at N times the screen size, 1 to 4 (default 1); F12 steps it;\n"
    "                    also with --headless\n"
    "       velmora --headless [options]         no window, no sound device, no question\n"
    "  --frames N        passes to run, then end as if Esc were pressed (default 400)\n"
    "  --res hi|lo       the answer to the display question (default hi = 640x480)\n"
    "  --tick-ms MS      virtual clock step per pass (default 25); given, it also\n"
    "                    replaces the pass times of the --input script\n"
    "  --seed N          fix the time of day and the random source; given, it also\n"
    "                    replaces the start of a recorded session\n"
    "  --input FILE      scripted input, one event a line:\n"
    "                      N key NAME down|up | N type TEXT | N mouse X Y | N click\n"
    "                      N time MICROSECONDS (how long pass N took) | session SECONDS\n"
    "                      | answer yes|no | scale N (a recording's start)\n"
    "                    a key down types its character unless followed by notype;\n"
    "                    in TEXT {ENTER} {TAB} {BACKSPACE} {SPACE} {HASH} {LBRACE};\n"
    "                    a recorded session (--record) replays the frames it showed\n"
    "  --shot N:FILE     write the frame presented after pass N as PNG (repeatable)\n"
    "  --desktop FILE    picture used as the captured desktop\n"
    "  --trace FILE      record every DirectX call of the run for velmora-replay\n"
    "  --stats           after the run print one line: frames, fps, frame times, memory\n"
    "                    and animation records\n"
    "  --help            this text\n"
    "  --version         the program's name and version\n";

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "0.0.0"
#endif
const char* const kVersion = VELMORA_VERSION;

bool ParseInt(const std::string& text, long long low, long long high, long long& out) {
    try {
        size_t used = 0;
        const long long v = std::stoll(text, &used);
        if (used != text.size() || v < low || v > high) return false;
        out = v;
        return true;
    } catch (...) {
        return false;
    }
}

int StatusAfterStandardOutput(const char* program, int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write standard output\n", program);
        if (status == 0) status = 1;
    }
    return status;
}

std::string OutputFileProblem(const std::string& file) {
    // A file that cannot be written is better said before a long run than after it.
    const std::filesystem::path path = FilePath(file);
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::error_code unusable;  // a name too long for a path, for one
    if (!std::filesystem::is_directory(folder, unusable)) return "no folder " + Utf8(folder);
    if (std::filesystem::is_directory(path, unusable)) return file + " is a folder";
    return "";
}

bool AddShot(const std::string& value, std::multimap<int, std::string>& shots, std::string& error) {
    const size_t colon = value.find(':');
    long long pass = 0;
    if (colon == std::string::npos || colon + 1 == value.size() ||
        !ParseInt(value.substr(0, colon), 1, 100000000, pass)) {
        error = "--shot needs N:FILE with a pass number from 1";
        return false;
    }
    const std::string file = value.substr(colon + 1);
    if (const std::string problem = OutputFileProblem(file); !problem.empty()) {
        error = "--shot " + std::to_string(pass) + ": " + problem;
        return false;
    }
    shots.emplace(static_cast<int>(pass), file);
    return true;
}

// The same file under two names (relative, with "..", through a link) compares equal.
std::filesystem::path Canonical(const std::string& file) {
    std::error_code unresolved;
    std::filesystem::path path = std::filesystem::weakly_canonical(FilePath(file), unresolved);
    return unresolved ? FilePath(file).lexically_normal() : path;
}

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error) {
    CommandLine cl;
    std::vector<std::string> headlessOnly;
    std::string inputFile;
    bool framesGiven = false, tickGiven = false, resGiven = false, scaleGiven = false;
    auto fail = [&](const std::string& why) {
        // One line, whatever the arguments hold.
        error = why;
        for (char& c : error) {
            if (static_cast<unsigned char>(c) < 32) c = '?';
        }
        return std::nullopt;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        long long n = 0;
        if (a == "--help" || a == "-h") {
            cl.help = true;
        } else if (a == "--version") {
            cl.version = true;
        } else if (a == "--no-vsync") {
            cl.noVsync = true;
        } else if (a == "--headless") {
            cl.headless = true;
        } else if (a == "--windowed") {
            cl.windowed = true;
        } else if (a == "--record") {
            if (!value(v)) return fail("--record needs a file");
            cl.recordFile = v;
        } else if (a == "--threads") {
            if (!value(v) || !ParseInt(v, 1, 64, n)) {
                return fail("--threads needs a number from 1 to 64");
            }
            cl.threads = static_cast<int>(n);
        } else if (a == "--scale") {
            if (!value(v) || !ParseInt(v, 1, kMaxDisplayScale, n)) {
                return fail("--scale needs a number from 1 to " + std::to_string(kMaxDisplayScale));
            }
            cl.scale = static_cast<int>(n);
            scaleGiven = true;
        } else if (a == "--stats") {
            cl.stats = true;
        } else if (a == "--frames") {
            if (!value(v) || !ParseInt(v, 1, 100000000, n)) {
                return fail("--frames needs a number of passes from 1");
            }
            cl.headlessOptions.frames = static_cast<int>(n);
            framesGiven = true;
            headlessOnly.push_back(a);
        } else if (a == "--res") {
            if (!value(v) || (v != "hi" && v != "lo")) return fail("--res needs hi or lo");
            cl.headlessOptions.answerYes = v == "hi";
            resGiven = true;
            cl.windowAnswerYes = v == "hi";
        } else if (a == "--tick-ms") {
            if (!value(v) || !ParseInt(v, 0, 60000, n)) {
                return fail("--tick-ms needs milliseconds from 0 to 60000");
            }
            cl.headlessOptions.tickMs = static_cast<int>(n);
            tickGiven = true;
            headlessOnly.push_back(a);
        } else if (a == "--seed") {
            if (!value(v) || !ParseInt(v, 0, 4294967295LL, n)) {
                return fail("--seed needs a number from 0 to 4294967295");
            }
            cl.headlessOptions.seed = static_cast<uint32_t>(n);
            headlessOnly.push_back(a);
        } else if (a == "--input") {
            if (!value(v)) return fail("--input needs a file");
            std::ifstream in(FilePath(v));
            if (!in) return fail("cannot read input script " + v);
            std::string why;
            auto events = ParseInputScript(in, why);
            // A folder opens like a file but reads as nothing: no events is not what was asked.
            if (in.bad()) return fail("cannot read input script " + v);
            if (!events) return fail(v + ": " + why);
            cl.headlessOptions.input = std::move(*events);
            inputFile = v;
            headlessOnly.push_back(a);
        } else if (a == "--shot") {
            if (!value(v)) return fail("--shot needs N:FILE");
            std::string why;
            if (!AddShot(v, cl.headlessOptions.shots, why)) return fail(why);
            headlessOnly.push_back(a);
        } else if (a == "--trace") {
            if (!value(v) || v.empty()) return fail("--trace needs a file");
            if (const std::string problem = OutputFileProblem(v); !problem.empty()) {
                return fail("--trace: " + problem);
            }
            cl.traceFile = v;
            headlessOnly.push_back(a);
        } else if (a == "--desktop") {
            if (!value(v)) return fail("--desktop needs a file");
            std::error_code unreadable;  // a name too long for a path, for one
            if (!std::filesystem::is_regular_file(FilePath(v), unreadable)) {
                return fail("no desktop picture " + v);
            }
            // Said now, naming the file, rather than as a display error once the run is going.
            std::ifstream picture(FilePath(v), std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(picture)),
                                             std::istreambuf_iterator<char>());
            try {
                DecodeImage(bytes);
            } catch (const std::exception&) {
                return fail(v + " is not a picture (PNG or BMP)");
            }
            cl.headlessOptions.desktopFile = v;
            headlessOnly.push_back(a);
        } else {
            return fail("unknown option '" + a + "'");
        }
    }
    if (!cl.headless && !headlessOnly.empty()) {
        return fail(headlessOnly.front() + " needs --headless");
    }
    if (cl.headless && cl.windowed) return fail("--windowed and --headless exclude each other");
    if (cl.headless && cl.noVsync)
        return fail("--no-vsync is for the window; --headless never waits");
    if (cl.headless && !cl.recordFile.empty()) {
        return fail("--record is for the interactive program; --headless replays with --input");
    }
    // The script's pass times and a session's start stand unless the command line says
    // otherwise: --tick-ms steps every pass alike (the host puts --seed before the start).
    std::vector<ScriptEvent>& input = cl.headlessOptions.input;
    if (tickGiven) {
        std::erase_if(input,
                      [](const ScriptEvent& e) { return e.kind == ScriptEvent::Kind::Time; });
    }
    // A recording's display answer and starting scale, unless --res or --scale say otherwise.
    for (const ScriptEvent& e : input) {
        if (e.kind == ScriptEvent::Kind::Answer && !resGiven) cl.headlessOptions.answerYes = e.yes;
        if (e.kind == ScriptEvent::Kind::Scale && !scaleGiven) cl.scale = e.scale;
    }
    // A recorded session runs to its end (its Esc) unless told otherwise.
    const bool session = std::any_of(input.begin(), input.end(), [](const ScriptEvent& e) {
        return e.kind == ScriptEvent::Kind::Session;
    });
    if (session && !framesGiven) {
        for (const ScriptEvent& e : input) {
            cl.headlessOptions.frames = std::max(cl.headlessOptions.frames, e.pass);
        }
    }
    // An output written over a file the run reads, or over another output, loses one of them.
    std::vector<std::pair<std::string, std::filesystem::path>> files;
    if (!inputFile.empty()) files.emplace_back("--input", Canonical(inputFile));
    if (!cl.headlessOptions.desktopFile.empty()) {
        files.emplace_back("--desktop", Canonical(cl.headlessOptions.desktopFile));
    }
    const size_t inputs = files.size();
    if (!cl.traceFile.empty()) files.emplace_back("--trace", Canonical(cl.traceFile));
    for (const auto& [pass, file] : cl.headlessOptions.shots) {
        files.emplace_back("--shot " + std::to_string(pass), Canonical(file));
    }
    for (size_t out = inputs; out < files.size(); ++out) {
        for (size_t other = 0; other < out; ++other) {
            if (files[out].second == files[other].second) {
                return fail(files[out].first + " would write over the file of " +
                            files[other].first);
            }
        }
    }
    // A frame after the last pass never comes; better said before the run than after it.
    if (!cl.headlessOptions.shots.empty() &&
        cl.headlessOptions.shots.rbegin()->first > cl.headlessOptions.frames) {
        return fail("--shot " + std::to_string(cl.headlessOptions.shots.rbegin()->first) +
                    " is after the last pass (--frames " +
                    std::to_string(cl.headlessOptions.frames) + ")");
    }
    return cl;
}
