// Internal resolution: the primary surface, its back buffer and their depth buffer hold N times
// the program's pixels in each direction, while everything the program passes in stays in its
// own coordinates. Expected pixels are the program pixel's N x N block, worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "platform/dx/Direct3D.h"
#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxError.h"
#include "platform/dx/Gdi.h"
#include "platform/host/HeadlessHost.h"

namespace {

struct TLVertex {
    float x, y, z, rhw;
    uint32_t color, specular;
    float u, v;
};
constexpr int32_t kTLFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;
constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F;

class ScaledDisplay : public ::testing::Test {
  protected:
    static constexpr int kW = 320, kH = 240;

    void Open(int scale) {
        host.SetDisplayScale(scale);
        dd.SetCooperativeLevel(0, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
        dd.SetDisplayMode(kW, kH, 16, 0, 0);
        DDSURFACEDESC2 d;
        d.lFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        d.ddsCaps.lCaps =
            DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
        d.lBackBufferCount = 1;
        primary = dd.CreateSurface(d);
        DDSCAPS2 caps;
        caps.lCaps = DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE;
        back = primary->GetAttachedSurface(caps);
        // The depth buffer is made at the program's size, as the program makes it.
        DDSURFACEDESC2 z;
        z.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        z.ddsCaps.lCaps = DDSCAPS_ZBUFFER;
        z.lWidth = kW;
        z.lHeight = kH;
        d3d->GetEnumZBufferFormats("IID_IDirect3DHALDevice")->GetItem(1, z.ddpfPixelFormat);
        depth = dd.CreateSurface(z);
        back->AddAttachedSurface(depth);
        device = d3d->CreateDevice("IID_IDirect3DHALDevice", back);
        device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 0);
    }
    SurfacePtr Plain(int w, int h, int32_t caps = DDSCAPS_OFFSCREENPLAIN) {
        DDSURFACEDESC2 d;
        d.lFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.lCaps = caps;
        d.lWidth = w;
        d.lHeight = h;
        return dd.CreateSurface(d);
    }
    // Pixels of the rectangle that are not the colour.
    static int Off(const DirectDrawSurface7& s, int x0, int y0, int x1, int y1, uint16_t c) {
        int off = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) off += s.Row(y)[x] != c;
        }
        return off;
    }
    void Quad(float x0, float y0, float x1, float y1, uint32_t colour) {
        const TLVertex v[4] = {{x0, y0, 0, 1, colour, 0, 0, 0},
                               {x1, y0, 0, 1, colour, 0, 0, 0},
                               {x1, y1, 0, 1, colour, 0, 0, 0},
                               {x0, y1, 0, 1, colour, 0, 0, 0}};
        device->DrawPrimitive(D3DPT_TRIANGLEFAN, kTLFvf, v, 4, 0);
    }

    HeadlessHost host{HeadlessOptions{}};
    DirectDraw7 dd{host};
    std::shared_ptr<Direct3D7> d3d = dd.GetDirect3D();
    SurfacePtr primary, back, depth;
    std::shared_ptr<Direct3DDevice7> device;
};

TEST_F(ScaledDisplay, SurfacesHoldScaledPixelsAndDescribeTheProgramsSize) {
    Open(3);
    for (const SurfacePtr& s : {primary, back, depth}) {
        EXPECT_EQ(s->Width(), 3 * kW);
        EXPECT_EQ(s->Height(), 3 * kH);
        DDSURFACEDESC2 d;
        s->GetSurfaceDesc(d);
        EXPECT_EQ(d.lWidth, kW);
        EXPECT_EQ(d.lHeight, kH);
    }
    // Textures and other surfaces stay as made.
    EXPECT_EQ(Plain(64, 32, DDSCAPS_TEXTURE)->Width(), 64);
    D3DVIEWPORT7 vp;
    device->GetViewport(vp);
    EXPECT_EQ(vp.lWidth, kW);
    EXPECT_EQ(vp.lHeight, kH);
    D3DVIEWPORT7 tooWide{0, 0, kW + 1, kH, 0, 1};
    EXPECT_THROW(device->SetViewport(tooWide), DxError);
    // The host is told the program's size and shown the full frame.
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FF0000, 1.0f, 0);
    device->EndScene();
    primary->Flip(nullptr, DDFLIP_WAIT);
    EXPECT_EQ(host.FrameWidth(), 3 * kW);
    ASSERT_EQ(host.LastFrame().size(), static_cast<size_t>(9 * kW * kH));
    EXPECT_EQ(host.LastFrame().back(), kRed);
}

