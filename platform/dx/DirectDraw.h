// DirectDraw 7 in software: RGB565 surfaces addressed by pixel rectangles, blits with source
// colour keys, device contexts for GDI copies, the flipping primary surface with its back
// buffer, display mode and gamma. Depth surfaces hold 16-bit depth values in the same layout.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dx/DxTypes.h"
#include "platform/host/Host.h"

class Host;
class DirectDraw7;
class Direct3D7;
struct GdiDC;

class DirectDrawSurface7;
namespace dxtrace {
class Recorder;
}  // namespace dxtrace
using SurfacePtr = std::shared_ptr<DirectDrawSurface7>;

// Drawing that has been accepted but may not have reached the pixels yet (the 3D device draws
// on its own threads). A surface it uses points at it; anything that reads or writes the
// surface's pixels from outside finishes it first, so callers always see a synchronous device.
class SurfaceWork {
  public:
    // Draws everything accepted so far and releases the surfaces it marked.
    virtual void Finish() = 0;

  protected:
    ~SurfaceWork() = default;
};

class DirectDrawGammaControl {
  public:
    DirectDrawGammaControl();
    void GetGammaRamp(int32_t flags, DDGAMMARAMP& ramp) const;
    void SetGammaRamp(int32_t flags, const DDGAMMARAMP& ramp);

  private:
    DDGAMMARAMP ramp_;
};

// The primary surface, its back buffer and the depth surface attached to it can hold their
// pixels at a whole multiple of the size the program knows (the display scale: internal
// resolution). Everything the program passes in (rectangles, positions, descriptions) stays in
// its own coordinates; Width, Height, Pitch and the pixels are the stored, scaled ones.
class DirectDrawSurface7 : public std::enable_shared_from_this<DirectDrawSurface7> {
  public:
    DirectDrawSurface7(DirectDraw7* owner, const DDSURFACEDESC2& desc, int32_t scale = 1);
    ~DirectDrawSurface7();

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int32_t Pitch() const { return width_; }  // in pixels
    // Stored pixels per program pixel along each axis, and the size the program sees.
    int32_t Scale() const { return scale_; }
    int32_t LogicalWidth() const { return width_ / scale_; }
    int32_t LogicalHeight() const { return height_ / scale_; }
    // The pixels, once drawing in flight on this surface has finished. Access through a
    // non-const surface counts as a change (see TexelQuads).
    uint16_t* Pixels() {
        Settle();
        ++changes_;
        return pixels_.data();
    }
    const uint16_t* Pixels() const {
        Settle();
        return pixels_.data();
    }
    uint16_t* Row(int y) { return Pixels() + static_cast<size_t>(y) * width_; }
    const uint16_t* Row(int y) const { return Pixels() + static_cast<size_t>(y) * width_; }

    // The 3D device's own access: the pixels without waiting, for work it queues itself.
    uint16_t* PixelsForDevice() { return pixels_.data(); }
    // The device is about to draw into the surface.
    void NotePixelsChanged() { ++changes_; }
    // The texels in the form bilinear sampling reads: entry y * width + x holds the texels
    // (x, y), (x + 1, y), (x, y + 1) and (x + 1, y + 1), wrapping at the edges, 16 bits each
    // from the low end. Made again when first asked for after the pixels changed; the caller
    // makes sure no one still reads the previous one.
    const uint64_t* TexelQuads();
    // Marks the surface as used by queued work (see SurfaceWork); the work clears the mark
    // with ClearPendingWork once it is done.
    enum PendingUse : uint8_t { kPendingRead = 1, kPendingWrite = 2 };
    SurfaceWork* PendingWork() const { return pendingWork_; }
    uint8_t PendingUses() const { return pendingUses_; }
    void MarkPendingWork(SurfaceWork* work, uint8_t uses) {
        pendingWork_ = work;
        pendingUses_ |= uses;
    }
    void ClearPendingWork() {
        pendingWork_ = nullptr;
        pendingUses_ = 0;
    }
    // Waits for drawing in flight that uses this surface.
    void Settle() const {
        if (pendingWork_ != nullptr) pendingWork_->Finish();
    }
    bool IsDepth() const { return (desc_.ddsCaps.lCaps & DDSCAPS_ZBUFFER) != 0; }
    bool HasSourceColorKey() const { return hasSrcKey_; }
    DDCOLORKEY SourceColorKey() const { return srcKey_; }

    // Blt copies srcRect of src into destRect, stretching with nearest sampling. A null rect
    // means the whole surface. DDBLT_KEYSRC skips source pixels inside the source colour key.
    void Blt(const RECT* destRect, DirectDrawSurface7* src, const RECT* srcRect, int32_t flags);
    // BltFast copies srcRect unstretched to (x, y); DDBLTFAST_SRCCOLORKEY honours the key.
    void BltFast(int32_t x, int32_t y, DirectDrawSurface7* src, const RECT& srcRect, int32_t flags);
    // Fills rect (null: whole surface) with a raw pixel value of the surface's format.
    void BltColorFill(const RECT* rect, int32_t color);

    GdiDC* GetDC();
    void ReleaseDC(GdiDC* dc);
    void SetForeColor(int32_t color) { foreColor_ = color; }
    int32_t GetForeColor() const { return foreColor_; }
    void SetColorKey(int32_t flags, const DDCOLORKEY& key);

