#include "platform/host/Screenshots.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "platform/dx/DirectDraw.h"
#include "platform/host/FilePath.h"
#include "platform/host/System.h"

namespace {

std::string Unquoted(std::string v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return v;
}

}  // namespace

PicturesEnvironment CurrentPicturesEnvironment() {
    PicturesEnvironment env{EnvironmentVariable("XDG_PICTURES_DIR"),
                            EnvironmentVariable("XDG_CONFIG_HOME"), EnvironmentVariable("HOME")};
    // Where the system keeps a pictures folder of its own (Windows), that one; the variable
    // still points elsewhere when set, as on Linux.
    if (env.picturesDir.empty()) env.picturesDir = SystemPicturesFolder();
    if (env.home.empty()) env.home = AccountHomeFolder();
    return env;
}

std::string UserDirsPictures(std::istream& userDirs, const std::string& home) {
    std::string line;
    while (std::getline(userDirs, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        const std::string key = "XDG_PICTURES_DIR=";
        if (line.compare(start, key.size(), key) != 0) continue;
        std::string value = line.substr(start + key.size());
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
        value = Unquoted(value);
        if (value.starts_with("$HOME")) {
            if (home.empty()) return "";
            value = home + value.substr(5);
        }
        // Only absolute paths are valid there; "$HOME/" alone means no pictures folder of its
        // own, which the default covers.
        if (!FilePath(value).has_root_directory()) return "";
        if (FilePath(value).lexically_normal() == FilePath(home + "/").lexically_normal()) {
            return "";
        }
        return value;
    }
    return "";
}

std::filesystem::path PicturesFolder(const PicturesEnvironment& env) {
    if (FilePath(env.picturesDir).has_root_directory()) return FilePath(env.picturesDir);
    std::string config = env.configHome;
    if (!FilePath(config).has_root_directory())
        config = env.home.empty() ? "" : env.home + "/.config";
    if (!config.empty()) {
        std::ifstream userDirs(FilePath(config + "/user-dirs.dirs"));
        if (userDirs) {
            const std::string named = UserDirsPictures(userDirs, env.home);
            if (!named.empty()) return FilePath(named);
        }
    }
    // Without any home the working folder is the one place left that is the user's.
    return FilePath(env.home.empty() ? "." : env.home) / "Pictures";
}

std::string ScreenshotFileName(const std::tm& local, int sequence) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "velmora-%04d-%02d-%02d_%02d-%02d-%02d",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec);
    std::string name = stamp;
    if (sequence > 1) name += "-" + std::to_string(sequence);
    return name + ".png";
}

std::filesystem::path SaveScreenshot(const std::filesystem::path& picturesFolder,
                                     const std::tm& local, const uint16_t* pixels, int width,
                                     int height, int pitch) {
    const std::filesystem::path folder = picturesFolder / "Velmora";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw std::runtime_error("cannot make " + Utf8(folder) + " (" + ec.message() + ")");
    const std::vector<uint8_t> png = EncodePng565(pixels, width, height, pitch);
    if (png.empty()) throw std::runtime_error("the picture could not be encoded");
    // Created only where nothing has the name yet: an earlier picture is never replaced.
    for (int sequence = 1; sequence <= 1000; ++sequence) {
        const std::filesystem::path path = folder / ScreenshotFileName(local, sequence);
        bool exists = false;
        std::string failure;
        const FileHandle file = CreateNewFile(Utf8(path), exists, failure);
        if (file == kNoFile && exists) continue;
        if (file == kNoFile)
            throw std::runtime_error("cannot write " + Utf8(path) + " (" + failure + ")");
        const bool written = WriteAllBytes(file, png, failure);
        std::string closeFailure;
        const bool closed = CloseFile(file, closeFailure);
        if (!written || !closed) {
            RemoveFile(Utf8(path));
            throw std::runtime_error("cannot write " + Utf8(path) + " (" +
                                     (written ? closeFailure : failure) + ")");
        }
        return path;
    }
    throw std::runtime_error("no free name left in " + Utf8(folder));
}
