#include "resources/Archive.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/Declarations.h"
#include "platform/host/System.h"
#include "resources/ScratchFile.h"
#include "tests/support/ResourceTestSupport.h"
#include "tests/support/TestSystem.h"

namespace {

// A raw archive image, for layouts the writer refuses to make.
struct RawEntry {
    std::string Name;  // stored as given, padded to 7
    uint8_t Type;
    int32_t Offset;
};

std::vector<uint8_t> RawArchive(int16_t count, const std::vector<RawEntry>& entries,
                                const std::vector<uint8_t>& data) {
    ByteWriter w;
    ArchiveHeader header;
    header.EntryCount = count;
    ArchiveHeaderLayout(w, header);
    for (const RawEntry& e : entries) {
        const ArchiveDirEntry d{e.Name, e.Type, e.Offset};
        ArchiveDirEntryLayout(w, d);
    }
    std::vector<uint8_t> bytes = w.Take();
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

class ArchiveTest : public ::testing::Test {
  protected:
    TempDir dir;

    void SetUp() override {
        AppPath = dir.Folder();
        ResetArchiveTables();
    }
    void TearDown() override {
        DeleteScratchFile();
        ResetArchiveTables();
    }

    std::string Store(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = dir.File(name);
        WriteBytes(path, bytes);
        return path;
    }
    int16_t Open(const std::vector<ArchiveItem>& items) {
        return OpenArchive(Store("Data.kqx", WriteArchive(items)));
    }
    std::string TempDat() const { return dir.File("Temp.dat"); }
};

TEST_F(ArchiveTest, EntrySizesFollowTheNextOffsetAndTheLastRunsToTheFileEnd) {
    const std::vector<ArchiveItem> items = {
        {"A", 1, Bytes("12345")}, {"B", 1, {}}, {"C", 2, Bytes("xyz")}};
    const std::vector<uint8_t> file = WriteArchive(items);
    const Archive a = ReadArchiveDirectory(file, std::ssize(file), "x.kqx");
    ASSERT_EQ(a.EntryCount, 3);
    // Data starts right after 10 + 3 * 12 bytes, at 1-based position 47.
    EXPECT_EQ(a.Entries[0].Offset, 47);
    EXPECT_EQ(a.Entries[0].Size, 5);
    EXPECT_EQ(a.Entries[1].Size, 0);
    EXPECT_EQ(a.Entries[2].Offset, 52);
    EXPECT_EQ(a.Entries[2].Size, static_cast<int32_t>(file.size()) - 52 + 1);
    EXPECT_EQ(a.Entries[0].Name, "A      ");  // kept as stored, padding included

    const std::vector<uint8_t> single = WriteArchive({{"ONLY", 6, Bytes("abcdefg")}});
    const Archive s = ReadArchiveDirectory(single, std::ssize(single), "y.kqx");
    EXPECT_EQ(s.Entries[0].Size, static_cast<int32_t>(single.size()) - s.Entries[0].Offset + 1);
    EXPECT_EQ(s.Entries[0].Size, 7);
}

TEST_F(ArchiveTest, OpenFillsSlotZeroFirstThenAppends) {
    EXPECT_EQ(Open({{"A", 1, Bytes("a")}}), 0);
    EXPECT_EQ(Open({{"B", 1, Bytes("b")}}), 1);
    EXPECT_EQ(Open({{"C", 1, Bytes("c")}}), 2);
    ASSERT_EQ(Archives.size(), 3u);
    EXPECT_EQ(LastArchiveIndex, 2);
    EXPECT_EQ(TrimmedEntryName(Archives[0].Entries[0].Name), "A");
    EXPECT_EQ(TrimmedEntryName(Archives[1].Entries[0].Name), "B");
}

TEST_F(ArchiveTest, NamesMatchWithoutPaddingExactlyAndCaseSensitively) {
    // A stored name may carry leading spaces too; both ends are trimmed, the request is not.
    const std::vector<uint8_t> data = Bytes("fontframes");
    const std::string path =
        Store("raw.kqx", RawArchive(2, {{"FONT", 2, 35}, {"  SKY  ", 2, 39}}, data));
    const int16_t slot = OpenArchive(path);
    EXPECT_EQ(ExtractEntry(slot, "FONT", 2), 1);
    EXPECT_EQ(ReadBytes(TempDat()), Bytes("font"));
    EXPECT_EQ(ExtractEntry(slot, "SKY", 2), 1);
    EXPECT_EQ(ReadBytes(TempDat()), Bytes("frames"));
    for (const char* miss : {" FONT", "font", "FONT ", "FONTXXXX", "", "FON"}) {
        EXPECT_EQ(ExtractEntry(slot, miss, 2), 0) << '"' << miss << '"';
    }
}

TEST_F(ArchiveTest, TypeIsPartOfTheKeyAndTheFirstEqualEntryWins) {
    const int16_t slot = Open({{"FONT", 2, Bytes("image")},
                               {"FONT", 4, Bytes("frames")},
                               {"FONT", 4, Bytes("later frames")}});
    ASSERT_EQ(ExtractEntry(slot, "FONT", 4), 1);
    EXPECT_EQ(ReadBytes(TempDat()), Bytes("frames"));
    ASSERT_EQ(ExtractEntry(slot, "FONT", 2), 1);
    EXPECT_EQ(ReadBytes(TempDat()), Bytes("image"));
    EXPECT_EQ(FindEntry(Archives[slot], "FONT", 5), -1);
    EXPECT_EQ(ExtractEntry(slot, "FONT", 5), 0);
}

TEST_F(ArchiveTest, ScratchFileHoldsExactlyTheLastEntryAndMissesTouchNothing) {
    const int16_t slot =
        Open({{"LONG", 1, std::vector<uint8_t>(5000, 'L')}, {"SHORT", 1, Bytes("short")}});
    ASSERT_EQ(ExtractEntry(slot, "LONG", 1), 1);
    EXPECT_EQ(std::filesystem::file_size(TempDat()), 5000u);
    ASSERT_EQ(ExtractEntry(slot, "SHORT", 1), 1);
    EXPECT_EQ(ReadBytes(TempDat()), Bytes("short"));

    // A miss leaves the pending file as it is.
    EXPECT_EQ(ExtractEntry(slot, "NONE", 1), 0);
    EXPECT_EQ(ReadBytes(TempDat()), Bytes("short"));

    // Taking it reads it whole and deletes it; a second take has nothing pending.
    EXPECT_EQ(TakeScratchFile(DataSource{"x", "SHORT", 1}), Bytes("short"));
    EXPECT_FALSE(std::filesystem::exists(TempDat()));
    ExpectRuntimeError(
        [] {
            TakeScratchFile(DataSource{"Data.kqx", "SHORT", 1});
        },
        rt::FileNotFound, {"Data.kqx", "SHORT", "no extracted data"});
}

TEST_F(ArchiveTest, UnwritableProgramFolderUsesAPrivateTemporaryFile) {
    TempDir tmp;
    const ScopedEnvironment temporary(kTemporaryFolderVariable, tmp.Path().string());
    const int16_t slot = Open({{"A", 1, Bytes("payload")}});
    // A folder that does not exist cannot be written, whoever runs the test.
    AppPath = dir.Folder() + "missing/";
    ASSERT_EQ(ExtractEntry(slot, "A", 1), 1);
    const std::string scratch = ScratchFilePath;
    EXPECT_EQ(std::filesystem::path(scratch).parent_path(), tmp.Path());
    EXPECT_NE(std::filesystem::path(scratch).filename(), "Temp.dat");
    if (const auto others = OthersMayRead(scratch)) {
        EXPECT_FALSE(*others);
    }
    EXPECT_EQ(TakeScratchFile(DataSource{}), Bytes("payload"));
    EXPECT_FALSE(std::filesystem::exists(scratch));
}

TEST_F(ArchiveTest, ATempDatInUseIsLeftAloneAndAStaleOneIsReplaced) {
    TempDir tmp;
    const ScopedEnvironment temporary(kTemporaryFolderVariable, tmp.Path().string());
    const int16_t slot = Open({{"A", 1, Bytes("payload")}});

    // Another instance is half-way through its own load: it holds the file.
    std::string failure;
    const FileHandle theirs = ClaimExclusiveFile(TempDat(), failure);
    ASSERT_NE(theirs, kNoFile) << failure;
    ASSERT_TRUE(WriteAllBytes(theirs, Bytes("theirs"), failure)) << failure;
    ASSERT_EQ(ExtractEntry(slot, "A", 1), 1);
    const std::string privateFile = ScratchFilePath;
    EXPECT_EQ(std::filesystem::path(privateFile).parent_path(), tmp.Path());
    EXPECT_EQ(TakeScratchFile(DataSource{}), Bytes("payload"));
    EXPECT_EQ(ReadBytes(TempDat()), Bytes("theirs"));
    EXPECT_FALSE(std::filesystem::exists(privateFile));

    // A private file pending at shutdown is removed too.
    ASSERT_EQ(ExtractEntry(slot, "A", 1), 1);
    const std::string pending = ScratchFilePath;
    ASSERT_TRUE(std::filesystem::exists(pending));
    DeleteScratchFile();
    EXPECT_FALSE(std::filesystem::exists(pending));

    // That instance ended without cleaning up: its Temp.dat is stale and is used again, held
    // under this run's lock while it waits to be loaded.
    ASSERT_TRUE(CloseFile(theirs, failure)) << failure;
    ASSERT_EQ(ExtractEntry(slot, "A", 1), 1);
    EXPECT_EQ(ScratchFilePath, TempDat());
    EXPECT_EQ(ReadBytes(TempDat()), Bytes("payload"));
    const FileHandle other = ClaimExclusiveFile(TempDat(), failure);
    EXPECT_EQ(other, kNoFile);
    if (other != kNoFile) CloseFile(other, failure);
    EXPECT_EQ(TakeScratchFile(DataSource{}), Bytes("payload"));
    EXPECT_FALSE(std::filesystem::exists(TempDat()));
    EXPECT_TRUE(std::filesystem::is_empty(tmp.Path()));
}

TEST_F(ArchiveTest, MalformedArchivesAreRefusedWithTheirReason) {
    const std::vector<uint8_t> data = Bytes("abcdef");
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int number;
        std::string fragment;
    };
    std::vector<uint8_t> headerOnly = RawArchive(1, {}, {});
    headerOnly.resize(7);
    const std::vector<Case> cases = {
        {"empty file", {}, rt::InputPastEndOfFile, "shorter than its 10-byte header"},
        {"short header", headerOnly, rt::InputPastEndOfFile, "shorter than its 10-byte header"},
        {"no entries", RawArchive(0, {}, data), rt::InvalidFileFormat, "declares 0 entries"},
        {"negative count", RawArchive(-3, {}, data), rt::InvalidFileFormat, "declares -3 entries"},
        {"short directory", RawArchive(2, {{"A", 1, 35}}, {}), rt::InputPastEndOfFile,
         "directory of 2 entries needs 34 bytes"},
        {"descending offsets", RawArchive(2, {{"A", 1, 38}, {"B", 1, 35}}, data),
         rt::InvalidFileFormat, "entry 0 \"A\" (type 1): offset 38 is above the next entry's"},
        {"offset past the end", RawArchive(2, {{"A", 1, 35}, {"B", 1, 99}}, data),
         rt::InvalidFileFormat, "entry 1 \"B\" (type 1): offset 99 lies outside"},
        {"offset into the directory", RawArchive(1, {{"A", 1, 5}}, data), rt::InvalidFileFormat,
         "offset 5 lies outside the data area (23 to 29)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Store("bad.kqx", c.bytes);
        ExpectRuntimeError([&] { OpenArchive(path); }, c.number, {path, c.fragment});
    }
    // None of those touched the table.
    EXPECT_EQ(Archives.size(), 1u);
    EXPECT_EQ(Archives[0].EntryCount, 0);
    ExpectRuntimeError([&] { OpenArchive(dir.File("absent.kqx")); }, rt::FileNotFound,
                       {dir.File("absent.kqx")});
}

TEST_F(ArchiveTest, ArchiveShortenedAfterOpeningFailsAtExtraction) {
    const int16_t slot = Open({{"A", 1, Bytes("first")}, {"PALM", 6, Bytes("0123456789")}});
    std::vector<uint8_t> bytes = ReadBytes(Archives[slot].Path);
    bytes.resize(bytes.size() - 4);
    WriteBytes(Archives[slot].Path, bytes);
    ExpectRuntimeError([&] { ExtractEntry(slot, "PALM", 6); }, rt::InputPastEndOfFile,
                       {Archives[slot].Path, "entry \"PALM\" (type 6)", "truncated"});
    EXPECT_FALSE(std::filesystem::exists(TempDat()));
    EXPECT_EQ(ExtractEntry(slot, "A", 1), 1);  // entries before the cut still read
    ExpectRuntimeError([] { ExtractEntry(7, "A", 1); }, rt::SubscriptOutOfRange, {});
}

TEST_F(ArchiveTest, WriterRefusesWhatCouldNotBeFoundAgain) {
    for (const char* name : {"", "EIGHTCHR", " LEAD", "TRAIL "}) {
        ExpectRuntimeError([&] { WriteArchive({{name, 1, {}}}); }, rt::InvalidCall, {"entry name"});
    }
    ExpectRuntimeError([] { WriteArchive({}); }, rt::InvalidCall, {"1 to 32767 entries"});
}

TEST_F(ArchiveTest, EntriesReadFromMemoryMatchTheFile) {
    const std::vector<uint8_t> file =
        WriteArchive({{"ONE", 1, Bytes("one")}, {"TWO", 2, Bytes("second")}});
    const Archive a = ReadArchiveDirectory(file, std::ssize(file), "m.kqx");
    const auto two = EntryBytesInMemory(a, 1, file);
    EXPECT_EQ(std::vector<uint8_t>(two.begin(), two.end()), Bytes("second"));
    const std::vector<uint8_t> cut(file.begin(), file.end() - 1);
    ExpectRuntimeError([&] { EntryBytesInMemory(a, 1, cut); }, rt::InputPastEndOfFile,
                       {"m.kqx: entry \"TWO\" (type 2)", "truncated"});
}

}  // namespace
