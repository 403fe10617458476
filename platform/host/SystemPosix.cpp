#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

#include "platform/host/System.h"

std::tm LocalTime(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

double ThreadCpuSeconds() {
    timespec t{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double ProcessCpuSeconds() {
    timespec t{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

int64_t InvoluntarySwitches() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return -1;
    return usage.ru_nivcsw;
}

std::string AccountHomeFolder() {
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "";
}

std::string SystemPicturesFolder() {
    return "";
}

std::string TemporaryFolder() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

FileHandle ClaimExclusiveFile(const std::string& path, std::string& failure) {
    // A few tries: the file may be removed or replaced between opening and locking it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            if (errno == ENOENT) continue;  // removed meanwhile: create it next time
            failure = std::strerror(errno);
            return kNoFile;
        }
        // An advisory lock tells a live holder from a dead one: the system drops it with the
        // process.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            failure = "in use by another instance";
            ::close(fd);
            return kNoFile;
        }
        // Locked; but the name must still lead to this very file, not to one unlinked by the
        // process that held the lock before us.
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino && S_ISREG(held.st_mode)) {
            if (::ftruncate(fd, 0) == 0) return fd;
            failure = std::strerror(errno);
            ::close(fd);
            return kNoFile;
        }
        ::close(fd);
    }
    failure = "it keeps changing";
    return kNoFile;
}

FileHandle CreateTemporaryFile(const std::string& prefix, std::string& path, std::string& failure) {
    std::string pattern = TemporaryFolder() + "/" + prefix + "XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        failure = std::strerror(errno);
        return kNoFile;
    }
    path = pattern;
    return fd;
}

FileHandle CreateNewFile(const std::string& path, bool& exists, std::string& failure) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    exists = fd < 0 && errno == EEXIST;
    if (fd < 0) failure = std::strerror(errno);
    return fd;
}

bool WriteAllBytes(FileHandle file, std::span<const uint8_t> bytes, std::string& failure) {
    const int fd = static_cast<int>(file);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failure = n < 0 ? std::strerror(errno) : "nothing written";
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::FILE* OpenFileForWriting(const std::string& path) {
    return std::fopen(path.c_str(), "wb");
}

bool CloseFile(FileHandle file, std::string& failure) {
    if (::close(static_cast<int>(file)) == 0) return true;
    failure = std::strerror(errno);
    return false;
}

void RemoveFile(const std::string& path) {
    ::unlink(path.c_str());
}

void UseBinaryStandardOutput() {}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

std::string EnvironmentVariable(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

void ConnectStandardStreams() {}

bool StandardErrorSeen() {
    return true;
}

void TellUser(const std::string& text, bool error) {
    std::FILE* stream = error ? stderr : stdout;
    std::fputs((text + "\n").c_str(), stream);
    std::fflush(stream);
}
