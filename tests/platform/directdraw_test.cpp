#include "platform/dx/DirectDraw.h"

#include <gtest/gtest.h>

#include "platform/dx/DxError.h"
#include "platform/dx/DxErrorCodes.h"
#include "platform/dx/Gdi.h"
#include "platform/host/HeadlessHost.h"

namespace {

// Records the flips' waits for the vertical refresh and how many frames were shown before each.
class RefreshHost : public HeadlessHost {
  public:
    using HeadlessHost::HeadlessHost;
    void WaitForVerticalRefresh() override {
        ++refreshWaits;
        shownAtLastWait = PassesPresented();
    }
    int refreshWaits = 0;
    int shownAtLastWait = -1;
};

class DirectDrawTest : public ::testing::Test {
  protected:
    void SetUp() override { SetActiveHost(&host); }
    void TearDown() override { SetActiveHost(nullptr); }

    SurfacePtr Make(int w, int h, int32_t key = -1) {
        DDSURFACEDESC2 d;
        d.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.lCaps = DDSCAPS_OFFSCREENPLAIN;
        d.lWidth = w;
        d.lHeight = h;
        if (key >= 0) {
            d.lFlags |= DDSD_CKSRCBLT;
            d.ddckCKSrcBlt.low = d.ddckCKSrcBlt.high = key;
        }
        return dd.CreateSurface(d);
    }
    // Fills each pixel with a value made from its position, so copies can be traced.
    static void Pattern(DirectDrawSurface7& s) {
        for (int y = 0; y < s.Height(); ++y)
            for (int x = 0; x < s.Width(); ++x)
                s.Row(y)[x] = static_cast<uint16_t>(100 + y * 16 + x);
    }

