#include "resources/ScratchFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/Declarations.h"

namespace {

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string TemporaryFolder() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

}  // namespace

std::string DefaultScratchPath() {
    return AppPath + "Temp.dat";
}

namespace {

// The open Temp.dat this run holds locked while an extraction waits there; -1 otherwise.
int heldScratchFd = -1;

// Temp.dat beside the program, locked for this run: created afresh, or taken over when the one
// there is stale (left by a run that ended abruptly; a live run holds its lock). Returns -1
// when another run is using it or the folder cannot be written.
int ClaimDefaultScratch(const std::string& path, std::string& failure) {
    // A few tries: the file may be removed or replaced between opening and locking it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            if (errno == ENOENT) continue;  // removed meanwhile: create it next time
            failure = std::strerror(errno);
            return -1;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            failure = "in use by another instance";
            ::close(fd);
            return -1;
        }
        // Locked; but the name must still lead to this very file, not to one unlinked by the
        // run that held the lock before us.
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino && S_ISREG(held.st_mode)) {
            if (::ftruncate(fd, 0) == 0) return fd;
            failure = std::strerror(errno);
            ::close(fd);
            return -1;
        }
        ::close(fd);
    }
    failure = "it keeps changing";
    return -1;
}

}  // namespace

void WriteScratchFile(std::span<const uint8_t> bytes) {
    DeleteScratchFile();
    std::string path = DefaultScratchPath();
    // A Temp.dat another live instance is loading through is never touched; one it no longer
    // holds is reused.
    std::string besideError;
    int fd = ClaimDefaultScratch(path, besideError);
    const bool beside = fd >= 0;
    if (!beside) {
        std::string pattern = TemporaryFolder() + "/velmora-Temp-XXXXXX";
        fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            throw RuntimeError(rt::PathFileAccessError, "cannot write the scratch file " + path +
                                                            " (" + besideError + ") nor one in " +
                                                            TemporaryFolder() + " (" +
                                                            std::strerror(errno) + ")");
        }
        path = pattern;
    }
    const bool written = WriteAll(fd, bytes);
    // The lock stays with the open file until the extraction is taken or dropped.
    const bool closed = beside ? true : ::close(fd) == 0;
    if (!written || !closed) {
        const std::string reason = std::strerror(errno);
        ::unlink(path.c_str());
        if (beside) ::close(fd);
        throw RuntimeError(rt::PathFileAccessError,
                           "cannot write the scratch file " + path + " (" + reason + ")");
    }
    if (beside) heldScratchFd = fd;
    ScratchFilePath = path;
}

std::vector<uint8_t> TakeScratchFile(const DataSource& source) {
    if (ScratchFilePath.empty()) {
        ThrowDataError(rt::FileNotFound, source, "no extracted data to read");
    }
    const std::string path = ScratchFilePath;
    std::vector<uint8_t> bytes;
    try {
        bytes = ReadWholeFile(path);
    } catch (const RuntimeError& e) {
        DeleteScratchFile();
        ThrowDataError(e.Number(), source, e.Description());
    }
    DeleteScratchFile();
    return bytes;
}

void DeleteScratchFile() {
    // Removed while still locked, so no other run can take the name over half-way.
    if (!ScratchFilePath.empty()) ::unlink(ScratchFilePath.c_str());
    ScratchFilePath.clear();
    if (heldScratchFd >= 0) ::close(heldScratchFd);
    heldScratchFd = -1;
}
