// A fresh folder per test, removed afterwards, file helpers and an error matcher for the tests
// of the resource readers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/RuntimeError.h"

class TempDir {
  public:
    // A name nobody has, made by this test alone (creating a folder fails when it exists).
    TempDir() {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            char name[32];
            std::snprintf(name, sizeof name, "velmora-test-%08x", random());
            path_ = std::filesystem::temp_directory_path() / name;
            std::error_code ec;
            if (std::filesystem::create_directory(path_, ec)) return;
        }
        std::abort();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder as AppPath holds it: with a trailing separator.
    std::string Folder() const { return (path_ / "").string(); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// Runs f and expects a RuntimeError with that number whose description holds every fragment.
template <typename F>
void ExpectRuntimeError(F&& f, int number, std::initializer_list<std::string> fragments) {
    try {
        f();
        ADD_FAILURE() << "no error raised";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), number) << e.what();
        for (const std::string& fragment : fragments) {
            EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos)
                << "\"" << fragment << "\" not in: " << e.what();
        }
    }
}
