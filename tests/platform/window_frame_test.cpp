// The frame shown in the window's own pixels: its place, the pointer mapped back into the
// program's pixels, and the scaled, converted pixels themselves.
#include <gtest/gtest.h>

#include <vector>

#include "platform/host/WindowFrame.h"

namespace {

TEST(WindowFrame, FrameKeepsItsAspectCentredInAnyWindow) {
    // A wide screen: bars left and right.
    EXPECT_EQ(FitFrame(640, 480, 1280, 720), (FrameRect{160, 0, 960, 720}));
    // A tall one: bars above and below.
    EXPECT_EQ(FitFrame(640, 480, 1280, 1024), (FrameRect{0, 32, 1280, 960}));
    // The same aspect fills the window; a frame drawn at twice the size goes to the same place.
    EXPECT_EQ(FitFrame(320, 240, 640, 480), (FrameRect{0, 0, 640, 480}));
    EXPECT_EQ(FitFrame(1280, 960, 640, 480), (FrameRect{0, 0, 640, 480}));
    // An odd leftover: the extra pixel goes to the right.
    EXPECT_EQ(FitFrame(4, 3, 9, 3), (FrameRect{2, 0, 4, 3}));
    // A window minimised to nothing shows no frame instead of dividing by zero.
    EXPECT_EQ(FitFrame(640, 480, 0, 0), FrameRect{});
    EXPECT_EQ(FitFrame(0, 480, 640, 480), FrameRect{});
}

TEST(WindowFrame, PointerMapsIntoTheProgramsPixels) {
    const FrameRect place = FitFrame(640, 480, 1280, 720);  // 1.5 window pixels per frame pixel
    int x = 160 + 99, y = 72;
    WindowToFrame(place, 640, 480, x, y);
    EXPECT_EQ(x, 66);
    EXPECT_EQ(y, 48);
    // The frame's corners.
    x = 160, y = 0;
    WindowToFrame(place, 640, 480, x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    x = 160 + 959, y = 719;
    WindowToFrame(place, 640, 480, x, y);
    EXPECT_EQ(x, 639);
    EXPECT_EQ(y, 479);
    // Over the bars: outside the frame on that side, however close to its edge.
    x = 159, y = 10;
    WindowToFrame(place, 640, 480, x, y);
    EXPECT_LT(x, 0);
    x = 160 + 960, y = 10;
    WindowToFrame(place, 640, 480, x, y);
    EXPECT_GE(x, 640);
    // No place (a window of no size): the position is left as it is.
    x = 5, y = 6;
    WindowToFrame(FrameRect{}, 640, 480, x, y);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
}

// A target with a margin right of every row that must stay untouched.
struct Target {
    int width, height, pitch;
    std::vector<uint32_t> pixels;
    Target(int w, int h, int redShift = 16, int greenShift = 8, int blueShift = 0,
           uint32_t opaque = 0)
        : width(w), height(h), pitch(w + 3), pixels(static_cast<size_t>(pitch) * h, 0xDEADBEEF) {
        view.pixels = pixels.data();
        view.width = w;
        view.height = h;
        view.pitch = pitch;
        view.redShift = redShift;
        view.greenShift = greenShift;
        view.blueShift = blueShift;
        view.opaqueBits = opaque;
    }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * pitch + x]; }
    bool MarginsUntouched() const {
        for (int y = 0; y < height; ++y) {
            for (int x = width; x < pitch; ++x) {
                if (At(x, y) != 0xDEADBEEF) return false;
            }
        }
        return true;
    }
    PixelTarget32 view;
};

TEST(WindowFrame, ColoursConvertToTheWindowsFormat) {
    // Full red, green, blue and white, a mid grey and black; the frame's pitch is wider than it.
    const uint16_t frame[] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x8410, 0x0000, 0x1234, 0x1234};
    FrameScaler scaler;
    Target xrgb(6, 1);
    scaler.Draw(frame, 6, 1, 8, FrameRect{0, 0, 6, 1}, xrgb.view);
    EXPECT_EQ(xrgb.At(0, 0), 0xFF0000u);
    EXPECT_EQ(xrgb.At(1, 0), 0x00FF00u);
    EXPECT_EQ(xrgb.At(2, 0), 0x0000FFu);
    EXPECT_EQ(xrgb.At(3, 0), 0xFFFFFFu);
    EXPECT_EQ(xrgb.At(4, 0), 0x848284u);  // 16/31 and 32/63 with their top bits repeated
    EXPECT_EQ(xrgb.At(5, 0), 0x000000u);
    EXPECT_TRUE(xrgb.MarginsUntouched());
    // Channels in the other order, and an alpha channel that must read opaque.
    Target abgr(6, 1, 0, 8, 16, 0xFF000000u);
    scaler.Draw(frame, 6, 1, 8, FrameRect{0, 0, 6, 1}, abgr.view);
    EXPECT_EQ(abgr.At(0, 0), 0xFF0000FFu);
    EXPECT_EQ(abgr.At(2, 0), 0xFFFF0000u);
    EXPECT_EQ(abgr.At(5, 0), 0xFF000000u);
}

