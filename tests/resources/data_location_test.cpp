// Where Data.kqx is looked for: beside the executable, then the installation's data folder
// found from the executable's place, then the configured one; a missing archive names them all.
#include <gtest/gtest.h>

#include "resources/DataLocation.h"
#include "tests/support/ResourceTestSupport.h"

namespace {

TEST(DataLocationTest, FoldersInOrderWithoutRepeats) {
    EXPECT_EQ(DataFolders("/opt/v/bin/", "/usr/local/share/velmora/"),
              (std::vector<std::string>{"/opt/v/bin/", "/opt/v/share/velmora/",
                                        "/usr/local/share/velmora/"}));
    // Installed where the build expected: the relative and the configured folder are one.
    EXPECT_EQ(DataFolders("/usr/local/bin/", "/usr/local/share/velmora"),
              (std::vector<std::string>{"/usr/local/bin/", "/usr/local/share/velmora/"}));
    EXPECT_EQ(DataFolders("/opt/v/bin/", ""),
              (std::vector<std::string>{"/opt/v/bin/", "/opt/v/share/velmora/"}));
    // The Debian package's layout: /usr/games/velmora, /usr/share/games/velmora/Data.kqx.
    EXPECT_EQ(DataFolders("/usr/games", "/usr/local/share/velmora/"),
              (std::vector<std::string>{"/usr/games/", "/usr/share/games/velmora/",
                                        "/usr/local/share/velmora/"}));
}

TEST(DataLocationTest, BesideTheExecutableComesFirst) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "bin");
    std::filesystem::create_directories(dir.Path() / "share/velmora");
    const std::string exe = dir.Folder() + "bin/";
    const auto folders = DataFolders(exe, "");

    WriteBytes(dir.File("share/velmora/Data.kqx"), Bytes("installed"));
    // Compared as paths: Windows writes the same place with either separator.
    using Path = std::filesystem::path;
    EXPECT_EQ(Path(FindDataArchive(folders)), Path(dir.Folder() + "share/velmora/Data.kqx"));
    WriteBytes(dir.File("bin/Data.kqx"), Bytes("beside"));
    EXPECT_EQ(Path(FindDataArchive(folders)), Path(exe + "Data.kqx"));
    // A folder of that name is not an archive.
    std::filesystem::remove(dir.File("bin/Data.kqx"));
    std::filesystem::create_directories(dir.Path() / "bin/Data.kqx");
    EXPECT_EQ(Path(FindDataArchive(folders)), Path(dir.Folder() + "share/velmora/Data.kqx"));
}

TEST(DataLocationTest, MissingArchiveSaysWhereItLooked) {
    TempDir dir;
    const auto folders = DataFolders(dir.Folder() + "bin/", "/nonexistent/velmora/");
    // The folders as the message shows them: with forward slashes on every system.
    auto shown = [](const std::string& f) { return std::filesystem::path(f).generic_string(); };
    ExpectRuntimeError([&] { FindDataArchive(folders); }, rt::FileNotFound,
                       {"Data.kqx not found", shown(dir.Folder() + "bin/"),
                        shown(dir.Folder() + "share/velmora/"), "/nonexistent/velmora/"});
}

}  // namespace
