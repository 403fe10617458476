#include "platform/dx/DirectDraw.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/dx/DxError.h"
#include "platform/dx/DxErrorCodes.h"
#include "platform/dx/DxTrace.h"
#include "platform/dx/Gdi.h"
#include "platform/dx/ImageBytes.h"
#include "platform/host/FilePath.h"
#include "stb_image.h"
#include "stb_image_write.h"

namespace {

// Largest surface side we accept; keeps a corrupt size from asking for gigabytes.
constexpr int32_t kMaxSurfaceSide = 8192;

// The whole surface in the program's coordinates.
RECT WholeRect(const DirectDrawSurface7& s) {
    return RECT{0, 0, s.LogicalWidth(), s.LogicalHeight()};
}

int32_t Saturated(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// A rectangle in the program's coordinates as stored pixels of a surface at this scale.
RECT Scaled(const RECT& r, int32_t scale) {
    if (scale == 1) return r;
    return RECT{Saturated(int64_t{r.Left} * scale), Saturated(int64_t{r.Top} * scale),
                Saturated(int64_t{r.Right} * scale), Saturated(int64_t{r.Bottom} * scale)};
}

bool IsEmpty(const RECT& r) {
    return r.Right <= r.Left || r.Bottom <= r.Top;
}

bool InKey(uint16_t p, const DDCOLORKEY& key) {
    return p >= static_cast<uint16_t>(key.low) && p <= static_cast<uint16_t>(key.high);
}

}  // namespace

// ---------------------------------------------------------------- gamma

DirectDrawGammaControl::DirectDrawGammaControl() {
    for (int i = 0; i < 256; ++i) {
        ramp_.red[i] = ramp_.green[i] = ramp_.blue[i] = static_cast<uint16_t>(i * 257);
    }
}

void DirectDrawGammaControl::GetGammaRamp(int32_t, DDGAMMARAMP& ramp) const {
    ramp = ramp_;
}
void DirectDrawGammaControl::SetGammaRamp(int32_t, const DDGAMMARAMP& ramp) {
    ramp_ = ramp;
}

// ---------------------------------------------------------------- surface

DirectDrawSurface7::DirectDrawSurface7(DirectDraw7* owner, const DDSURFACEDESC2& desc,
                                       int32_t scale)
    : owner_(owner), desc_(desc), scale_(scale) {
    if (scale < 1 || scale > kMaxDisplayScale) {
        throw DxError(DDERR_INVALIDPARAMS,
                      "surface scale outside 1.." + std::to_string(kMaxDisplayScale));
    }
    if (desc.lWidth <= 0 || desc.lHeight <= 0) {
        throw DxError(DDERR_INVALIDPARAMS, "surface of no size");
    }
    if (desc.lWidth > kMaxSurfaceSide / scale || desc.lHeight > kMaxSurfaceSide / scale) {
        throw DxError(DDERR_TOOBIGSIZE, "surface too large");
    }
    width_ = desc.lWidth * scale;
    height_ = desc.lHeight * scale;
    pixels_.assign(static_cast<size_t>(width_) * height_, 0);
    desc_.lPitch = width_ * 2;
    if ((desc.lFlags & DDSD_CKSRCBLT) != 0) {
        hasSrcKey_ = true;
        srcKey_ = desc.ddckCKSrcBlt;
    }
}

DirectDrawSurface7::~DirectDrawSurface7() {
    Settle();
    DX_TRACE(Forget(this));
    delete dc_;
}

void DirectDrawSurface7::CheckAlive() const {
    if (released_) throw DxError(DDERR_INVALIDOBJECT, "surface used after release");
}

void DirectDrawSurface7::Rescale(int32_t scale) {
    if (released_ || scale == scale_) return;
    Settle();
    const int32_t w = LogicalWidth() * scale, h = LogicalHeight() * scale;
    std::vector<uint16_t> out(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y) {
        const uint16_t* in = pixels_.data() + static_cast<size_t>(y * scale_ / scale) * width_;
        uint16_t* row = out.data() + static_cast<size_t>(y) * w;
        for (int32_t x = 0; x < w; ++x) row[x] = in[x * scale_ / scale];
    }
    pixels_.swap(out);
    width_ = w;
    height_ = h;
    scale_ = scale;
    desc_.lPitch = w * 2;
    ++changes_;
    quads_.clear();
}

void DirectDrawSurface7::Release() {
    Settle();
    ++changes_;
    quads_.clear();
    quads_.shrink_to_fit();
    DX_TRACE(ReleaseSurface(*this));
    released_ = true;
    pixels_.clear();
    pixels_.shrink_to_fit();
    backBuffer_.reset();
    attachedDepth_.reset();
}

void DirectDrawSurface7::Blt(const RECT* destRect, DirectDrawSurface7* src, const RECT* srcRect,
                             int32_t flags) {
    CheckAlive();
    if (src == nullptr) throw DxError(DDERR_INVALIDPARAMS, "Blt without a source surface");
    src->CheckAlive();
    Settle();
    src->Settle();
    DX_TRACE(Blt(*this, destRect, *src, srcRect, flags));
    StretchFrom(destRect ? *destRect : WholeRect(*this), *src, srcRect ? *srcRect : WholeRect(*src),
                (flags & DDBLT_KEYSRC) != 0);
}

void DirectDrawSurface7::StretchFrom(const RECT& destRect, DirectDrawSurface7& source,
                                     const RECT& srcRect, bool useKey) {
    DirectDrawSurface7* src = &source;
    // Rectangles come in the program's coordinates; a scaled surface's part is its pixels.
    const RECT d = Scaled(destRect, scale_);
    const RECT s = Scaled(srcRect, src->scale_);
    if (IsEmpty(d) || IsEmpty(s)) return;
    const bool keyed = useKey && src->hasSrcKey_;
    const int64_t dw = int64_t{d.Right} - d.Left, dh = int64_t{d.Bottom} - d.Top;
    const int64_t sw = int64_t{s.Right} - s.Left, sh = int64_t{s.Bottom} - s.Top;
    // Clip the destination to this surface; the source position of each destination pixel is
    // mapped back through the stretch and skipped when it falls outside the source.
    const int y0 = std::max(d.Top, 0), y1 = std::min(d.Bottom, height_);
    const int x0 = std::max(d.Left, 0), x1 = std::min(d.Right, width_);
    // Copy through a temporary when source and destination are the same surface.
    std::vector<uint16_t> copy;
    const uint16_t* srcPixels = src->pixels_.data();
    if (src == this) {
        copy = pixels_;
        srcPixels = copy.data();
    }
    for (int y = y0; y < y1; ++y) {
        const int64_t sy = s.Top + ((int64_t{y} - d.Top) * sh) / dh;
        if (sy < 0 || sy >= src->height_) continue;
        uint16_t* out = Row(y);
        const uint16_t* in = srcPixels + sy * src->width_;
        for (int x = x0; x < x1; ++x) {
            const int64_t sx = s.Left + ((int64_t{x} - d.Left) * sw) / dw;
            if (sx < 0 || sx >= src->width_) continue;
            const uint16_t p = in[sx];
            if (keyed && InKey(p, src->srcKey_)) continue;
            out[x] = p;
        }
    }
}

void DirectDrawSurface7::BltFast(int32_t x, int32_t y, DirectDrawSurface7* src, const RECT& srcRect,
                                 int32_t flags) {
    CheckAlive();
    if (src == nullptr) throw DxError(DDERR_INVALIDPARAMS, "BltFast without a source surface");
    src->CheckAlive();
    Settle();
    src->Settle();
    DX_TRACE(BltFast(*this, x, y, *src, srcRect, flags));
    if (IsEmpty(srcRect)) return;
    if (src->scale_ != scale_) {
        // Pixels of different sizes: the same rectangle, stretched to this surface's pixels.
        const RECT dest{x, y, Saturated(int64_t{x} + (int64_t{srcRect.Right} - srcRect.Left)),
                        Saturated(int64_t{y} + (int64_t{srcRect.Bottom} - srcRect.Top))};
        StretchFrom(dest, *src, srcRect, (flags & DDBLTFAST_SRCCOLORKEY) != 0);
        return;
    }
    RECT s = Scaled(srcRect, scale_);
    x = Saturated(int64_t{x} * scale_);
    y = Saturated(int64_t{y} * scale_);
    // Clip the source to its surface and the destination to ours, moving the other side along.
    if (s.Left < 0) {
        x -= s.Left;
        s.Left = 0;
    }
    if (s.Top < 0) {
        y -= s.Top;
        s.Top = 0;
    }
    s.Right = std::min(s.Right, src->width_);
    s.Bottom = std::min(s.Bottom, src->height_);
    if (x < 0) {
        s.Left -= x;
        x = 0;
    }
    if (y < 0) {
        s.Top -= y;
        y = 0;
    }
    s.Right = std::min<int64_t>(s.Right, s.Left + static_cast<int64_t>(width_) - x);
    s.Bottom = std::min<int64_t>(s.Bottom, s.Top + static_cast<int64_t>(height_) - y);
    if (IsEmpty(s)) return;
    const bool keyed = (flags & DDBLTFAST_SRCCOLORKEY) != 0 && src->hasSrcKey_;
    std::vector<uint16_t> copy;
    const uint16_t* srcPixels = src->pixels_.data();
    if (src == this) {
        copy = pixels_;
        srcPixels = copy.data();
    }
    const int w = s.Right - s.Left;
    for (int row = s.Top; row < s.Bottom; ++row) {
        const uint16_t* in = srcPixels + static_cast<size_t>(row) * src->width_ + s.Left;
        uint16_t* out = Row(y + row - s.Top) + x;
        if (!keyed) {
            std::memcpy(out, in, static_cast<size_t>(w) * 2);
            continue;
        }
        for (int i = 0; i < w; ++i) {
            if (!InKey(in[i], src->srcKey_)) out[i] = in[i];
        }
    }
}

void DirectDrawSurface7::BltColorFill(const RECT* rect, int32_t color) {
    CheckAlive();
    DX_TRACE(ColorFill(*this, rect, color));
    RECT r = Scaled(rect ? *rect : WholeRect(*this), scale_);
    r.Left = std::max(r.Left, 0);
    r.Top = std::max(r.Top, 0);
    r.Right = std::min(r.Right, width_);
    r.Bottom = std::min(r.Bottom, height_);
    if (IsEmpty(r)) return;
    const uint16_t p = static_cast<uint16_t>(color);
    for (int y = r.Top; y < r.Bottom; ++y) std::fill(Row(y) + r.Left, Row(y) + r.Right, p);
}

const uint64_t* DirectDrawSurface7::TexelQuads() {
    CheckAlive();
    if (quadsMadeAt_ == changes_) return quads_.data();
    const size_t w = static_cast<size_t>(width_), h = static_cast<size_t>(height_);
    quads_.resize(w * h);
    for (size_t y = 0; y < h; ++y) {
        const uint16_t* row = pixels_.data() + y * w;
        const uint16_t* below = pixels_.data() + (y + 1 == h ? 0 : y + 1) * w;
        uint64_t* out = quads_.data() + y * w;
        for (size_t x = 0; x < w; ++x) {
            const size_t right = x + 1 == w ? 0 : x + 1;
            out[x] = uint64_t{row[x]} | uint64_t{row[right]} << 16 | uint64_t{below[x]} << 32 |
                     uint64_t{below[right]} << 48;
        }
    }
    quadsMadeAt_ = changes_;
    return quads_.data();
}

GdiDC* DirectDrawSurface7::GetDC() {
    CheckAlive();
    Settle();
    if (dc_ != nullptr) throw DxError(DDERR_DCALREADYCREATED, "GetDC twice without ReleaseDC");
    dc_ = new GdiDC;
    dc_->surface = this;
    return dc_;
}

void DirectDrawSurface7::ReleaseDC(GdiDC* dc) {
    if (dc == nullptr || dc != dc_) throw DxError(DDERR_NODC, "ReleaseDC of a foreign context");
    delete dc_;
    dc_ = nullptr;
}

void DirectDrawSurface7::SetColorKey(int32_t flags, const DDCOLORKEY& key) {
    CheckAlive();
    DX_TRACE(SetColorKey(*this, flags, key));
    if ((flags & DDCKEY_SRCBLT) != 0) {
        hasSrcKey_ = true;
        srcKey_ = key;
        desc_.lFlags |= DDSD_CKSRCBLT;
        desc_.ddckCKSrcBlt = key;
    }
}

void DirectDrawSurface7::GetSurfaceDesc(DDSURFACEDESC2& desc) const {
    CheckAlive();
    desc = desc_;
    desc.lFlags |= DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_CAPS;
    desc.lWidth = LogicalWidth();
    desc.lHeight = LogicalHeight();
    GetPixelFormat(desc.ddpfPixelFormat);
}

void DirectDrawSurface7::GetPixelFormat(DDPIXELFORMAT& format) const {
    CheckAlive();
    format = DDPIXELFORMAT{};
    if (IsDepth()) {
        format.lFlags = DDPF_ZBUFFER;
        format.lRGBBitCount = 16;
        format.lZBufferBitDepth = 16;
        format.lGBitMask = 0xFFFF;  // the depth mask shares this slot in the published layout
        return;
    }
    format.lFlags = DDPF_RGB;
    format.lRGBBitCount = 16;
    format.lRBitMask = 0xF800;
    format.lGBitMask = 0x07E0;
    format.lBBitMask = 0x001F;
}

void DirectDrawSurface7::Flip(DirectDrawSurface7* overrideSurface, int32_t flags) {
    CheckAlive();
    if ((desc_.ddsCaps.lCaps & DDSCAPS_FLIP) == 0 || !backBuffer_) {
        throw DxError(DDERR_NOTFLIPPABLE, "Flip of a surface without a back buffer");
    }
    DirectDrawSurface7* back = overrideSurface ? overrideSurface : backBuffer_.get();
    back->CheckAlive();
    Settle();
    back->Settle();
    if (back->width_ != width_ || back->height_ != height_) {
        throw DxError(DDERR_INVALIDPARAMS, "Flip with a surface of another size");
    }
    // As on the hardware, the buffers trade places: the finished frame is shown and the back
    // buffer now holds the frame shown before it.
    pixels_.swap(back->pixels_);
    ++changes_;
    ++back->changes_;
    // A page flip takes effect at the vertical refresh unless told not to wait for it.
    if ((flags & DDFLIP_NOVSYNC) == 0) owner_->host_.WaitForVerticalRefresh();
    DX_TRACE(Flip(*this, overrideSurface));
    owner_->host_.Present(pixels_.data(), width_, height_, width_);
    // Between two frames nothing is drawing: the moment to take up another display scale.
    // The surfaces stay the same objects, so whatever holds them keeps working.
    const int32_t wanted = owner_->host_.DisplayScale();
    if (wanted != scale_ && overrideSurface == nullptr) {
        if (backBuffer_->attachedDepth_) backBuffer_->attachedDepth_->Rescale(wanted);
        backBuffer_->Rescale(wanted);
        Rescale(wanted);
        owner_->displayScale_ = wanted;
    }
}

SurfacePtr DirectDrawSurface7::GetAttachedSurface(const DDSCAPS2& caps) {
    CheckAlive();
    if ((caps.lCaps & DDSCAPS_BACKBUFFER) != 0 && backBuffer_) return backBuffer_;
    if ((caps.lCaps & DDSCAPS_ZBUFFER) != 0 && attachedDepth_) return attachedDepth_;
    throw DxError(DDERR_NOTFOUND, "no attached surface with these caps");
}

void DirectDrawSurface7::AddAttachedSurface(const SurfacePtr& surface) {
    CheckAlive();
    if (!surface || !surface->IsDepth()) {
        throw DxError(DDERR_INVALIDPARAMS, "only a depth surface can be attached");
    }
    // A depth surface holding a depth surface (itself, say) is meaningless, and would keep
    // itself alive for ever.
    if (IsDepth()) {
        throw DxError(DDERR_CANNOTATTACHSURFACE, "a depth surface takes no depth surface");
    }
    if (attachedDepth_) throw DxError(DDERR_SURFACEALREADYATTACHED, "depth already attached");
    if (surface->LogicalWidth() != LogicalWidth() || surface->LogicalHeight() != LogicalHeight()) {
        throw DxError(DDERR_INVALIDPARAMS, "depth surface of another size");
    }
    // The depth buffer of a scaled back buffer holds a depth for every pixel drawn.
    surface->Rescale(scale_);
    attachedDepth_ = surface;
    DX_TRACE(AttachDepth(*this, *surface));
}

std::shared_ptr<DirectDrawGammaControl> DirectDrawSurface7::GetDirectDrawGammaControl() {
    CheckAlive();
    if ((desc_.ddsCaps.lCaps & DDSCAPS_PRIMARYSURFACE) == 0) {
        throw DxError(DDERR_UNSUPPORTED, "gamma control exists on the primary surface only");
    }
    if (!gamma_) gamma_ = std::make_shared<DirectDrawGammaControl>();
    return gamma_;
}

// ---------------------------------------------------------------- DirectDraw

DirectDraw7::DirectDraw7(Host& host) : host_(host) {}

void DirectDraw7::GetCaps(DDCAPS& hardware, DDCAPS& emulation) const {
    hardware = DDCAPS{};
    hardware.lVidMemTotal = hardware.lVidMemFree = 64 << 20;
    emulation = DDCAPS{};
}

void DirectDraw7::SetCooperativeLevel(int32_t, int32_t flags) {
    DxFaultPoint("SetCooperativeLevel");
    const bool full = (flags & DDSCL_FULLSCREEN) != 0, exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    if (full != exclusive) throw DxError(DDERR_INVALIDPARAMS, "full screen needs exclusive mode");
    cooperativeLevel_ = flags;
    DX_TRACE(CooperativeLevel(flags));
}

void DirectDraw7::SetDisplayMode(int32_t width, int32_t height, int32_t bpp, int32_t, int32_t) {
    DxFaultPoint("SetDisplayMode");
    if ((cooperativeLevel_ & DDSCL_EXCLUSIVE) == 0) {
        throw DxError(DDERR_NOEXCLUSIVEMODE, "display mode needs exclusive mode");
    }
    const bool known = (width == 640 && height == 480) || (width == 320 && height == 240) ||
                       (width == 800 && height == 600) || (width == 1024 && height == 768);
    if (!known || bpp != 16) throw DxError(DDERR_INVALIDMODE, "unsupported display mode");
    displayWidth_ = width;
    displayHeight_ = height;
    displayScale_ = host_.DisplayScale();
    DX_TRACE(DisplayMode(width, height, bpp));
    host_.SetFrameSize(width, height);
}

void DirectDraw7::RestoreDisplayMode() {
    displayWidth_ = displayHeight_ = 0;
}

SurfacePtr DirectDraw7::CreateSurface(DDSURFACEDESC2& desc) {
    DxFaultPoint("CreateSurface");
    const int32_t caps = desc.ddsCaps.lCaps;
    if ((caps & DDSCAPS_PRIMARYSURFACE) != 0) {
        if (displayWidth_ == 0) throw DxError(DDERR_NOEXCLUSIVEMODE, "no display mode set");
        if (primaryExists_) {
            throw DxError(DDERR_PRIMARYSURFACEALREADYEXISTS, "primary surface exists");
        }
        DDSURFACEDESC2 d = desc;
        d.lWidth = displayWidth_;
        d.lHeight = displayHeight_;
        auto primary = std::make_shared<DirectDrawSurface7>(this, d, displayScale_);
        if ((caps & DDSCAPS_FLIP) != 0) {
            if ((desc.lFlags & DDSD_BACKBUFFERCOUNT) == 0 || desc.lBackBufferCount != 1) {
                throw DxError(DDERR_INVALIDPARAMS, "a flipping primary needs one back buffer");
            }
            DDSURFACEDESC2 b = d;
            b.ddsCaps.lCaps = DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE | DDSCAPS_FLIP;
            b.lBackBufferCount = 0;
            primary->backBuffer_ = std::make_shared<DirectDrawSurface7>(this, b, displayScale_);
        }
        primaryExists_ = true;
        primary_ = primary;
        DX_TRACE(CreateSurface(*primary, desc));
        if (primary->backBuffer_) DX_TRACE(BackBuffer(*primary, *primary->backBuffer_));
        return primary;
    }
    if ((desc.lFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) {
        throw DxError(DDERR_INVALIDPARAMS, "surface description without a size");
    }
    if ((desc.lFlags & DDSD_PIXELFORMAT) != 0 && (caps & DDSCAPS_ZBUFFER) == 0 &&
        desc.ddpfPixelFormat.lRGBBitCount != 16) {
        throw DxError(DDERR_INVALIDPIXELFORMAT, "only 16-bit surfaces exist here");
    }
    auto surface = std::make_shared<DirectDrawSurface7>(this, desc);
    DX_TRACE(CreateSurface(*surface, desc));
    return surface;
}

RgbImage DecodeImage(const std::vector<uint8_t>& bytes) {
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT32_MAX)) {
        throw DxError(DDERR_INVALIDPIXELFORMAT, "image data is empty");
    }
    if (const std::string problem = ImageStructureProblem(bytes); !problem.empty()) {
        throw DxError(DDERR_INVALIDPIXELFORMAT, "image does not decode: " + problem);
    }
    int w = 0, h = 0, n = 0;
    if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n) ||
        w <= 0 || h <= 0 || w > kMaxSurfaceSide || h > kMaxSurfaceSide) {
        throw DxError(DDERR_INVALIDPIXELFORMAT, "image does not decode");
    }
    unsigned char* data =
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n, 3);
    if (data == nullptr) throw DxError(DDERR_INVALIDPIXELFORMAT, "image does not decode");
    RgbImage img;
    img.width = w;
    img.height = h;
    img.pixels.resize(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < img.pixels.size(); ++i) {
        img.pixels[i] = static_cast<uint32_t>(data[i * 3]) << 16 |
                        static_cast<uint32_t>(data[i * 3 + 1]) << 8 | data[i * 3 + 2];
    }
    stbi_image_free(data);
    return img;
}

