// Paths are UTF-8 strings everywhere in the program. They become std::filesystem paths only
// through FilePath, and strings again only through Utf8: a path built from a plain string
// would be read in Windows' ANSI code page there, which cannot hold every name a folder may
// have (Cyrillic on English Windows, Chinese on Russian), and gives other bytes than UTF-8 for
// any name outside ASCII. On Linux both are plain copies.
#pragma once

#include <filesystem>
#include <string>

inline std::filesystem::path FilePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The same with '/' between names, the form the program shows folders in.
inline std::string GenericUtf8(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}
