// The command line: arguments split at NUL bytes. Any call is either refused with one line or
// read into options that keep the headless-only ones with --headless. File arguments are kept
// inside a private folder, so the reader is tried on what is there, never on a device or a
// whole disk.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "fuzz/PrivateFolder.h"

namespace {

std::string Folder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Folder = MakePrivateFolder("velmora-cl");
    // A script and a picture the arguments can name.
    std::ofstream(Folder + "/script") << "1 key A down\n2 type 1.5{ENTER}\n3 mouse 1 2\n3 click\n";
    std::ofstream(Folder + "/bad") << "1 key nokey down\n";
    std::ofstream(Folder + "/desktop") << "not a picture";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& option = args[i - 1];
        if (option == "--input" || option == "--desktop") {
            std::string name = args[i];
            for (char& c : name) {
                if (c == '/') c = '_';
            }
            args[i] = Folder + "/" + name;
        }
    }
    std::string error;
    const auto cl = ParseCommandLine(args, error);
    if (!cl) {
        if (error.empty() || error.find('\n') != std::string::npos) __builtin_trap();
        return 0;
    }
    // --stats is fine in the window too (it reports the window's pace).
    if (!cl->headless &&
        (!cl->headlessOptions.input.empty() || !cl->headlessOptions.shots.empty())) {
        __builtin_trap();
    }
    if (cl->headless && (cl->windowed || !cl->recordFile.empty())) __builtin_trap();
    if (cl->headlessOptions.frames < 1) __builtin_trap();
    return 0;
}