SurfacePtr DirectDraw7::CreateSurfaceFromMemory(const std::vector<uint8_t>& bytes,
                                                DDSURFACEDESC2& desc) {
    const RgbImage img = DecodeImage(bytes);
    DDSURFACEDESC2 d = desc;
    if ((d.lFlags & DDSD_WIDTH) == 0 || d.lWidth <= 0) d.lWidth = img.width;
    if ((d.lFlags & DDSD_HEIGHT) == 0 || d.lHeight <= 0) d.lHeight = img.height;
    d.lFlags |= DDSD_WIDTH | DDSD_HEIGHT;
    SurfacePtr s = CreateSurface(d);
    for (int y = 0; y < s->Height(); ++y) {
        const int sy = static_cast<int>(static_cast<int64_t>(y) * img.height / s->Height());
        uint16_t* out = s->Row(y);
        for (int x = 0; x < s->Width(); ++x) {
            const int sx = static_cast<int>(static_cast<int64_t>(x) * img.width / s->Width());
            out[x] = Rgb565FromRgb(img.pixels[static_cast<size_t>(sy) * img.width + sx]);
        }
    }
    DX_TRACE(SurfacePixels(*s, 0, 0, s->LogicalWidth(), s->LogicalHeight()));
    return s;
}

SurfacePtr DirectDraw7::CreateSurfaceFromFile(const std::string& path, DDSURFACEDESC2& desc) {
    std::ifstream in(FilePath(path), std::ios::binary);
    if (!in) throw DxError(DDERR_NOTFOUND, "image file not found: " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    return CreateSurfaceFromMemory(bytes, desc);
}

std::vector<uint8_t> EncodePng565(const uint16_t* pixels, int width, int height, int pitch) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = RgbFrom565(pixels[static_cast<size_t>(y) * pitch + x]);
            uint8_t* o = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            o[0] = static_cast<uint8_t>(c >> 16);
            o[1] = static_cast<uint8_t>(c >> 8);
            o[2] = static_cast<uint8_t>(c);
        }
    }
    std::vector<uint8_t> png;
    const auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        const auto* bytes = static_cast<const uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
    };
    if (stbi_write_png_to_func(append, &png, width, height, 3, rgb.data(), width * 3) == 0) {
        png.clear();
    }
    return png;
}

bool WritePng565(const std::string& path, const uint16_t* pixels, int width, int height,
                 int pitch) {
    const std::vector<uint8_t> png = EncodePng565(pixels, width, height, pitch);
    if (png.empty()) return false;
    std::ofstream out(FilePath(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(out.flush());
}
