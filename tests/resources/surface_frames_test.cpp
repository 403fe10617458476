#include <gtest/gtest.h>

#include "resources/SurfaceFrames.h"
#include "tests/support/ResourceTestSupport.h"

namespace {

const DataSource kSource{"Data.kqx", "FONT", 4};

std::vector<SurfaceFrame> Glyphs(size_t n) {
    std::vector<SurfaceFrame> frames(n);
    for (size_t i = 0; i < n; ++i) {
        const int32_t x = static_cast<int32_t>(i % 16) * 8, y = static_cast<int32_t>(i / 16) * 8;
        frames[i] = {x, y, x + 8, y + 8, -1, static_cast<int16_t>(i % 9)};
    }
    return frames;
}

TEST(SurfaceFramesTest, CallersTableDecidesHowManyRecordsAreRead) {
    const std::vector<uint8_t> bytes = WriteSurfaceFrames(Glyphs(171));
    ASSERT_EQ(bytes.size(), 3420u);
    // Field order and width: Left of frame 1 is 8, its HotSpotX -1 as a 16-bit value.
    EXPECT_EQ(bytes[20], 8);
    EXPECT_EQ(bytes[36], 0xFF);
    EXPECT_EQ(bytes[37], 0xFF);
    EXPECT_EQ(bytes[38], 1);

    std::vector<SurfaceFrame> table(171);
    ReadSurfaceFrames(bytes, table, kSource);
    EXPECT_EQ(WriteSurfaceFrames(table), bytes);

    std::vector<SurfaceFrame> one(1);
    ReadSurfaceFrames(bytes, one, kSource);  // a longer entry is fine; the rest stays unread
    EXPECT_EQ(one[0].Right, 8);
}

TEST(SurfaceFramesTest, ShortTableIsAnErrorAndLeavesTheCallersFramesAlone) {
    std::vector<uint8_t> bytes = WriteSurfaceFrames(Glyphs(171));
    bytes.pop_back();  // the last record is no longer whole
    std::vector<SurfaceFrame> table(171, SurfaceFrame{1, 2, 3, 4, 5, 6});
    ExpectRuntimeError(
        [&] { ReadSurfaceFrames(bytes, table, kSource); }, rt::InputPastEndOfFile,
        {"Data.kqx: entry \"FONT\" (type 4)", "holds 170 whole frames", "171 are needed"});
    EXPECT_EQ(table[0].Left, 1);
    EXPECT_EQ(table[170].HotSpotY, 6);
}

}  // namespace
