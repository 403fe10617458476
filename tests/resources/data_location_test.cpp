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
    EXPECT_EQ(FindDataArchive(folders), dir.Folder() + "share/velmora/Data.kqx");
    WriteBytes(dir.File("bin/Data.kqx"), Bytes("beside"));
    EXPECT_EQ(FindDataArchive(folders), exe + "Data.kqx");
    // A folder of that name is not an archive.
    std::filesystem::remove(dir.File("bin/Data.kqx"));
    std::filesystem::create_directories(dir.Path() / "bin/Data.kqx");
    EXPECT_EQ(FindDataArchive(folders), dir.Folder() + "share/velmora/Data.kqx");
}

TEST(DataLocationTest, MissingArchiveSaysWhereItLooked) {
    TempDir dir;
    const auto folders = DataFolders(dir.Folder() + "bin/", "/nonexistent/velmora/");
    ExpectRuntimeError([&] { FindDataArchive(folders); }, rt::FileNotFound,
                       {"Data.kqx not found", dir.Folder() + "bin/",
                        dir.Folder() + "share/velmora/", "/nonexistent/velmora/"});
}

}  // namespace
