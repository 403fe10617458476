// The few GDI calls the program makes: device contexts over the screen (the desktop picture),
// memory bitmaps and DirectDraw surfaces, with BitBlt and StretchBlt (nearest sampling).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/host/Host.h"

class DirectDrawSurface7;

struct GdiBitmap {
    RgbImage image;
    bool stock = false;  // a context's own default bitmap; deleted with the context
};

// A device context draws into exactly one of: a surface, a selected bitmap, the screen.
struct GdiDC {
    DirectDrawSurface7* surface = nullptr;
    GdiBitmap* bitmap = nullptr;
    bool screen = false;
    std::unique_ptr<GdiBitmap> defaultBitmap;  // the 1x1 bitmap a new memory context holds
};

// The screen's context; its pixels are the host's desktop picture.
GdiDC* GetDC(int32_t hWnd);
int32_t ReleaseDC(int32_t hWnd, GdiDC* dc);
GdiDC* CreateCompatibleDC(GdiDC* dc);
GdiBitmap* CreateCompatibleBitmap(GdiDC* dc, int32_t width, int32_t height);
// Returns the object that was selected before (the context's default bitmap at first).
GdiBitmap* SelectObject(GdiDC* dc, GdiBitmap* bitmap);
bool DeleteObject(GdiBitmap* bitmap);
bool DeleteDC(GdiDC* dc);
bool BitBlt(GdiDC* dest, int32_t x, int32_t y, int32_t width, int32_t height, GdiDC* src,
            int32_t srcX, int32_t srcY, int32_t rop);
bool StretchBlt(GdiDC* dest, int32_t x, int32_t y, int32_t width, int32_t height, GdiDC* src,
                int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight, int32_t rop);
