// What Linux alone answers: the parts of System.h that the page build answers its own way.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>
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

// The kernel's figures, in its pages and kilobytes.
double ResidentMemoryMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    if (!(statm >> pages >> resident)) return 0;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double PeakResidentMemoryMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}