    RefreshHost host{HeadlessOptions{}};
    DirectDraw7 dd{host};
};

TEST_F(DirectDrawTest, BltFastClipsAtEveryEdge) {
    auto src = Make(4, 4), dst = Make(6, 6);
    Pattern(*src);
    dst->BltFast(-2, -1, src.get(), RECT{0, 0, 4, 4}, DDBLTFAST_WAIT);
    EXPECT_EQ(dst->Row(0)[0], 100 + 1 * 16 + 2);  // source (2,1) lands at (0,0)
    EXPECT_EQ(dst->Row(2)[1], 100 + 3 * 16 + 3);
    EXPECT_EQ(dst->Row(3)[0], 0);
    dst->BltColorFill(nullptr, 0);
    dst->BltFast(4, 5, src.get(), RECT{0, 0, 4, 4}, DDBLTFAST_WAIT);
    EXPECT_EQ(dst->Row(5)[4], 100);
    EXPECT_EQ(dst->Row(5)[5], 101);
    EXPECT_EQ(dst->Row(4)[4], 0);
    // A source rectangle reaching outside its surface is cut to it.
    dst->BltColorFill(nullptr, 0);
    dst->BltFast(0, 0, src.get(), RECT{2, 2, 9, 9}, 0);
    EXPECT_EQ(dst->Row(1)[1], 100 + 3 * 16 + 3);
    EXPECT_EQ(dst->Row(2)[2], 0);
    // Empty and inverted rectangles, and positions far outside, change nothing.
    dst->BltColorFill(nullptr, 7);
    dst->BltFast(0, 0, src.get(), RECT{3, 3, 1, 1}, 0);
    dst->BltFast(1000000, -1000000, src.get(), RECT{0, 0, 4, 4}, 0);
    dst->BltFast(-2147483647, 2147483600, src.get(), RECT{0, 0, 4, 4}, 0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) ASSERT_EQ(dst->Row(y)[x], 7);
}

TEST_F(DirectDrawTest, SourceColourKeyIsSkippedOnlyWhenAsked) {
    auto src = Make(2, 1, 0x001F), dst = Make(2, 1);
    src->Row(0)[0] = 0x001F;  // the key
    src->Row(0)[1] = 0xF800;
    dst->BltColorFill(nullptr, 0x07E0);
    dst->BltFast(0, 0, src.get(), RECT{0, 0, 2, 1}, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
    EXPECT_EQ(dst->Row(0)[0], 0x07E0);
    EXPECT_EQ(dst->Row(0)[1], 0xF800);
    dst->BltFast(0, 0, src.get(), RECT{0, 0, 2, 1}, DDBLTFAST_WAIT);
    EXPECT_EQ(dst->Row(0)[0], 0x001F);

    dst->BltColorFill(nullptr, 0x07E0);
    dst->Blt(nullptr, src.get(), nullptr, DDBLT_KEYSRC | DDBLT_WAIT);
    EXPECT_EQ(dst->Row(0)[0], 0x07E0);
    EXPECT_EQ(dst->Row(0)[1], 0xF800);
}

TEST_F(DirectDrawTest, BltStretchesAndClipsTheDestination) {
    auto src = Make(2, 2), dst = Make(4, 4);
    Pattern(*src);
    dst->Blt(nullptr, src.get(), nullptr, DDBLT_WAIT);  // 2x2 -> 4x4
    EXPECT_EQ(dst->Row(0)[0], 100);
    EXPECT_EQ(dst->Row(1)[1], 100);
    EXPECT_EQ(dst->Row(0)[2], 101);
    EXPECT_EQ(dst->Row(3)[3], 117);
    // Half the destination lies off the surface: the visible part keeps its mapping.
    dst->BltColorFill(nullptr, 0);
    const RECT half{-2, 0, 2, 4};
    dst->Blt(&half, src.get(), nullptr, DDBLT_WAIT);
    EXPECT_EQ(dst->Row(0)[0], 101);
    EXPECT_EQ(dst->Row(3)[1], 117);
    EXPECT_EQ(dst->Row(0)[2], 0);
    // A source rectangle partly outside the source reads nothing from beyond it.
    dst->BltColorFill(nullptr, 5);
    const RECT wide{0, 0, 4, 2};
    dst->Blt(nullptr, src.get(), &wide, 0);
    EXPECT_EQ(dst->Row(0)[0], 100);
    EXPECT_EQ(dst->Row(0)[3], 5);
}

TEST_F(DirectDrawTest, StretchBltShrinksWithNearestSamplingThroughDeviceContexts) {
    auto src = Make(8, 8), dst = Make(2, 2);
    Pattern(*src);
    GdiDC* s = src->GetDC();
    GdiDC* d = dst->GetDC();
    EXPECT_THROW(src->GetDC(), DxError);  // one context at a time
    ASSERT_TRUE(StretchBlt(d, 0, 0, 2, 2, s, 0, 0, 8, 8, SRCCOPY));
    src->ReleaseDC(s);
    dst->ReleaseDC(d);
    // 565 values survive the trip through 8-bit colour.
    EXPECT_EQ(dst->Row(0)[0], src->Row(0)[0]);
    EXPECT_EQ(dst->Row(0)[1], src->Row(0)[4]);
    EXPECT_EQ(dst->Row(1)[1], src->Row(4)[4]);
}

TEST_F(DirectDrawTest, DesktopPictureReachesASurfaceThroughAMemoryBitmap) {
    GdiDC* screen = GetDC(0);
    GdiDC* mem = CreateCompatibleDC(screen);
    GdiBitmap* bmp = CreateCompatibleBitmap(screen, 16, 12);
    EXPECT_TRUE(DeleteObject(SelectObject(mem, bmp)));
    EXPECT_TRUE(BitBlt(mem, 0, 0, 16, 12, screen, 0, 0, SRCCOPY));
    ReleaseDC(0, screen);
    auto surface = Make(16, 12);
    GdiDC* dc = surface->GetDC();
    EXPECT_TRUE(BitBlt(dc, 0, 0, 16, 12, mem, 0, 0, SRCCOPY));
    surface->ReleaseDC(dc);
    const RgbImage expected = GeneratedDesktop(16, 12);
    EXPECT_EQ(surface->Row(5)[3], Rgb565FromRgb(expected.pixels[5 * 16 + 3]));
    DeleteDC(mem);
    DeleteObject(bmp);
}

TEST_F(DirectDrawTest, FlipTradesBuffersAndPresents) {
    dd.SetCooperativeLevel(1, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT);
    EXPECT_THROW(dd.SetDisplayMode(640, 480, 32, 0, 0), DxError);
    dd.SetDisplayMode(320, 240, 16, 0, 0);
    DDSURFACEDESC2 d;
    d.lFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.lBackBufferCount = 1;
    d.ddsCaps.lCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    SurfacePtr primary = dd.CreateSurface(d);
    DDSCAPS2 caps;
    caps.lCaps = DDSCAPS_BACKBUFFER;
    SurfacePtr back = primary->GetAttachedSurface(caps);
    EXPECT_EQ(back->Width(), 320);
    back->BltColorFill(nullptr, 0x1234);
    const uint32_t ticks = host.GetTickCount();
    primary->Flip(nullptr, DDFLIP_WAIT);
    EXPECT_EQ(host.PassesPresented(), 1);
    EXPECT_EQ(host.LastFrame()[0], 0x1234);
    EXPECT_EQ(back->Row(0)[0], 0);               // the back buffer now holds the earlier front
    EXPECT_THROW(dd.CreateSurface(d), DxError);  // only one primary surface

    // The flip waited for the refresh before its frame was shown; the headless clock still
    // steps by exactly one frame.
    EXPECT_EQ(host.refreshWaits, 1);
    EXPECT_EQ(host.shownAtLastWait, 0);
    EXPECT_EQ(host.GetTickCount() - ticks, static_cast<uint32_t>(HeadlessOptions{}.tickMs));
    // Told not to wait for it, it does not.
    primary->Flip(nullptr, DDFLIP_WAIT | DDFLIP_NOVSYNC);
    EXPECT_EQ(host.PassesPresented(), 2);
    EXPECT_EQ(host.refreshWaits, 1);
}

// Only a surface that is drawn on takes a depth surface: not a depth surface, not itself.
TEST_F(DirectDrawTest, ADepthSurfaceAttachesOnlyToADrawnSurface) {
    DDSURFACEDESC2 z;
    z.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    z.ddsCaps.lCaps = DDSCAPS_ZBUFFER;
    z.lWidth = z.lHeight = 4;
    SurfacePtr depth = dd.CreateSurface(z), other = dd.CreateSurface(z);
    for (const SurfacePtr& onto : {depth, other}) {
        try {
            depth->AddAttachedSurface(onto);
            ADD_FAILURE() << "a depth surface took a depth surface";
        } catch (const DxError& e) {
            EXPECT_EQ(e.Number(), DDERR_CANNOTATTACHSURFACE);
        }
    }
    EXPECT_THROW(depth->GetAttachedSurface(DDSCAPS2{DDSCAPS_ZBUFFER, 0}), DxError);
    SurfacePtr target = Make(4, 4);
    target->AddAttachedSurface(depth);
    EXPECT_EQ(target->GetAttachedSurface(DDSCAPS2{DDSCAPS_ZBUFFER, 0}), depth);
}

TEST_F(DirectDrawTest, ImagesDecodeAndStretchToTheDescribedSize) {
    EXPECT_THROW(DecodeImage({1, 2, 3, 4}), DxError);
    EXPECT_THROW(DecodeImage({}), DxError);
    // A 2x1 BMP, 24-bit: blue then red.
    std::vector<uint8_t> bmp = {'B', 'M', 62, 0, 0, 0, 0,   0, 0, 0, 54, 0,   0,  0, 40, 0,
                                0,   0,   2,  0, 0, 0, 1,   0, 0, 0, 1,  0,   24, 0, 0,  0,
                                0,   0,   8,  0, 0, 0, 0,   0, 0, 0, 0,  0,   0,  0, 0,  0,
                                0,   0,   0,  0, 0, 0, 255, 0, 0, 0, 0,  255, 0,  0};
    DDSURFACEDESC2 desc;
    desc.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.lWidth = 4;
    desc.lHeight = 2;
    SurfacePtr s = dd.CreateSurfaceFromMemory(bmp, desc);
    EXPECT_EQ(s->Width(), 4);
    EXPECT_EQ(s->Row(1)[0], 0x001F);
    EXPECT_EQ(s->Row(1)[1], 0x001F);
    EXPECT_EQ(s->Row(0)[3], 0xF800);
}

}  // namespace
