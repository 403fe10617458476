#include "display/Text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "resources/Surfaces.h"
#include "tests/support/DeviceFixture.h"

namespace {

// A font whose glyph for map position p is a solid block, so each blit marks where it went.
class TextTest : public DeviceFixture {
  protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        frames.assign(171, SurfaceFrame{});
        for (int f = 0; f < 171; ++f) {
            frames[f] = SurfaceFrame{(f % 12) * 10,
                                     (f / 12) * 8,
                                     (f % 12) * 10 + 3,
                                     (f / 12) * 8 + 3,
                                     static_cast<int16_t>(f % 5),
                                     0};
        }
        int32_t w = 128, h = 128;
        LoadTexture("", frames, w, h, 0, "FONT", -1);
        LoadSurface("", frames, w, h, 0x4000, 0, "FONT", -1);
        DirectDrawSurface7& font = *SpriteSurfaceList[FontSurfaces[0]].Surface;
        font.BltColorFill(nullptr, 0xFFFF);
        BackBuffer->BltColorFill(nullptr, 0);
    }
    // Left edge of the first white run on row y at or after x0.
    int FirstWhite(int y, int x0) {
        for (int x = x0; x < RenderWidth; ++x)
            if (Pixel(x, y) == 0xFFFF) return x;
        return -1;
    }
    std::vector<SurfaceFrame> frames;
};

TEST_F(TextTest, PixelModeLaysOutLinesWithAdvancesAndHotSpots) {
    DrawText(0, "AB@C", 10, 10, 2, 1);
    // A at 10 - 11 + 2 + 11 = 12, row 10 + 2.
    EXPECT_EQ(FirstWhite(12, 0), 12);
    // B: 11 further plus A's extra advance (frame 0).
    EXPECT_EQ(FirstWhite(12, 13 + 2), 23 + frames[0].HotSpotX);
    // C: one line (16) lower, at 10.01 + 11 + the "@" frame's extra advance, rounded.
    const int atFrame = CharacterPosition('@') - 1;
    EXPECT_EQ(FirstWhite(12 + 16, 0),
              static_cast<int>(std::nearbyint(10.01f + 11 + frames[atFrame].HotSpotX)));
    EXPECT_EQ(Pixel(11, 12), 0);
}

TEST_F(TextTest, UnknownCharactersAdvanceButDrawNothing) {
    DrawText(0,
             "\xE9"
             "A",
             10, 10, 2, 1);            // an accented byte is not in the font
    EXPECT_EQ(FirstWhite(12, 0), 23);  // one advance on, no hot spot from the unknown one
    BackBuffer->BltColorFill(nullptr, 0);
    DrawText(0, "", 10, 10, 2, 1);
    DrawText(0, "  ", 10, 10, 2, 1);
    EXPECT_EQ(FirstWhite(12, 0), -1);
    EXPECT_EQ(CharacterPosition(' '), 84);
    EXPECT_EQ(CharacterPosition('@'), 85);
    EXPECT_EQ(CharacterPosition('a'), 27);
}

}  // namespace
