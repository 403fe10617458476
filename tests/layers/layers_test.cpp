// The program's folders form layers: a folder may include its own headers and those of the
// folders below it, never one above. The order is read from docs/architecture.md, so the
// picture there and this check cannot drift apart.

// GCC 12 with the sanitizers warns inside std::function as std::regex uses it (a known false
// "maybe uninitialized"); the warning is placed in the library header, so it is silenced before
// anything includes it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TestSystem.h"

namespace fs = std::filesystem;

namespace {

const char* const kOrderLine = "Layers, bottom up:";

// Folders at the top of the tree that hold no program code of their own: they may use any layer.
const std::set<std::string> kOutside = {"tests",       "bench", "fuzz", "tools",
                                        "third_party", "build", "docs", "scripts"};

std::vector<std::string> ReadLayerOrder(const fs::path& architecture) {
    std::ifstream in(architecture);
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find(kOrderLine);
        if (at == std::string::npos) continue;
        std::istringstream words(line.substr(at + std::char_traits<char>::length(kOrderLine)));
        std::vector<std::string> order;
        for (std::string w; words >> w;) order.push_back(w);
        return order;
    }
    return {};
}

bool IsSource(const fs::path& p) {
    const std::string ext = p.extension().string();
    return ext == ".h" || ext == ".cpp" || ext == ".inc";
}

// Every include of a layer folder's file that names a folder above it, or a top-level folder
// that is not a layer at all, as "file:line: include".
std::vector<std::string> LayerViolations(const fs::path& root,
                                         const std::vector<std::string>& order) {
    std::map<std::string, size_t> rank;
    for (size_t i = 0; i < order.size(); ++i) rank[order[i]] = i;
    const std::regex include(R"re(^\s*#\s*include\s+"([A-Za-z0-9_]+)/[^"]*")re");
    std::vector<std::string> found;
    for (const std::string& folder : order) {
        if (!fs::is_directory(root / folder)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            if (!entry.is_regular_file() || !IsSource(entry.path())) continue;
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                std::smatch m;
                if (!std::regex_search(line, m, include)) continue;
                const std::string target = m[1].str();
                if (!fs::is_directory(root / target)) continue;  // a library's own folder
                const auto it = rank.find(target);
                const bool above = it == rank.end() || it->second > rank[folder];
                if (above) {
                    found.push_back(fs::relative(entry.path(), root).generic_string() + ":" +
                                    std::to_string(number) + ": " + line +
                                    (it == rank.end() ? "  (not a layer)" : "  (a layer above)"));
                }
            }
        }
    }
    return found;
}

// Top-level folders holding C++ sources that the layer order does not mention.
std::vector<std::string> UnlistedFolders(const fs::path& root,
                                         const std::vector<std::string>& order) {
    const std::set<std::string> listed(order.begin(), order.end());
    std::vector<std::string> missing;
    for (const auto& entry : fs::directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_directory() || name.starts_with(".") || kOutside.contains(name) ||
            listed.contains(name)) {
            continue;
        }
        for (const auto& file : fs::recursive_directory_iterator(entry.path())) {
            if (file.is_regular_file() && IsSource(file.path())) {
                missing.push_back(name);
                break;
            }
        }
    }
    return missing;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += "\n  " + l;
    return all;
}

}  // namespace

TEST(Layers, NoFolderIncludesOneAboveIt) {
    const fs::path root = VELMORA_SOURCE_DIR;
    const std::vector<std::string> order = ReadLayerOrder(root / "docs" / "architecture.md");
    ASSERT_GE(order.size(), 5u) << "docs/architecture.md has no line starting \"" << kOrderLine
                                << "\"";
    EXPECT_EQ(order.back(), "app") << "the folder holding main() must be the top layer";

    const std::vector<std::string> violations = LayerViolations(root, order);
    EXPECT_TRUE(violations.empty()) << "includes that point up the layers:" << Joined(violations);

    const std::vector<std::string> unlisted = UnlistedFolders(root, order);
    EXPECT_TRUE(unlisted.empty()) << "folders with program code but no place in the layers:"
                                  << Joined(unlisted);
}

TEST(Layers, TheCheckFindsAnIncludeThatPointsUp) {
    const fs::path root =
        fs::temp_directory_path() / ("velmora-layers-" + std::to_string(ProcessId()));
    fs::remove_all(root);
    fs::create_directories(root / "low");
    fs::create_directories(root / "high");
    fs::create_directories(root / "stray");
    std::ofstream(root / "high" / "High.h") << "#include \"low/Low.h\"\n";
    std::ofstream(root / "low" / "Low.h") << "#pragma once\n";
    std::ofstream(root / "low" / "Low.cpp")
        << "#include \"low/Low.h\"\n#include <vector>\n  #  include \"high/High.h\"\n";
    std::ofstream(root / "stray" / "Stray.cpp") << "int x;\n";

    const std::vector<std::string> order = {"low", "high"};
    const std::vector<std::string> violations = LayerViolations(root, order);
    ASSERT_EQ(violations.size(), 1u) << Joined(violations);
    EXPECT_NE(violations[0].find("low/Low.cpp:3:"), std::string::npos) << violations[0];
    EXPECT_EQ(UnlistedFolders(root, order), std::vector<std::string>{"stray"});
    fs::remove_all(root);
}
