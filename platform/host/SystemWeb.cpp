// What the browser's build answers its own way; the rest of System.h is SystemPosix.cpp.
#include <emscripten.h>
#include <emscripten/threading.h>

#include <algorithm>
#include <cstdlib>

#include "platform/host/System.h"

namespace {

// Under Node the folder of the script that runs; in a page the folder of the page's own files
// system, where the page puts the Data.kqx it fetched.
// JavaScript, not C++:
// clang-format off
EM_JS(char*, velmora_program_folder, (), {
    var folder = typeof __dirname !== 'undefined' ? __dirname + '/' : '/velmora/';
    return allocateUTF8(folder);
});

// Under Node the process's resident memory now and at most, in MB; in a page the program's
// own memory (the page cannot see the process's), and no peak.
EM_JS(double, velmora_resident_mb, (), {
    if (typeof process !== 'undefined' && process.memoryUsage) return process.memoryUsage().rss / 1048576;
    return HEAP8.length / 1048576;
});
EM_JS(double, velmora_peak_resident_mb, (), {
    if (typeof process !== 'undefined' && process.resourceUsage) return process.resourceUsage().maxRSS / 1024;
    return 0;
});
// clang-format on

}  // namespace

// Not /proc's figures: they count the kernel's pages, which the WebAssembly C library sizes
// as its own (64 KB).
double ResidentMemoryMb() {
    return velmora_resident_mb();
}

double PeakResidentMemoryMb() {
    return velmora_peak_resident_mb();
}

std::string ExecutableFolderOfProcess() {
    char* folder = velmora_program_folder();
    std::string out = folder != nullptr ? folder : "./";
    std::free(folder);
    return out;
}

int ProcessorCount() {
    return emscripten_has_threading_support() ? std::max(1, emscripten_num_logical_cores()) : 1;
}

// A build without shared memory (the page as most servers send it) has one thread; one with it
// has the workers it started with: a page cannot start one while the program runs.
int MostThreads() {
    return emscripten_has_threading_support() ? VELMORA_WEB_MAX_THREADS : 1;
}
