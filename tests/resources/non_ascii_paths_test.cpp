// Folders whose names are not ASCII: Cyrillic (inside the Russian code page, outside the
// Western one), Chinese (outside both) and Polish. On Windows this runs in the test program,
// which has no UTF-8 manifest and so keeps the system's code page (Wine honours velmora.exe's
// UTF-8 manifest; Windows 10 before 1903 does not), and scripts/test-windows.sh runs it again
// under a Russian locale: the archive is found and read, Temp.dat written beside it and taken
// back, and a missing archive's folder named as it is spelled.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/Declarations.h"
#include "core/RuntimeError.h"
#include "platform/host/FilePath.h"
#include "resources/Archive.h"
#include "resources/DataLocation.h"
#include "resources/ScratchFile.h"
#include "tests/support/ResourceTestSupport.h"

namespace {

const char* const kFolderNames[] = {"Проверка Дмитрий", "测试 文件夹", "Łukasz"};

}  // namespace

TEST(NonAsciiPaths, ArchiveAndScratchFileInFoldersSoNamed) {
    TempDir dir;
    const std::string savedAppPath = AppPath;
    for (const char* name : kFolderNames) {
        SCOPED_TRACE(name);
        const std::filesystem::path folder = dir.Path() / FilePath(name);
        std::filesystem::create_directories(folder);
        const std::string utf8Folder = GenericUtf8(folder) + "/";
        try {
            FindDataArchive({utf8Folder});
            ADD_FAILURE() << "found an archive in an empty folder";
        } catch (const RuntimeError& e) {
            EXPECT_NE(e.Description().find(utf8Folder), std::string::npos) << e.Description();
        }
        std::filesystem::copy_file(FilePath(std::string(VELMORA_BINARY_DIR) + "/Data.kqx"),
                                   folder / "Data.kqx");
        const std::string archive = FindDataArchive({utf8Folder});
        EXPECT_EQ(archive, utf8Folder + "Data.kqx");
        EXPECT_GT(ReadArchiveFile(archive).EntryCount, 0);

        AppPath = utf8Folder;
        const std::vector<uint8_t> bytes = {1, 2, 3, 250};
        WriteScratchFile(bytes);
        EXPECT_EQ(ScratchFilePath, utf8Folder + "Temp.dat");
        EXPECT_TRUE(std::filesystem::is_regular_file(folder / "Temp.dat"));
        EXPECT_EQ(TakeScratchFile(DataSource{"test", "", 0}), bytes);
        EXPECT_FALSE(std::filesystem::exists(folder / "Temp.dat"));
    }
    AppPath = savedAppPath;
}