TEST_F(ScaledDisplay, DrawingLandsOnTheProgramPixelsBlocks) {
    Open(2);
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    const D3DRECT rect{2, 3, 4, 5};
    device->Clear(1, &rect, D3DCLEAR_TARGET, 0x000000FF, 1.0f, 0);
    // Edges through pixel corners: program pixels 10..19 x 5..14, stored 20..39 x 10..29.
    Quad(9.5f, 4.5f, 19.5f, 14.5f, 0xFFFF0000);
    // A line along row 30 from column 5 to 15: two stored rows, 60 and 61.
    const TLVertex line[2] = {{5, 30, 0, 1, 0xFF00FF00, 0, 0, 0},
                              {15, 30, 0, 1, 0xFF00FF00, 0, 0, 0}};
    device->DrawPrimitive(D3DPT_LINELIST, kTLFvf, line, 2, 0);
    // A point at (50, 40): the stored block 100..101 x 80..81.
    const TLVertex point{50, 40, 0, 1, 0xFF0000FF, 0, 0, 0};
    device->DrawPrimitive(D3DPT_POINTLIST, kTLFvf, &point, 1, 0);
    device->EndScene();
    const DirectDrawSurface7& s = *back;
    EXPECT_EQ(Off(s, 4, 6, 8, 10, kBlue), 0);
    EXPECT_EQ(s.Row(5)[4], 0);
    EXPECT_EQ(s.Row(6)[8], 0);
    EXPECT_EQ(Off(s, 20, 10, 40, 30, kRed), 0);
    EXPECT_EQ(s.Row(9)[20] | s.Row(10)[19] | s.Row(30)[39] | s.Row(29)[40], 0);
    for (int x = 12; x < 30; ++x) {
        EXPECT_EQ(s.Row(60)[x], kGreen) << x;
        EXPECT_EQ(s.Row(61)[x], kGreen) << x;
        EXPECT_EQ(s.Row(59)[x] | s.Row(62)[x], 0) << x;
    }
    EXPECT_EQ(Off(s, 100, 80, 102, 82, kBlue), 0);
    EXPECT_EQ(s.Row(79)[100] | s.Row(82)[101] | s.Row(80)[99] | s.Row(81)[102], 0);

    // A viewport in the program's pixels confines the 3D drawing to its stored block.
    D3DVIEWPORT7 vp{10, 20, 30, 40, 0, 1};
    device->SetViewport(vp);
    device->BeginScene();
    Quad(0, 0, 100, 100, 0xFF00FF00);
    device->EndScene();
    EXPECT_EQ(Off(s, 20, 40, 80, 120, kGreen), 0);
    EXPECT_NE(s.Row(39)[20], kGreen);
    EXPECT_NE(s.Row(40)[80], kGreen);
    EXPECT_NE(s.Row(120)[79], kGreen);
}

