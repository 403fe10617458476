#include "platform/dx/Gdi.h"

#include <algorithm>

#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxTrace.h"

namespace {

// Reads and writes one pixel of whatever the context draws into, as 0x00RRGGBB.
struct PixelView {
    int width = 0, height = 0;
    int scale = 1;  // stored pixels per program pixel (a scaled back buffer or primary)
    DirectDrawSurface7* surface = nullptr;
    RgbImage* image = nullptr;

    uint32_t Get(int x, int y) const {
        if (surface) return RgbFrom565(surface->Row(y)[x]);
        return image->pixels[static_cast<size_t>(y) * width + x];
    }
    void Set(int x, int y, uint32_t rgb) {
        if (surface) {
            surface->Row(y)[x] = Rgb565FromRgb(rgb);
        } else {
            image->pixels[static_cast<size_t>(y) * width + x] = rgb;
        }
    }
};

// The screen context reads the desktop picture, captured when a copy first needs it.
RgbImage screenPicture;

PixelView ViewOf(GdiDC* dc, int needWidth, int needHeight) {
    PixelView v;
    if (dc == nullptr) return v;
    if (dc->surface != nullptr) {
        if (dc->surface->IsReleased()) return v;
        v.surface = dc->surface;
        v.width = dc->surface->Width();
        v.height = dc->surface->Height();
        v.scale = dc->surface->Scale();
    } else if (dc->screen) {
        if (screenPicture.width < needWidth || screenPicture.height < needHeight) {
            screenPicture = ActiveHost().CaptureDesktop(std::max(needWidth, screenPicture.width),
                                                        std::max(needHeight, screenPicture.height));
        }
        v.image = &screenPicture;
        v.width = screenPicture.width;
        v.height = screenPicture.height;
    } else if (dc->bitmap != nullptr) {
        v.image = &dc->bitmap->image;
        v.width = dc->bitmap->image.width;
        v.height = dc->bitmap->image.height;
    }
    return v;
}

}  // namespace

GdiDC* GetDC(int32_t hWnd) {
    if (hWnd != 0) return nullptr;
    auto* dc = new GdiDC;
    dc->screen = true;
    screenPicture = RgbImage{};  // each screen context sees the desktop as it is now
    return dc;
}

int32_t ReleaseDC(int32_t, GdiDC* dc) {
    if (dc == nullptr || !dc->screen) return 0;
    delete dc;
    return 1;
}

GdiDC* CreateCompatibleDC(GdiDC*) {
    auto* dc = new GdiDC;
    dc->defaultBitmap = std::make_unique<GdiBitmap>();
    dc->defaultBitmap->image.width = dc->defaultBitmap->image.height = 1;
    dc->defaultBitmap->image.pixels.assign(1, 0);
    dc->defaultBitmap->stock = true;
    dc->bitmap = dc->defaultBitmap.get();
    return dc;
}

GdiBitmap* CreateCompatibleBitmap(GdiDC*, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    auto* bmp = new GdiBitmap;
    bmp->image.width = width;
    bmp->image.height = height;
    bmp->image.pixels.assign(static_cast<size_t>(width) * height, 0);
    return bmp;
}

GdiBitmap* SelectObject(GdiDC* dc, GdiBitmap* bitmap) {
    if (dc == nullptr || bitmap == nullptr || dc->surface != nullptr || dc->screen) return nullptr;
    GdiBitmap* previous = dc->bitmap;
    dc->bitmap = bitmap;
    return previous;
}

bool DeleteObject(GdiBitmap* bitmap) {
    if (bitmap == nullptr) return false;
    if (bitmap->stock) return true;
    delete bitmap;
    return true;
}

bool DeleteDC(GdiDC* dc) {
    if (dc == nullptr || dc->surface != nullptr || dc->screen) return false;
    delete dc;
    return true;
}

bool StretchBlt(GdiDC* dest, int32_t x, int32_t y, int32_t width, int32_t height, GdiDC* src,
                int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight, int32_t) {
    if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return false;
    PixelView d = ViewOf(dest, 0, 0);
    const PixelView s = ViewOf(src, srcX + srcWidth, srcY + srcHeight);
    if (d.width == 0 || s.width == 0) return false;
    // Coordinates are the program's; a scaled surface's rectangle covers more pixels.
    const int64_t dx0 = int64_t{x} * d.scale, dy0 = int64_t{y} * d.scale;
    const int64_t dw = int64_t{width} * d.scale, dh = int64_t{height} * d.scale;
    const int64_t sx0 = int64_t{srcX} * s.scale, sy0 = int64_t{srcY} * s.scale;
    const int64_t sw = int64_t{srcWidth} * s.scale, sh = int64_t{srcHeight} * s.scale;
    const int64_t x0 = std::max<int64_t>(dx0, 0), x1 = std::min<int64_t>(dx0 + dw, d.width);
    const int64_t y0 = std::max<int64_t>(dy0, 0), y1 = std::min<int64_t>(dy0 + dh, d.height);
    for (int64_t dy = y0; dy < y1; ++dy) {
        const int64_t sy = sy0 + (dy - dy0) * sh / dh;
        if (sy < 0 || sy >= s.height) continue;
        for (int64_t dx = x0; dx < x1; ++dx) {
            const int64_t sx = sx0 + (dx - dx0) * sw / dw;
            if (sx < 0 || sx >= s.width) continue;
            d.Set(static_cast<int>(dx), static_cast<int>(dy),
                  s.Get(static_cast<int>(sx), static_cast<int>(sy)));
        }
    }
    if (d.surface != nullptr && x0 < x1 && y0 < y1) {
        // Between surfaces the copy itself is replayed; from a bitmap or the screen, its result.
        if (s.surface != nullptr) {
            DX_TRACE(StretchBlt(*d.surface, x, y, width, height, *s.surface, srcX, srcY, srcWidth,
                                srcHeight));
        } else {
            // The program's pixels that the copy touched.
            const int64_t k = d.scale;
            DX_TRACE(SurfacePixels(*d.surface, static_cast<int32_t>(x0 / k),
                                   static_cast<int32_t>(y0 / k),
                                   static_cast<int32_t>((x1 + k - 1) / k - x0 / k),
                                   static_cast<int32_t>((y1 + k - 1) / k - y0 / k)));
        }
    }
    return true;
}

bool BitBlt(GdiDC* dest, int32_t x, int32_t y, int32_t width, int32_t height, GdiDC* src,
            int32_t srcX, int32_t srcY, int32_t rop) {
    return StretchBlt(dest, x, y, width, height, src, srcX, srcY, width, height, rop);
}
