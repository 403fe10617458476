// A folder of the fuzzer's own for the files a target writes or names, removed at exit, so
// that inputs are tried on what is there and never on a device or a whole disk. In memory
// where the system has /dev/shm: these targets write a file per run.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

inline std::string& PrivateFolder() {
    static std::string folder;
    return folder;
}

inline const std::string& MakePrivateFolder(const char* prefix) {
    const char* shm = "/dev/shm";
    std::string pattern =
        (std::filesystem::exists(shm) ? std::string(shm)
                                      : std::filesystem::temp_directory_path().string()) +
        "/" + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    PrivateFolder() = pattern;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(PrivateFolder(), ignored);
    });
    return PrivateFolder();
}
