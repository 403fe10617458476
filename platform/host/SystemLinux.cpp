// What Linux alone answers: the parts of System.h that the page build answers its own way.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <thread>

#include "platform/host/System.h"

std::string ExecutableFolderOfProcess() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "./";
    std::string path(buffer, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    // The separator is appended unconditionally, so the root folder gives "//", which still
    // names the same place.
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/";
}

int ProcessorCount() {
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

int MostThreads() {
    return INT_MAX;
}
