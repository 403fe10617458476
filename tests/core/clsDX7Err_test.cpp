#include "core/clsDX7Err.h"

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr const char* kD3DFallback =
    "Error number did no match a Direct3D Immediate Mode Error Code";
constexpr const char* kDDrawFallback = "Error number did no match a DirectDraw Error Code";
constexpr const char* kDSoundFallback = "Error number did no match a DirectSound Error Code";

int32_t Hr(uint32_t value) {
    return static_cast<int32_t>(value);
}

std::string D3DName(int32_t number) {
    std::string name;
    clsDX7Err().RetD3DIMErrorDesc(number, name);
    return name;
}
std::string DDrawName(int32_t number) {
    std::string name;
    clsDX7Err().RetDDrawErrorDesc(number, name);
    return name;
}
std::string DSoundName(int32_t number) {
    std::string name;
    clsDX7Err().RetDSoundErrorDesc(number, name);
    return name;
}

TEST(DxErrorTables, HaveTheirRowCountsUniqueNumbersAndADescriptionEach) {
    const std::pair<std::span<const DxErrorRow>, size_t> tables[] = {
        {D3DIMErrorRows(), 72}, {DDrawErrorRows(), 114}, {DSoundErrorRows(), 17}};
    for (const auto& [rows, count] : tables) {
        EXPECT_EQ(rows.size(), count);
        std::set<int32_t> numbers;
        for (const DxErrorRow& row : rows) {
            EXPECT_TRUE(numbers.insert(row.number).second) << row.name << " repeats a number";
            EXPECT_FALSE(row.description.empty()) << row.name;
            EXPECT_EQ(row.description.back(), '.') << row.name;
        }
    }
}

TEST(DxErrorTables, EveryRowIsFoundByItsNumber) {
    clsDX7Err lookup;
    std::string name;
    for (const DxErrorRow& row : D3DIMErrorRows()) {
        EXPECT_EQ(lookup.RetD3DIMErrorDesc(row.number, name), row.description);
        EXPECT_EQ(name, row.name);
    }
    for (const DxErrorRow& row : DDrawErrorRows()) {
        EXPECT_EQ(lookup.RetDDrawErrorDesc(row.number, name), row.description);
        EXPECT_EQ(name, row.name);
    }
    for (const DxErrorRow& row : DSoundErrorRows()) {
        EXPECT_EQ(lookup.RetDSoundErrorDesc(row.number, name), row.description);
        EXPECT_EQ(name, row.name);
    }
}

TEST(DxErrorLookup, ZeroIsSuccessInEveryTable) {
    clsDX7Err lookup;
    std::string name;
    EXPECT_EQ(lookup.RetD3DIMErrorDesc(0, name), "No error occurred.");
    EXPECT_EQ(name, "D3D_OK");
    lookup.RetDDrawErrorDesc(0, name);
    EXPECT_EQ(name, "DD_OK");
    EXPECT_EQ(lookup.RetDSoundErrorDesc(0, name), "The request completed successfully.");
    EXPECT_EQ(name, "DS_OK");
}

TEST(DxErrorLookup, SevenIsOutOfMemoryExceptInImmediateMode) {
    clsDX7Err lookup;
    std::string name;
    EXPECT_EQ(lookup.RetD3DIMErrorDesc(7, name), kD3DFallback);
    EXPECT_EQ(name, "<NONE>");
    EXPECT_EQ(DDrawName(7), "DDERR_OUFOFMEMORY");
    EXPECT_EQ(DSoundName(7), "DSERR_OUTOFMEMORY");
}

TEST(DxErrorLookup, PublishedNumbersGiveTheirNames) {
    EXPECT_EQ(D3DName(Hr(0x887602E0)), "D3DERR_INVALIDPRIMITIVETYPE");
    EXPECT_EQ(D3DName(Hr(0x887602E4)), "D3DERR_MATERIA_CREATE_FAILED");
    EXPECT_EQ(D3DName(Hr(0x88760823)), "D3DERR_TOOMANYPRIMATIVES");
    EXPECT_EQ(DDrawName(Hr(0x88760078)), "DDERR_INVALIDMODE");
    EXPECT_EQ(DDrawName(Hr(0x88760082)), "DDERR_INVALIDOBJECT");
    EXPECT_EQ(DDrawName(Hr(0x887601E0)), "DDERR_TOOBIGSIZE");
    EXPECT_EQ(DDrawName(Hr(0x887601FE)), "DDERR_INSUPPORTEDFORMAT");
    EXPECT_EQ(DDrawName(Hr(0x8007000E)), "E_OUTOFMEMORY");
    EXPECT_EQ(DDrawName(5), "DDERR_INVALIDPARAMS");
    EXPECT_EQ(DSoundName(Hr(0x88780064)), "DSERR_BADFORMAT");
    EXPECT_EQ(DSoundName(Hr(0x80004005)), "DSERR_GENERIC");
    EXPECT_EQ(DSoundName(Hr(0x80070057)), "DSERR_INVALIDPARAM");
    EXPECT_EQ(DSoundName(430), "DSERR_NOINTERFACE");
}

TEST(DxErrorLookup, UnknownNumberFallsBackInEveryTable) {
    clsDX7Err lookup;
    std::string name = "stale";
    EXPECT_EQ(lookup.RetD3DIMErrorDesc(53, name), kD3DFallback);
    EXPECT_EQ(name, "<NONE>");
    name = "stale";
    EXPECT_EQ(lookup.RetDDrawErrorDesc(53, name), kDDrawFallback);
    EXPECT_EQ(name, "<NONE>");
    name = "stale";
    EXPECT_EQ(lookup.RetDSoundErrorDesc(53, name), kDSoundFallback);
    EXPECT_EQ(name, "<NONE>");
}

TEST(DescribeError, NamesTheFirstTableThatKnowsTheNumber) {
    const ErrorMessage ddraw = DescribeError(Hr(0x887600AA), "ignored");
    EXPECT_EQ(ddraw.title, "Error: #-2005532502");
    EXPECT_EQ(ddraw.text, "DDERR_NO3D\r\n\r\nNo 3D hardware or emulation is present.");

    const ErrorMessage sound = DescribeError(Hr(0x88780096), "ignored");
    EXPECT_EQ(sound.title, "Error: #-2005401450");
    EXPECT_EQ(sound.text.rfind("DSERR_BUFFERLOST\r\n\r\n", 0), 0u) << sound.text;

    // Shared by DirectDraw and DirectSound: DirectDraw is asked first.
    EXPECT_EQ(DescribeError(Hr(0x80004005), "").text.rfind("DDERR_GENERIC\r\n", 0), 0u);
    EXPECT_EQ(DescribeError(7, "Out of memory").text.rfind("DDERR_OUFOFMEMORY\r\n", 0), 0u);
}

TEST(DescribeError, RunTimeErrorKeepsItsOwnDescription) {
    const ErrorMessage message = DescribeError(53, "File not found");
    EXPECT_EQ(message.title, "Error: #53");
    EXPECT_EQ(message.text, "File not found");
}

}  // namespace
