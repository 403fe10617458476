// Items far out in the world, where a value typed into the editor can put the palm and the
// sparks it throws: they join the list like any other instead of ending the program.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/DrawList.h"
#include "tests/support/WorldFixture.h"

namespace {

class FarItems : public WorldFixture {};

TEST_F(FarItems, MeshItemsBeyondWholeNumbersStillJoinTheList) {
    ResetDrawList();
    const float far[] = {1e20f, -3e38f, std::numeric_limits<float>::infinity(), std::nanf("")};
    for (float v : far) {
        MeshItemParams p{.x = v, .y = -v, .z = 10, .setIndex = 1, .partIndex = MiniParts[5]};
        int32_t n = 0;
        ASSERT_NO_THROW(n = AddMeshItem(p)) << v;
        const DrawItem& item = DrawList[static_cast<size_t>(n)];
        // Where it is stays as given.
        EXPECT_TRUE(std::isnan(v) ? std::isnan(item.Position.x) : item.Position.x == v) << v;
        EXPECT_EQ(item.Active, 1);
    }
    EXPECT_EQ(DrawItemCount, 4);
}

}  // namespace
