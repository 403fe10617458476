#include "core/Tables.h"

#include <gtest/gtest.h>

namespace {

struct Slot {
    int value = 0;
    bool used = false;
};

bool Used(const Slot& s) {
    return s.used;
}

TEST(TablesTest, EmptyElementZeroIsReusedThenTheTableAppends) {
    std::vector<Slot> table(1);
    int16_t last = 0;
    EXPECT_EQ(NextTableSlot(table, last, Used), 0);
    EXPECT_EQ(table.size(), 1u);
    // Still unused: element 0 is taken again rather than moving on.
    EXPECT_EQ(NextTableSlot(table, last, Used), 0);
    table[0] = {10, true};
    EXPECT_EQ(NextTableSlot(table, last, Used), 1);
    table[1] = {11, true};
    EXPECT_EQ(NextTableSlot(table, last, Used), 2);
    EXPECT_EQ(last, 2);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0].value, 10);
    EXPECT_EQ(table[1].value, 11);
    EXPECT_FALSE(table[2].used);
}

TEST(TablesTest, ReusingElementZeroDropsStrayElementsAndResetEmptiesTheTable) {
    std::vector<Slot> table(4, Slot{7, false});
    int32_t last = 0;
    EXPECT_EQ(NextTableSlot(table, last, Used), 0);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].value, 0);

    table[0].used = true;
    NextTableSlot(table, last, Used);
    ResetTable(table, last);
    EXPECT_EQ(table.size(), 1u);
    EXPECT_EQ(last, 0);
    EXPECT_FALSE(table[0].used);
}

TEST(TablesTest, LastIndexAtItsLimitIsAnOverflow) {
    std::vector<Slot> table(1);
    int16_t last = INT16_MAX;
    EXPECT_THROW(NextTableSlot(table, last, Used), RuntimeError);
    EXPECT_EQ(last, INT16_MAX);
}

}  // namespace
