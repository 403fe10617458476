#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "render/DrawList.h"
#include "resources/GeometrySets.h"
#include "resources/Surfaces.h"
#include "tests/support/DisplayFixture.h"

namespace {

std::vector<int32_t> DrawOrder() {
    std::vector<int32_t> order;
    for (int32_t n = DrawListHead; n > 0; n = DrawList[static_cast<size_t>(n)].Next) {
        order.push_back(n);
        if (order.size() > DrawList.size()) break;  // a cycle would be a fault
    }
    return order;
}

// Adds a bare scene item straight to the list, so linking is tested on its own.
int32_t Add(bool blended) {
    DrawList.push_back(DrawItem{});
    ++DrawItemCount;
    DrawList.back().AlphaBlendEnable = blended ? -1 : 0;
    LinkSceneItem(DrawItemCount);
    return DrawItemCount;
}

TEST(DrawListLinking, OpaqueItemsComeFirstEachRunInTheOrderAdded) {
    ResetDrawList();
    const int b1 = Add(true), b2 = Add(true), o1 = Add(false), b3 = Add(true), o2 = Add(false);
    EXPECT_EQ(DrawOrder(), (std::vector<int32_t>{o1, o2, b1, b2, b3}));
    EXPECT_EQ(OpaqueTail, o2);
    EXPECT_EQ(BlendedTail, b3);

    ResetDrawList();
    const int p1 = Add(false), q1 = Add(true), p2 = Add(false), p3 = Add(false), q2 = Add(true);
    EXPECT_EQ(DrawOrder(), (std::vector<int32_t>{p1, p2, p3, q1, q2}));

    // Sprites always join the opaque run, even after blended items only.
    ResetDrawList();
    const int q = Add(true);
    DrawList.push_back(DrawItem{});
    const int sprite = ++DrawItemCount;
    LinkSpriteItem(sprite);
    const int o = Add(false);
    EXPECT_EQ(DrawOrder(), (std::vector<int32_t>{sprite, o, q}));
    ResetDrawList();
    EXPECT_TRUE(DrawOrder().empty());
    EXPECT_EQ(DrawList.size(), 1u);
}

class DrawListDisplay : public DisplayFixture {};

TEST_F(DrawListDisplay, SpritesAreClippedAtEachEdge) {
    std::vector<SurfaceFrame> frames(1);
    frames[0] = SurfaceFrame{10, 20, 50, 60, 5, 6};
    int32_t w = 64, h = 64;
    const int32_t slot = LoadSurface("", frames, w, h, 0, -1, "SPR", -1);
    // Off the left and top: the source moves in by the overhang (hot spot included).
    int n = AddSpriteItem(-10, -4, 40, 40, 7, slot, 0, 1, 0, ItemFastSprite);
    const DrawItem& a = DrawList[static_cast<size_t>(n)];
    EXPECT_EQ(a.DestX, 0);
    EXPECT_EQ(a.DestY, 0);
    EXPECT_EQ(a.SourceRect.Left, 10 + 15);
    EXPECT_EQ(a.SourceRect.Top, 20 + 10);
    EXPECT_EQ(a.DestRight, 30);
    EXPECT_EQ(a.SpriteParam, 7);
    // Off the right and bottom of the 320 x 240 screen.
    n = AddSpriteItem(300, 230, 40, 40, 0, slot, 0, 0, 0, ItemStretchedSprite);
    const DrawItem& b = DrawList[static_cast<size_t>(n)];
    EXPECT_EQ(b.DestRight, 320);
    EXPECT_EQ(b.SourceRect.Right, 50 - 20);
    EXPECT_EQ(b.DestBottom, 240);
    EXPECT_EQ(b.SourceRect.Bottom, 60 - 30);
    // Wholly off to the left: still appended, with a source left edge past its right edge.
    n = AddSpriteItem(-500, 10, 40, 40, 0, slot, 0, 0, 0, ItemFastSprite);
    EXPECT_GT(DrawList[static_cast<size_t>(n)].SourceRect.Left,
              DrawList[static_cast<size_t>(n)].SourceRect.Right);
    EXPECT_EQ(DrawOrder().size(), 3u);
    EXPECT_THROW(AddSpriteItem(0, 0, 1, 1, 0, slot, 1, 0, 0, ItemFastSprite), RuntimeError);
}

TEST_F(DrawListDisplay, ItemMatricesFollowTheirRecipe) {
    const D3DVECTOR pos{1, 2, 3}, zero{0, 0, 0}, unit{1, 1, 1};
    D3DMATRIX m = BuildItemMatrix(pos, zero, unit, zero, 0);
    D3DMATRIX t;
    DX->IdentityMatrix(t);
    t.rc41 = 1, t.rc42 = 2, t.rc43 = 3;
    EXPECT_EQ(0, std::memcmp(&m, &t, sizeof m));
    D3DMATRIX e = BuildEulerMatrix(pos, zero);
    EXPECT_EQ(0, std::memcmp(&e, &t, sizeof e));

    // Scale with a pivot adds the pivot twice: once turned, once scaled.
    const D3DVECTOR pivot{1, 0, 0};
    m = BuildItemMatrix(zero, zero, D3DVECTOR{2, 2, 2}, pivot, 0);
    // A point p lands at 2p + pivot + pivot: the origin at (2, 0, 0), (1, 0, 0) at (4, 0, 0).
    EXPECT_FLOAT_EQ(m.rc41, 2.0f);
    EXPECT_FLOAT_EQ(m.rc11 + m.rc41, 4.0f);
    // Order: z then y then x (order 1) against z then x then y.
    const D3DVECTOR angles{1.5707963f, 1.5707963f, 0};
    const D3DMATRIX zyx = BuildItemMatrix(zero, angles, unit, zero, 1);
    const D3DMATRIX zxy = BuildItemMatrix(zero, angles, unit, zero, 0);
    // The +y axis: y then x leaves it on +z; x then y takes it to +z then +x.
    EXPECT_NEAR(zyx.rc23, 1.0f, 1e-6f);
    EXPECT_NEAR(zxy.rc21, 1.0f, 1e-6f);
    // Euler degrees: 90 about y sends +z to +x.
    e = BuildEulerMatrix(zero, D3DVECTOR{0, 90, 0});
    EXPECT_NEAR(e.rc31, 1.0f, 1e-6f);
}

}  // namespace
