#include "resources/DataLocation.h"

#include <algorithm>
#include <filesystem>

#include "core/RuntimeError.h"
#include "platform/host/FilePath.h"

#ifndef VELMORA_DATA_DIR
#define VELMORA_DATA_DIR ""
#endif

namespace {

// "a/bin/../share/velmora" is shown to people as "a/share/velmora/".
std::string NormalFolder(const std::string& folder) {
    std::string normal = GenericUtf8(FilePath(folder).lexically_normal());
    if (normal.empty()) normal = ".";
    if (normal.back() != '/') normal += '/';
    return normal;
}

}  // namespace

std::vector<std::string> DataFolders(const std::string& exeFolder,
                                     const std::string& builtDataFolder) {
    std::vector<std::string> folders;
    auto add = [&](const std::string& folder) {
        if (folder.empty()) return;
        const std::string normal = NormalFolder(folder);
        if (std::find(folders.begin(), folders.end(), normal) == folders.end()) {
            folders.push_back(normal);
        }
    };
    add(exeFolder);
    if (!exeFolder.empty()) {
        // Debian keeps games in <prefix>/games and their data in <prefix>/share/games/.
        const bool games = FilePath(NormalFolder(exeFolder)).parent_path().filename() == "games";
        add(exeFolder + (games ? "/../share/games/velmora/" : "/../share/velmora/"));
    }
    add(builtDataFolder);
    return folders;
}

std::string BuiltDataFolder() {
    return VELMORA_DATA_DIR;
}

std::string FindDataArchive(const std::vector<std::string>& folders) {
    std::string looked;
    for (const std::string& folder : folders) {
        const std::string path = folder + kArchiveName;
        std::error_code ignored;
        if (std::filesystem::is_regular_file(FilePath(path), ignored)) return path;
        looked += (looked.empty() ? "" : ", ") + folder;
    }
    throw RuntimeError(rt::FileNotFound, std::string(kArchiveName) + " not found; looked in " +
                                             (looked.empty() ? "no folder" : looked));
}
