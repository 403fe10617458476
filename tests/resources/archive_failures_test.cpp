// The archive going away or changing while the program runs: the next extraction says what
// happened to which file, and leaves no scratch file behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/Declarations.h"
#include "resources/Archive.h"
#include "resources/ScratchFile.h"
#include "tests/support/ResourceTestSupport.h"

namespace {

class ArchiveFailures : public ::testing::Test {
  protected:
    TempDir dir;
    int16_t slot = -1;

    void SetUp() override {
        AppPath = dir.Folder();
        ResetArchiveTables();
        WriteBytes(Path(), WriteArchive({{"A", 1, Bytes("first")}, {"PALM", 6, Bytes("012")}}));
        slot = OpenArchive(Path());
    }
    void TearDown() override {
        DeleteScratchFile();
        ResetArchiveTables();
    }
    std::string Path() const { return dir.File("Data.kqx"); }
    bool ScratchLeft() const { return std::filesystem::exists(dir.File("Temp.dat")); }
};

TEST_F(ArchiveFailures, ArchiveRemovedIsNotFoundNamingIt) {
    std::filesystem::remove(Path());
    ExpectRuntimeError([&] { ExtractEntry(slot, "PALM", 6); }, rt::FileNotFound,
                       {Path(), "archive not found"});
    EXPECT_FALSE(ScratchLeft());
    // A name the archive never held still just is not there.
    EXPECT_EQ(ExtractEntry(slot, "NONE", 6), 0);
}

TEST_F(ArchiveFailures, ArchiveReplacedByWhatCannotBeReadIsAnAccessError) {
    std::filesystem::remove(Path());
    std::filesystem::create_directory(Path());
    ExpectRuntimeError([&] { ExtractEntry(slot, "PALM", 6); }, rt::PathFileAccessError,
                       {Path(), "cannot be read"});
    EXPECT_FALSE(ScratchLeft());
}

TEST_F(ArchiveFailures, ArchiveEmptiedIsTruncatedAndBackInPlaceReadsAgain) {
    const std::vector<uint8_t> bytes = ReadBytes(Path());
    WriteBytes(Path(), {});
    ExpectRuntimeError([&] { ExtractEntry(slot, "A", 1); }, rt::InputPastEndOfFile,
                       {Path(), "entry \"A\" (type 1)", "truncated"});
    EXPECT_FALSE(ScratchLeft());
    WriteBytes(Path(), bytes);
    EXPECT_EQ(ExtractEntry(slot, "PALM", 6), 1);
    EXPECT_EQ(ReadBytes(dir.File("Temp.dat")), Bytes("012"));
}

}  // namespace
