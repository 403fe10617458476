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
// clang-format on

}  // namespace

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