TEST(WindowFrame, EnlargedPixelsRepeatAndBarsAreBlack) {
    // 2 x 2 frame doubled into the middle of an 8 x 6 window: bars of two columns each side,
    // one row above and below.
    const uint16_t frame[] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    Target t(8, 6, 16, 8, 0, 0xFF000000u);
    FrameScaler scaler;
    scaler.Draw(frame, 2, 2, 2, FrameRect{2, 1, 4, 4}, t.view);
    const uint32_t k = 0xFF000000u, r = 0xFFFF0000u, g = 0xFF00FF00u, b = 0xFF0000FFu,
                   w = 0xFFFFFFFFu;
    const uint32_t want[6][8] = {
        {k, k, k, k, k, k, k, k}, {k, k, r, r, g, g, k, k}, {k, k, r, r, g, g, k, k},
        {k, k, b, b, w, w, k, k}, {k, k, b, b, w, w, k, k}, {k, k, k, k, k, k, k, k},
    };
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(t.At(x, y), want[y][x]) << x << "," << y;
    }
    EXPECT_TRUE(t.MarginsUntouched());
}

TEST(WindowFrame, ADoubledFrameRepeatsEachPixelOfTheFrameAtItsOwnSize) {
    // Wide enough for the vector path and its tail; the colours as the frame's own size shows
    // them are the reference.
    const int w = 11, h = 2;
    std::vector<uint16_t> frame(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint16_t>(0x0841 * i + 7);
    FrameScaler scaler;
    Target same(w, h);
    scaler.Draw(frame.data(), w, h, w, FrameRect{0, 0, w, h}, same.view);
    Target doubled(2 * w + 2, 2 * h, 16, 8, 0, 0xFF000000u);
    scaler.Draw(frame.data(), w, h, w, FrameRect{1, 0, 2 * w, 2 * h}, doubled.view);
    for (int y = 0; y < 2 * h; ++y) {
        EXPECT_EQ(doubled.At(0, y), 0xFF000000u);
        EXPECT_EQ(doubled.At(2 * w + 1, y), 0xFF000000u);
        for (int x = 0; x < 2 * w; ++x) {
            EXPECT_EQ(doubled.At(1 + x, y), same.At(x / 2, y / 2) | 0xFF000000u) << x << "," << y;
        }
    }
    EXPECT_TRUE(doubled.MarginsUntouched());
}

TEST(WindowFrame, UnevenAndReducedScalesTakeThePixelUnderEachCentre) {
    // Columns 0..3 of a 4 x 1 frame, each a different shade of blue.
    const uint16_t frame[] = {1, 2, 3, 4};
    FrameScaler scaler;
    // Six window pixels over four frame pixels: their centres lie at 1/3, 1, 5/3, 7/3, 3 and
    // 11/3 frame pixels.
    Target wide(6, 1);
    scaler.Draw(frame, 4, 1, 4, FrameRect{0, 0, 6, 1}, wide.view);
    std::vector<uint32_t> got;
    for (int x = 0; x < 6; ++x) got.push_back(wide.At(x, 0) & 0xFF);
    // Blue n (5 bits) is n << 3 | n >> 2 in 8 bits.
    EXPECT_EQ(got, (std::vector<uint32_t>{8, 16, 16, 24, 33, 33}));
    // Halved: every other frame pixel, the second of each pair (under the centre).
    Target half(2, 1);
    scaler.Draw(frame, 4, 1, 4, FrameRect{0, 0, 2, 1}, half.view);
    EXPECT_EQ(half.At(0, 0) & 0xFF, 16u);
    EXPECT_EQ(half.At(1, 0) & 0xFF, 33u);
}

TEST(WindowFrame, APlaceOutsideTheWindowIsCutAndNothingIsWrittenBeyondIt) {
    const uint16_t frame[] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    FrameScaler scaler;
    Target t(3, 3);
    // Half the place lies left of and above the window.
    scaler.Draw(frame, 2, 2, 2, FrameRect{-2, -2, 4, 4}, t.view);
    EXPECT_EQ(t.At(0, 0), 0xFFFFFFu);
    EXPECT_EQ(t.At(1, 1), 0xFFFFFFu);
    EXPECT_EQ(t.At(2, 0), 0u);
    EXPECT_EQ(t.At(0, 2), 0u);
    EXPECT_TRUE(t.MarginsUntouched());
    // No place at all: a black window.
    scaler.Draw(frame, 2, 2, 2, FrameRect{}, t.view);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(t.At(x, y), 0u);
    }
    EXPECT_TRUE(t.MarginsUntouched());
}

}  // namespace
