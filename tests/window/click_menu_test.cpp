#include <gtest/gtest.h>

#include "resources/Archive.h"
#include "tests/support/ResourceTestSupport.h"
#include "window/ClickMenu.h"

namespace {

const DataSource kSource{"Data.kqx", "CLICK", EntryTypeText};

TEST(ClickMenu, ReadsSixItemsPerLineWithTheColourInHexadecimal) {
    const auto items = ParseClickItems(
        "Vertex X,FF00,-1.58,1.15,0.62,0.12\r\n"
        "\n"
        "  \"Quoted, with comma\" ignored ,80ff80, 0.5 ,-1E-1,1,2\n"
        "Last,FFFFFFFF,1,2,3,4",
        kSource);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].Label, "Vertex X");
    EXPECT_EQ(items[0].Name, "Vertex X");
    EXPECT_EQ(items[0].Colour, 65280);
    EXPECT_FLOAT_EQ(items[0].X, -1.58f);
    EXPECT_FLOAT_EQ(items[0].Y, 1.15f);
    EXPECT_FLOAT_EQ(items[0].Width, 0.62f);
    EXPECT_FLOAT_EQ(items[0].Height, 0.12f);
    EXPECT_EQ(items[1].Label, "Quoted, with comma");
    EXPECT_EQ(items[1].Colour, 0x80FF80);
    EXPECT_FLOAT_EQ(items[1].X, 0.5f);
    EXPECT_FLOAT_EQ(items[1].Y, -0.1f);
    EXPECT_EQ(items[2].Colour, -1);
    EXPECT_TRUE(ParseClickItems("", kSource).empty());
}

TEST(ClickMenu, BadLinesAreErrorsNamingTheEntryAndLine) {
    ExpectRuntimeError([] { ParseClickItems("a,FF,1,2,3,4\nb,FF,1,2,3\n", kSource); },
                       rt::InputPastEndOfFile, {"CLICK", "line 2", "5 items"});
    ExpectRuntimeError([] { ParseClickItems("a,FF,1,2,3,4,5\n", kSource); }, rt::InvalidFileFormat,
                       {"line 1", "7 items"});
    ExpectRuntimeError([] { ParseClickItems("a,123456789,1,2,3,4\n", kSource); }, rt::Overflow,
                       {"line 1", "colour"});
    ExpectRuntimeError([] { ParseClickItems("a,FF,1E40,2,3,4\n", kSource); }, rt::Overflow,
                       {"line 1", "1E40"});
}

TEST(ClickMenu, TheGeneratedMenuHasAnEntryForEveryEditorItem) {
    const std::string path = std::string(VELMORA_BINARY_DIR) + "/Data.kqx";
    const Archive archive = ReadArchiveFile(path);
    const int index = FindEntry(archive, "CLICK", EntryTypeText);
    ASSERT_GE(index, 0);
    const std::vector<uint8_t> bytes = ReadEntryBytes(archive, index);
    const auto items =
        ParseClickItems(std::string(bytes.begin(), bytes.end()), EntrySource(archive, index));
    ASSERT_EQ(items.size(), 33u);
    EXPECT_EQ(items[1].Label, "Vertex X");
    EXPECT_EQ(items[7].Colour, 0x80FF80);
    EXPECT_EQ(items[32].Label, "Delete slot");
}

}  // namespace