    void GetSurfaceDesc(DDSURFACEDESC2& desc) const;
    void GetPixelFormat(DDPIXELFORMAT& format) const;

    // Primary surface only: swap with the attached back buffer and show the result.
    void Flip(DirectDrawSurface7* overrideSurface, int32_t flags);
    SurfacePtr GetAttachedSurface(const DDSCAPS2& caps);
    void AddAttachedSurface(const SurfacePtr& surface);
    SurfacePtr AttachedDepth() const { return attachedDepth_; }
    std::shared_ptr<DirectDrawGammaControl> GetDirectDrawGammaControl();

    // Releases the pixel memory; further use of the surface fails.
    void Release();
    bool IsReleased() const { return released_; }

  private:
    friend class DirectDraw7;
    friend class dxtrace::Recorder;
    DirectDraw7* owner_;
    DDSURFACEDESC2 desc_;
    int32_t width_ = 0, height_ = 0;  // stored pixels: the description's size times scale_
    int32_t scale_ = 1;
    std::vector<uint16_t> pixels_;
    bool hasSrcKey_ = false;
    DDCOLORKEY srcKey_;
    int32_t foreColor_ = 0;
    GdiDC* dc_ = nullptr;
    SurfacePtr backBuffer_;     // primary: the attached back buffer
    SurfacePtr attachedDepth_;  // back buffer: the attached depth surface
    std::shared_ptr<DirectDrawGammaControl> gamma_;
    bool released_ = false;
    SurfaceWork* pendingWork_ = nullptr;
    uint8_t pendingUses_ = 0;
    uint64_t changes_ = 0;
    uint64_t quadsMadeAt_ = UINT64_MAX;
    std::vector<uint64_t> quads_;

    void CheckAlive() const;
    // Blt's copy, rectangles in the program's coordinates (both given), without recording.
    void StretchFrom(const RECT& destRect, DirectDrawSurface7& source, const RECT& srcRect,
                     bool useKey);
    // Stores the pixels at another scale, each new pixel the nearest old one (the picture
    // stays, sharper or coarser).
    void Rescale(int32_t scale);
};

struct DDCAPS {
    int32_t lCaps = 0, lCaps2 = 0, lCKeyCaps = 0, lFXCaps = 0;
    int32_t lVidMemTotal = 0, lVidMemFree = 0;
};

class DirectDraw7 {
  public:
    explicit DirectDraw7(Host& host);

    void GetCaps(DDCAPS& hardware, DDCAPS& emulation) const;
    void SetCooperativeLevel(int32_t hWnd, int32_t flags);
    void SetDisplayMode(int32_t width, int32_t height, int32_t bpp, int32_t refreshRate,
                        int32_t flags);
    void RestoreDisplayMode();
    int32_t CooperativeLevel() const { return cooperativeLevel_; }
    int32_t DisplayWidth() const { return displayWidth_; }
    int32_t DisplayHeight() const { return displayHeight_; }
    // The host's display scale as taken up by the primary surface: at SetDisplayMode, and
    // after a flip when the host asks for another one.
    int32_t DisplayScale() const { return displayScale_; }

    // An empty surface of the described size (or, for a primary surface, the display size).
    SurfacePtr CreateSurface(DDSURFACEDESC2& desc);
    // A surface from BMP or PNG bytes, stretched to the described size (the image's own size
    // where the description has none).
    SurfacePtr CreateSurfaceFromFile(const std::string& path, DDSURFACEDESC2& desc);
    SurfacePtr CreateSurfaceFromMemory(const std::vector<uint8_t>& bytes, DDSURFACEDESC2& desc);

    // Defined with the 3D device.
    std::shared_ptr<Direct3D7> GetDirect3D();

    Host& GetHost() const { return host_; }

  private:
    friend class dxtrace::Recorder;
    Host& host_;
    std::weak_ptr<DirectDrawSurface7> primary_;
    int32_t cooperativeLevel_ = 0;
    int32_t displayWidth_ = 0, displayHeight_ = 0;
    int32_t displayScale_ = 1;
    bool primaryExists_ = false;
    friend class DirectDrawSurface7;
};

// Pixel conversions between 0x00RRGGBB and RGB565.
inline uint16_t Rgb565FromRgb(uint32_t rgb) {
    const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return static_cast<uint16_t>(((r * 31 + 127) / 255) << 11 | ((g * 63 + 127) / 255) << 5 |
                                 ((b * 31 + 127) / 255));
}
inline uint32_t RgbFrom565(uint16_t p) {
    const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    return ((r << 3) | (r >> 2)) << 16 | ((g << 2) | (g >> 4)) << 8 | ((b << 3) | (b >> 2));
}

// Decodes BMP or PNG bytes; throws DxError (DDERR_INVALIDPIXELFORMAT) when they do not decode.
RgbImage DecodeImage(const std::vector<uint8_t>& bytes);
// A 565 surface region as the bytes of a PNG file; empty when it cannot be encoded.
std::vector<uint8_t> EncodePng565(const uint16_t* pixels, int width, int height, int pitch);
// Writes a 565 surface region as a PNG file; false when the file cannot be written.
bool WritePng565(const std::string& path, const uint16_t* pixels, int width, int height, int pitch);