TEST_F(ScaledDisplay, BlitsAndDeviceContextsTakeTheProgramsRectangles) {
    Open(2);
    // A 2 x 2 sprite, keyed on black: red, blue / black, green.
    SurfacePtr sprite = Plain(2, 2);
    sprite->Row(0)[0] = kRed;
    sprite->Row(0)[1] = kBlue;
    sprite->Row(1)[0] = 0;
    sprite->Row(1)[1] = kGreen;
    sprite->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{0, 0});
    back->BltColorFill(nullptr, 0x1234);
    back->BltFast(10, 20, sprite.get(), RECT{0, 0, 2, 2}, DDBLTFAST_SRCCOLORKEY);
    const DirectDrawSurface7& s = *back;
    EXPECT_EQ(Off(s, 20, 40, 22, 42, kRed), 0);
    EXPECT_EQ(Off(s, 22, 40, 24, 42, kBlue), 0);
    EXPECT_EQ(Off(s, 20, 42, 22, 44, 0x1234), 0);  // keyed out
    EXPECT_EQ(Off(s, 22, 42, 24, 44, kGreen), 0);
    EXPECT_EQ(s.Row(44)[22], 0x1234);

    // Blt stretches the sprite over program pixels (30, 0)-(34, 4): stored 60..67 x 0..7.
    const RECT dest{30, 0, 34, 4};
    back->Blt(&dest, sprite.get(), nullptr, 0);
    EXPECT_EQ(Off(s, 60, 0, 64, 4, kRed), 0);
    EXPECT_EQ(Off(s, 64, 4, 68, 8, kGreen), 0);
    EXPECT_EQ(s.Row(0)[68], 0x1234);
    const RECT fill{1, 1, 2, 2};
    back->BltColorFill(&fill, kBlue);
    EXPECT_EQ(Off(s, 2, 2, 4, 4, kBlue), 0);
    EXPECT_EQ(s.Row(1)[2] | s.Row(4)[2] | s.Row(2)[1] | s.Row(2)[4], 0x1234);

    // Copies out of the back buffer read whole program pixels: the blur capture's 1:1 copy of
    // (30, 0)-(34, 4) into a plain surface gives back the sprite enlarged two times.
    SurfacePtr capture = Plain(4, 4, DDSCAPS_TEXTURE);
    const RECT from{30, 0, 34, 4};
    capture->Blt(nullptr, back.get(), &from, 0);
    EXPECT_EQ(capture->Row(0)[1], kRed);
    EXPECT_EQ(capture->Row(3)[3], kGreen);
    // The same through device contexts, and back into the frame.
    SurfacePtr gdiCopy = Plain(4, 4);
    GdiDC* to = gdiCopy->GetDC();
    GdiDC* frame = back->GetDC();
    StretchBlt(to, 0, 0, 4, 4, frame, 30, 0, 4, 4, SRCCOPY);
    BitBlt(frame, 100, 100, 4, 4, to, 0, 0, SRCCOPY);
    back->ReleaseDC(frame);
    gdiCopy->ReleaseDC(to);
    EXPECT_EQ(gdiCopy->Row(0)[0], kRed);
    EXPECT_EQ(gdiCopy->Row(2)[3], kGreen);
    EXPECT_EQ(Off(s, 200, 200, 204, 204, kRed), 0);
    EXPECT_EQ(Off(s, 204, 204, 208, 208, kGreen), 0);
    EXPECT_EQ(s.Row(208)[200], 0x1234);
}

// F12 between frames: the same surfaces, at the new size, with the picture kept; the device
// goes on drawing into them.
TEST_F(ScaledDisplay, FlipTakesUpANewScaleBetweenFrames) {
    Open(1);
    device->SetThreads(2);
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00FF0000, 0.25f, 0);
    Quad(-0.5f, -0.5f, 9.5f, 9.5f, 0xFF00FF00);
    device->EndScene();
    host.CycleDisplayScale();
    EXPECT_EQ(host.DisplayScale(), 2);
    primary->Flip(nullptr, DDFLIP_WAIT);
    // The frame flipped was drawn before the change.
    EXPECT_EQ(host.FrameWidth(), kW);
    EXPECT_EQ(dd.DisplayScale(), 2);
    for (const SurfacePtr& s : {primary, back, depth}) EXPECT_EQ(s->Width(), 2 * kW);
    // The shown frame, now the back buffer's old pixels swapped to the primary, kept its picture.
    EXPECT_EQ(Off(*primary, 0, 0, 20, 20, kGreen), 0);
    EXPECT_EQ(primary->Row(20)[0], kRed);
    EXPECT_EQ(Off(*depth, 0, 0, 2 * kW, 2 * kH, static_cast<uint16_t>(0.25f * 65535 + 0.5f)), 0);
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x000000FF, 1.0f, 0);
    Quad(9.5f, 9.5f, 10.5f, 10.5f, 0xFF00FF00);
    device->EndScene();
    primary->Flip(nullptr, DDFLIP_WAIT);
    EXPECT_EQ(host.FrameWidth(), 2 * kW);
    ASSERT_EQ(host.LastFrame().size(), static_cast<size_t>(4 * kW * kH));
    EXPECT_EQ(host.LastFrame()[static_cast<size_t>(21 * 2 * kW + 21)], kGreen);
    EXPECT_EQ(host.LastFrame()[static_cast<size_t>(22 * 2 * kW + 22)], kBlue);
    // After the largest scale comes 1 again.
    host.SetDisplayScale(kMaxDisplayScale);
    host.CycleDisplayScale();
    EXPECT_EQ(host.DisplayScale(), 1);
    host.SetDisplayScale(9);
    EXPECT_EQ(host.DisplayScale(), kMaxDisplayScale);
}

}  // namespace
