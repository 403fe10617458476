#include "resources/ScratchFile.h"

#include <fcntl.h>
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

void WriteScratchFile(std::span<const uint8_t> bytes) {
    DeleteScratchFile();
    std::string path = DefaultScratchPath();
    // Never overwrite a Temp.dat this run did not write: it may be another instance's, in the
    // middle of its own load from the same folder.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        const std::string besideError = std::strerror(errno);
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
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        const std::string reason = std::strerror(errno);
        ::unlink(path.c_str());
        throw RuntimeError(rt::PathFileAccessError,
                           "cannot write the scratch file " + path + " (" + reason + ")");
    }
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
        ScratchFilePath.clear();
        ThrowDataError(e.Number(), source, e.Description());
    }
    DeleteScratchFile();
    return bytes;
}

void DeleteScratchFile() {
    if (ScratchFilePath.empty()) return;
    ::unlink(ScratchFilePath.c_str());
    ScratchFilePath.clear();
}
