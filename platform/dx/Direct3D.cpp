// The Direct3D object, the device's calls and vertex buffers: argument checks, state, and the
// per-draw choice of span kernels and constants before vertices go down the pipeline.
#include "platform/dx/Direct3D.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/dx/D3DPipeline.h"
#include "platform/dx/D3DRasterQueue.h"
#include "platform/dx/DxError.h"
#include "platform/dx/DxErrorCodes.h"
#include "platform/dx/DxTrace.h"
#include "platform/host/System.h"

using d3d::DeviceCore;
using d3d::DeviceState;

namespace {

constexpr const char* kHalDevice = "IID_IDirect3DHALDevice";
constexpr int32_t kMaxTextureSide = 4096;

DDPIXELFORMAT DepthFormat16() {
    DDPIXELFORMAT f;
    f.lFlags = DDPF_ZBUFFER;
    f.lRGBBitCount = 16;
    f.lZBufferBitDepth = 16;
    f.lGBitMask = 0xFFFF;  // the depth mask shares this slot in the published layout
    return f;
}

DDPIXELFORMAT Rgb565Format() {
    DDPIXELFORMAT f;
    f.lFlags = DDPF_RGB;
    f.lRGBBitCount = 16;
    f.lRBitMask = 0xF800;
    f.lGBitMask = 0x07E0;
    f.lBBitMask = 0x001F;
    return f;
}

DDSURFACEDESC2 Describe(const DirectDrawSurface7& surface) {
    DDSURFACEDESC2 desc;
    surface.GetSurfaceDesc(desc);
    return desc;
}

void CheckSurface(const SurfacePtr& surface, const char* what) {
    if (!surface) throw DxError(DDERR_INVALIDPARAMS, std::string(what) + ": no surface");
    if (surface->IsReleased()) throw DxError(DDERR_SURFACELOST, std::string(what) + ": released");
}

// A render target: a 3D-capable colour surface; its attached depth surface must cover it.
SurfacePtr CheckTarget(const SurfacePtr& target) {
    CheckSurface(target, "render target");
    if (target->IsDepth()) throw DxError(DDERR_INVALIDCAPS, "a depth surface as render target");
    if ((Describe(*target).ddsCaps.lCaps & DDSCAPS_3DDEVICE) == 0) {
        throw DxError(DDERR_INVALIDCAPS, "render target without DDSCAPS_3DDEVICE");
    }
    SurfacePtr depth = target->AttachedDepth();
    if (depth && (depth->Width() < target->Width() || depth->Height() < target->Height())) {
        throw DxError(DDERR_INVALIDPARAMS, "depth surface smaller than the target");
    }
    return depth;
}

// Viewports, clear rectangles and pre-transformed positions are in the program's pixels; the
// device maps them onto the target's stored pixels (a scaled back buffer holds more).
D3DVIEWPORT7 WholeViewport(const DirectDrawSurface7& s) {
    D3DVIEWPORT7 vp;
    vp.lWidth = s.LogicalWidth();
    vp.lHeight = s.LogicalHeight();
    return vp;
}

void CheckPrimitiveType(int32_t type) {
    if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) {
        throw DxError(D3DERR_INVALIDPRIMITIVETYPE, "primitive type " + std::to_string(type));
    }
}

uint16_t Rgb565Truncated(int32_t argb) {
    const uint32_t c = static_cast<uint32_t>(argb);
    return static_cast<uint16_t>(((c >> 19) & 0x1F) << 11 | ((c >> 10) & 0x3F) << 5 |
                                 ((c >> 3) & 0x1F));
}

// Blend factor as (constant, × source colour, × source alpha, × destination colour); the
// target has no alpha, so destination alpha is 1.
void BlendFactor(int32_t factor, bool source, float k[4]) {
    constexpr float c = 1.0f / 255.0f;
    const float table[14][4] = {
        {0, 0, 0, 0},   // unused
        {0, 0, 0, 0},   // ZERO
        {1, 0, 0, 0},   // ONE
        {0, c, 0, 0},   // SRCCOLOR
        {1, -c, 0, 0},  // INVSRCCOLOR
        {0, 0, 1, 0},   // SRCALPHA
        {1, 0, -1, 0},  // INVSRCALPHA
        {1, 0, 0, 0},   // DESTALPHA
        {0, 0, 0, 0},   // INVDESTALPHA
        {0, 0, 0, c},   // DESTCOLOR
        {1, 0, 0, -c},  // INVDESTCOLOR
        {0, 0, 0, 0},   // SRCALPHASAT: min(As, 1 - Ad) = 0
        {0, 0, 1, 0},   // BOTHSRCALPHA as source
        {1, 0, -1, 0},  // BOTHINVSRCALPHA as source
    };
    int32_t row = factor;
    // As a destination factor the BOTH forms give their destination half.
    if (!source && factor == D3DBLEND_BOTHSRCALPHA) row = D3DBLEND_INVSRCALPHA;
    if (!source && factor == D3DBLEND_BOTHINVSRCALPHA) row = D3DBLEND_SRCALPHA;
    std::copy(table[row], table[row] + 4, k);
}

// A comparison function as masks for "less", "equal" and "greater".
void ComparisonMasks(int32_t func, int32_t& less, int32_t& equal, int32_t& greater) {
    static constexpr int32_t kMasks[9][3] = {
        {0, 0, 0},  {0, 0, 0},   {-1, 0, 0},  {0, -1, 0},   {-1, -1, 0},
        {0, 0, -1}, {-1, 0, -1}, {0, -1, -1}, {-1, -1, -1},
    };
    less = kMasks[func][0];
    equal = kMasks[func][1];
    greater = kMasks[func][2];
}

constexpr int32_t kBayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Render state values the device cannot carry out. Direct3D 7 lets a device leave alone what
// only asks for quality (ANTIALIAS, EDGEANTIALIAS, STIPPLEDALPHA, TEXTUREPERSPECTIVE off) or
// promises that nothing needs clipping (CLIPPING off), and the stencil states other than
// STENCILENABLE do nothing while it is off; those are kept and ignored. What would leave pixels
// drawn that the caller asked to be left alone, or drawn otherwise, is refused.
void CheckRenderStateValue(int32_t state, int32_t value) {
    auto unsupported = [&](int32_t number, const char* what) {
        throw DxError(number, std::string(what) + " (render state " + std::to_string(state) +
                                  " value " + std::to_string(value) + ")");
    };
    if (value == 0) return;
    switch (state) {
        case D3DRENDERSTATE_STENCILENABLE:
            unsupported(D3DERR_STENCILBUFFER_NOTPRESENT, "the depth surface has no stencil");
            break;
        case D3DRENDERSTATE_ZENABLE:
            if (value == D3DZB_USEW) unsupported(DDERR_UNSUPPORTED, "w-buffering");
            break;
        case D3DRENDERSTATE_LINEPATTERN:
            // D3DLINEPATTERN: the repeat factor in the low word; 0 draws solid lines.
            if ((value & 0xFFFF) != 0) unsupported(DDERR_UNSUPPORTED, "patterned lines");
            break;
        case D3DRENDERSTATE_COLORKEYBLENDENABLE:
            unsupported(DDERR_UNSUPPORTED, "alpha-blended colour keying");
            break;
        case D3DRENDERSTATE_VERTEXBLEND:
            unsupported(DDERR_UNSUPPORTED, "vertex blending");
            break;
        case D3DRENDERSTATE_CLIPPLANEENABLE:
            unsupported(DDERR_UNSUPPORTED, "user clip planes");
            break;
        default:
            if (state >= D3DRENDERSTATE_WRAP0 && state <= D3DRENDERSTATE_WRAP0 + 7) {
                unsupported(DDERR_UNSUPPORTED, "texture coordinate wrapping");
            }
            break;
    }
}

void CheckStageValue(int32_t stage, int32_t type, int32_t value) {
    auto unsupported = [](int32_t number) {
        throw DxError(number, "texture stage state the device does not implement");
    };
    const bool first = stage == 0;
    switch (type) {
        case D3DTSS_COLOROP:
        case D3DTSS_ALPHAOP: {
            const int32_t error = type == D3DTSS_COLOROP ? D3DERR_UNSUPPORTEDCOLOROPERATION
                                                         : D3DERR_UNSUPPORTEDALPHAOPERATION;
            if (value < D3DTOP_DISABLE || value > 24) {
                throw DxError(DDERR_INVALIDPARAMS, "texture operation out of range");
            }
            if (value > D3DTOP_MODULATE || (!first && value != D3DTOP_DISABLE)) {
                unsupported(error);
            }
            break;
        }
        case D3DTSS_COLORARG1:
        case D3DTSS_COLORARG2:
        case D3DTSS_ALPHAARG1:
        case D3DTSS_ALPHAARG2: {
            const bool colour = type == D3DTSS_COLORARG1 || type == D3DTSS_COLORARG2;
            if ((value & 0xF) > D3DTA_SPECULAR || (value & ~0x3F) != 0) {
                throw DxError(DDERR_INVALIDPARAMS, "texture argument out of range");
            }
            if ((value & ~0xF) != 0 || (value & 0xF) > D3DTA_TEXTURE) {
                unsupported(colour ? D3DERR_UNSUPPORTEDCOLORARG : D3DERR_UNSUPPORTEDALPHAARG);
            }
            break;
        }
        case D3DTSS_ADDRESS:
        case D3DTSS_ADDRESSU:
        case D3DTSS_ADDRESSV:
            if (value < D3DTADDRESS_WRAP || value > D3DTADDRESS_BORDER) {
                throw DxError(DDERR_INVALIDPARAMS, "texture address mode out of range");
            }
            if (value != D3DTADDRESS_WRAP) unsupported(DDERR_UNSUPPORTED);
            break;
        case D3DTSS_MAGFILTER:
            if (value < D3DTFG_POINT || value > 5) {
                throw DxError(DDERR_INVALIDPARAMS, "magnification filter out of range");
            }
            if (value > D3DTFG_LINEAR) unsupported(D3DERR_UNSUPPORTEDTEXTUREFILTER);
            break;
        case D3DTSS_MINFILTER:
            if (value < D3DTFN_POINT || value > 3) {
                throw DxError(DDERR_INVALIDPARAMS, "minification filter out of range");
            }
            if (value > D3DTFN_LINEAR) unsupported(D3DERR_UNSUPPORTEDTEXTUREFILTER);
            break;
        case D3DTSS_MIPFILTER:
            // Textures here have no mip levels, so every mip filter samples the top level.
            if (value < D3DTFP_NONE || value > D3DTFP_LINEAR) {
                throw DxError(DDERR_INVALIDPARAMS, "mip filter out of range");
            }
            break;
        case D3DTSS_TEXCOORDINDEX:
            if (first && value != 0) unsupported(DDERR_UNSUPPORTED);
            break;
        case D3DTSS_TEXTURETRANSFORMFLAGS:
            if (value != 0) unsupported(DDERR_UNSUPPORTED);
            break;
        default:
            break;
    }
}

}  // namespace

// ---------------------------------------------------------------- the Direct3D object

std::shared_ptr<Direct3D7> DirectDraw7::GetDirect3D() {
    DxFaultPoint("GetDirect3D");
    return std::make_shared<Direct3D7>(*this);
}

std::string Direct3DEnumDevices::GetGuid(int32_t index) const {
    if (index != 1) throw DxError(DDERR_INVALIDPARAMS, "device enumeration index");
    return kHalDevice;
}
std::string Direct3DEnumDevices::GetName(int32_t index) const {
    if (index != 1) throw DxError(DDERR_INVALIDPARAMS, "device enumeration index");
    return "Direct3D HAL";
}
std::string Direct3DEnumDevices::GetDescription(int32_t index) const {
    if (index != 1) throw DxError(DDERR_INVALIDPARAMS, "device enumeration index");
    return "Software rasteriser for 16-bit RGB 565 surfaces";
}

void Direct3DEnumPixelFormats::GetItem(int32_t index, DDPIXELFORMAT& format) const {
    if (index < 1 || index > GetCount()) {
        throw DxError(DDERR_INVALIDPARAMS, "pixel format enumeration index");
    }
    format = formats_[static_cast<size_t>(index - 1)];
}

std::shared_ptr<Direct3DEnumDevices> Direct3D7::GetDevicesEnum() {
    return std::make_shared<Direct3DEnumDevices>();
}

std::shared_ptr<Direct3DEnumPixelFormats> Direct3D7::GetEnumZBufferFormats(
    const std::string& guid) {
    if (guid != kHalDevice) throw DxError(D3DERR_INVALID_DEVICE, "unknown device " + guid);
    return std::make_shared<Direct3DEnumPixelFormats>(std::vector<DDPIXELFORMAT>{DepthFormat16()});
}

std::shared_ptr<Direct3DDevice7> Direct3D7::CreateDevice(const std::string& guid,
                                                         const SurfacePtr& renderTarget) {
    DxFaultPoint("CreateDevice");
    if (guid != kHalDevice) throw DxError(D3DERR_INVALID_DEVICE, "unknown device " + guid);
    auto device = std::make_shared<Direct3DDevice7>(renderTarget);
    DX_TRACE(CreateDevice(*device, *renderTarget));
    return device;
}

std::shared_ptr<Direct3DVertexBuffer7> Direct3D7::CreateVertexBuffer(
    const D3DVERTEXBUFFERDESC& desc, int32_t) {
    DxFaultPoint("CreateVertexBuffer");
    auto buffer = std::make_shared<Direct3DVertexBuffer7>(desc);
    DX_TRACE(CreateVertexBuffer(*buffer, desc));
    return buffer;
}

// ---------------------------------------------------------------- vertex buffers

Direct3DVertexBuffer7::Direct3DVertexBuffer7(const D3DVERTEXBUFFERDESC& desc) : desc_(desc) {
    constexpr int32_t kKnownCaps =
        D3DVBCAPS_DONOTCLIP | D3DVBCAPS_SYSTEMMEMORY | D3DVBCAPS_WRITEONLY;
    if ((desc.lCaps & ~kKnownCaps) != 0) {
        throw DxError(DDERR_INVALIDPARAMS, "vertex buffer capabilities");
    }
    if (desc.lNumVertices < 1 || desc.lNumVertices > D3DMAXNUMVERTICES) {
        throw DxError(DDERR_INVALIDPARAMS, "vertex buffer size");
    }
    layout_ = std::make_unique<d3d::FvfLayout>(d3d::ParseFvf(desc.lFVF));
    data_.assign(static_cast<size_t>(desc.lNumVertices) * static_cast<size_t>(layout_->stride),
                 std::byte{0});
    clip_.assign(static_cast<size_t>(desc.lNumVertices), ClipPosition{});
}

Direct3DVertexBuffer7::~Direct3DVertexBuffer7() {
    DX_TRACE(Forget(this));
}

int32_t Direct3DVertexBuffer7::Stride() const {
    return layout_->stride;
}

void Direct3DVertexBuffer7::CheckUsable(const char* operation) const {
    if (locked_) {
        throw DxError(D3DERR_VERTEXBUFFERLOCKED, std::string(operation) + " of a locked buffer");
    }
}

std::span<std::byte> Direct3DVertexBuffer7::Lock(int32_t flags) {
    if (locked_) throw DxError(D3DERR_VERTEXBUFFERLOCKED, "vertex buffer locked twice");
    if (optimized_) throw DxError(D3DERR_VERTEXBUFFEROPTIMIZED, "lock of an optimised buffer");
    locked_ = true;
    DX_TRACE(LockVertexBuffer(*this, flags));
    // Whatever is written now is not what processing left, so its clip positions are gone.
    if ((flags & DDLOCK_READONLY) == 0) {
        for (ClipPosition& c : clip_) c.valid = false;
    }
    return {data_.data(), data_.size()};
}

void Direct3DVertexBuffer7::Unlock() {
    if (!locked_) throw DxError(D3DERR_VERTEXBUFFERUNLOCKFAILED, "unlock of an unlocked buffer");
    locked_ = false;
    DX_TRACE(UnlockVertexBuffer(*this, data_));
}

void Direct3DVertexBuffer7::SetVertices(int32_t start, int32_t count, const void* vertices) {
    if (!locked_) throw DxError(DDERR_NOTLOCKED, "SetVertices without Lock");
    if (start < 0 || count < 0 || count > desc_.lNumVertices - start ||
        (count > 0 && vertices == nullptr)) {
        throw DxError(DDERR_INVALIDPARAMS, "SetVertices outside the buffer");
    }
    const size_t stride = static_cast<size_t>(layout_->stride);
    if (count > 0) {
        std::memcpy(data_.data() + static_cast<size_t>(start) * stride, vertices,
                    static_cast<size_t>(count) * stride);
    }
}

void Direct3DVertexBuffer7::GetVertices(int32_t start, int32_t count, void* vertices) const {
    if (!locked_) throw DxError(DDERR_NOTLOCKED, "GetVertices without Lock");
    if (start < 0 || count < 0 || count > desc_.lNumVertices - start ||
        (count > 0 && vertices == nullptr)) {
        throw DxError(DDERR_INVALIDPARAMS, "GetVertices outside the buffer");
    }
    const size_t stride = static_cast<size_t>(layout_->stride);
    if (count > 0) {
        std::memcpy(vertices, data_.data() + static_cast<size_t>(start) * stride,
                    static_cast<size_t>(count) * stride);
    }
}

void Direct3DVertexBuffer7::Optimize(Direct3DDevice7&, int32_t) {
    CheckUsable("Optimize");
    optimized_ = true;
    desc_.lCaps |= D3DVBCAPS_OPTIMIZED;
    DX_TRACE(OptimizeVertexBuffer(*this));
}

void Direct3DVertexBuffer7::ProcessVertices(int32_t op, int32_t destIndex, int32_t count,
                                            Direct3DVertexBuffer7& source, int32_t sourceIndex,
                                            Direct3DDevice7& device, int32_t flags) {
    CheckUsable("ProcessVertices");
    source.CheckUsable("ProcessVertices");
    if (optimized_) throw DxError(D3DERR_VERTEXBUFFEROPTIMIZED, "processing into optimised");
    if ((op & D3DVOP_TRANSFORM) == 0 ||
        (op & ~(D3DVOP_TRANSFORM | D3DVOP_CLIP | D3DVOP_EXTENTS | D3DVOP_LIGHT)) != 0) {
        throw DxError(DDERR_INVALIDPARAMS, "vertex operation");
    }
    if (!layout_->transformed || source.layout_->transformed) {
        throw DxError(D3DERR_INVALIDVERTEXFORMAT,
                      "ProcessVertices needs untransformed source "
                      "and pre-transformed destination formats");
    }
    if ((op & D3DVOP_CLIP) != 0 && (desc_.lCaps & D3DVBCAPS_DONOTCLIP) != 0) {
        throw DxError(DDERR_INVALIDPARAMS, "clipping into a buffer made without clip data");
    }
    if (count < 0 || destIndex < 0 || sourceIndex < 0 || count > Capacity() - destIndex ||
        count > source.Capacity() - sourceIndex) {
        throw DxError(DDERR_INVALIDPARAMS, "ProcessVertices outside a buffer");
    }
    DX_TRACE(ProcessVertices(*this, op, destIndex, count, source, sourceIndex, device, flags));
    DeviceCore& core = *device.core_;
    const DeviceState& s = core.state;
    const bool light = (op & D3DVOP_LIGHT) != 0 && s.on(D3DRENDERSTATE_LIGHTING);
    // The program may read what it processed: positions in its own pixels.
    d3d::PrepareVertexPipeline(s, light, core.pipeline, 1);
    core.processed.resize(static_cast<size_t>(count));
    const size_t srcStride = static_cast<size_t>(source.layout_->stride);
    d3d::ProcessUntransformed(core.pipeline, *source.layout_,
                              source.data_.data() + static_cast<size_t>(sourceIndex) * srcStride,
                              count, core.processed.data());
    const size_t stride = static_cast<size_t>(layout_->stride);
    d3d::WriteTransformed(*layout_, core.processed.data(), count,
                          data_.data() + static_cast<size_t>(destIndex) * stride);
    const bool keep = (op & D3DVOP_CLIP) != 0;
    for (int32_t i = 0; i < count; ++i) {
        const d3d::ProcessedVertex& v = core.processed[static_cast<size_t>(i)];
        clip_[static_cast<size_t>(destIndex + i)] = ClipPosition{v.cx, v.cy, v.cz, v.cw, keep};
    }
}

// ---------------------------------------------------------------- the device

namespace {

// The draw's kernels and constants, from the render and texture-stage states.
void PrepareRaster(DeviceCore& core, d3d::RasterDraw& rd, d3d::AttrScale& scale) {
    DeviceState& s = core.state;
    CheckSurface(s.target, "render target");
    DirectDrawSurface7& target = *s.target;
    d3d::SpanContext& span = rd.span;
    span = d3d::SpanContext{};
    span.color = target.PixelsForDevice();
    span.colorPitch = target.Pitch();

    const int32_t pixelScale = target.Scale();
    const D3DVIEWPORT7 vp = d3d::ScaledViewport(s.viewport, pixelScale);
    rd.left = std::clamp(vp.lX, 0, target.Width());
    rd.top = std::clamp(vp.lY, 0, target.Height());
    rd.right = std::clamp(vp.lX + vp.lWidth, rd.left, target.Width());
    rd.bottom = std::clamp(vp.lY + vp.lHeight, rd.top, target.Height());
    rd.screen = d3d::MakeScreenMap(s.viewport, pixelScale);
    rd.pixelSize = pixelScale;
    rd.cull = s.rs(D3DRENDERSTATE_CULLMODE);
    rd.fill = s.rs(D3DRENDERSTATE_FILLMODE);
    rd.flat = s.rs(D3DRENDERSTATE_SHADEMODE) == D3DSHADE_FLAT;
    rd.lastPixel = s.on(D3DRENDERSTATE_LASTPIXEL);

    const bool depthOn = s.on(D3DRENDERSTATE_ZENABLE) && s.depth && !s.depth->IsReleased();
    const bool depthWrite = s.on(D3DRENDERSTATE_ZWRITEENABLE);
    const int32_t func = s.rs(D3DRENDERSTATE_ZFUNC);
    if (depthOn && (func != D3DCMP_ALWAYS || depthWrite)) {
        span.depthMode = depthWrite ? d3d::ZMode::TestWrite : d3d::ZMode::Test;
        span.depth = s.depth->PixelsForDevice();
        span.depthPitch = s.depth->Pitch();
        ComparisonMasks(func, span.zLess, span.zEqual, span.zGreater);
    }
    // Each step of ZBIAS takes depths one step of the 16-bit buffer nearer.
    rd.zBias = static_cast<float>(s.rs(D3DRENDERSTATE_ZBIAS)) / 65535.0f;

    // Stage 0. A stage argument names the texture or the diffuse colour (CURRENT is diffuse
    // in the first stage). Without a texture the texture argument is white for colour and,
    // as documented, the diffuse alpha for alpha; a 565 texture's own alpha is 1.
    const SurfacePtr& texture = s.textures[0];
    const bool hasTexture = texture && !texture->IsReleased();
    auto selected = [&](int32_t op, int32_t arg1, int32_t arg2, int32_t& count) {
        int32_t args[2] = {-1, -1};
        if (op == D3DTOP_SELECTARG1) args[0] = arg1;
        if (op == D3DTOP_SELECTARG2) args[0] = arg2;
        if (op == D3DTOP_MODULATE) args[0] = arg1, args[1] = arg2;
        if (op == D3DTOP_DISABLE) args[0] = D3DTA_DIFFUSE;
        int32_t textures = 0, diffuse = 0;
        for (int32_t a : args) {
            if (a == D3DTA_TEXTURE) ++textures;
            if (a == D3DTA_DIFFUSE || a == D3DTA_CURRENT) ++diffuse;
        }
        count = diffuse;
        return textures;
    };
    int32_t colourDiffuse = 0, alphaDiffuse = 0;
    const int32_t colourTextures = selected(s.tss(D3DTSS_COLOROP), s.tss(D3DTSS_COLORARG1),
                                            s.tss(D3DTSS_COLORARG2), colourDiffuse);
    const int32_t alphaTextures = selected(s.tss(D3DTSS_ALPHAOP), s.tss(D3DTSS_ALPHAARG1),
                                           s.tss(D3DTSS_ALPHAARG2), alphaDiffuse);
    if (colourTextures > 1 || colourDiffuse > 1) {
        throw DxError(D3DERR_UNSUPPORTEDCOLOROPERATION, "an argument modulated by itself");
    }
    const bool sampled = hasTexture && colourTextures == 1;
    scale.whiteDiffuse = colourDiffuse == 0;
    scale.opaqueAlpha = alphaDiffuse == 0 && (hasTexture || alphaTextures == 0);
    scale.u = scale.v = 1;
    // The kernels' colours are 8-bit units × 128.
    scale.r = scale.g = scale.b = 128;
    d3d::TexMode magnify = d3d::TexMode::None, minify = d3d::TexMode::None;
    if (sampled) {
        DirectDrawSurface7& t = *texture;
        if (core.queue) core.queue->BeforeSampling(t);
        if (t.Width() * t.Height() >= 2) {
            span.texels = t.PixelsForDevice();
        } else {
            rd.tinyTexture.fill(t.PixelsForDevice()[0]);
            span.texels = rd.tinyTexture.data();
        }
        span.texWidth = t.Width();
        span.texHeight = t.Height();
        span.texCount = std::max(2, t.Width() * t.Height());
        span.texWidthF = static_cast<float>(t.Width());
        span.texHeightF = static_cast<float>(t.Height());
        span.invTexWidth = 1.0f / span.texWidthF;
        span.invTexHeight = 1.0f / span.texHeightF;
        if (s.on(D3DRENDERSTATE_COLORKEYENABLE) && t.HasSourceColorKey()) {
            const DDCOLORKEY key = t.SourceColorKey();
            if ((key.low & 0xFFFF) <= (key.high & 0xFFFF)) {
                span.keyLow = key.low & 0xFFFF;
                span.keyHigh = key.high & 0xFFFF;
            }
        }
        scale.u = span.texWidthF;
        scale.v = span.texHeightF;
        // Texels arrive as fractions of one × 65536 / 32 (red, blue) or / 64 (green); the
        // diffuse factor makes the high half of their product 8-bit units × 128.
        scale.r = scale.b = 128.0f * 32.0f / 31.0f;
        scale.g = 128.0f * 64.0f / 63.0f;
        auto mode = [](int32_t filter) {
            return filter == D3DTFG_LINEAR ? d3d::TexMode::Linear : d3d::TexMode::Point;
        };
        magnify = mode(s.tss(D3DTSS_MAGFILTER));
        minify = mode(s.tss(D3DTSS_MINFILTER));
        if (magnify == d3d::TexMode::Linear || minify == d3d::TexMode::Linear) {
            span.quads = t.TexelQuads();
        }
    }
    target.NotePixelsChanged();

    const bool fog = s.on(D3DRENDERSTATE_FOGENABLE);
    const bool specular = s.on(D3DRENDERSTATE_SPECULARENABLE);
    span.fog = fog;
    span.specular = specular;
    scale.noFog = !fog;
    const uint32_t fogColor = static_cast<uint32_t>(s.rs(D3DRENDERSTATE_FOGCOLOR));
    span.fogR = static_cast<float>((fogColor >> 16) & 0xFF);
    span.fogG = static_cast<float>((fogColor >> 8) & 0xFF);
    span.fogB = static_cast<float>(fogColor & 0xFF);

    if (s.on(D3DRENDERSTATE_ALPHABLENDENABLE)) {
        const int32_t src = s.rs(D3DRENDERSTATE_SRCBLEND), dst = s.rs(D3DRENDERSTATE_DESTBLEND);
        if (src == D3DBLEND_ONE && dst == D3DBLEND_ONE) {
            span.blendMode = d3d::BlendMode::Add;
        } else if (!(src == D3DBLEND_ONE && dst == D3DBLEND_ZERO)) {
            span.blendMode = d3d::BlendMode::Generic;
            BlendFactor(src, true, span.blend[0]);
            BlendFactor(dst, false, span.blend[1]);
            if (src == D3DBLEND_BOTHSRCALPHA)
                BlendFactor(D3DBLEND_INVSRCALPHA, false, span.blend[1]);
            if (src == D3DBLEND_BOTHINVSRCALPHA)
                BlendFactor(D3DBLEND_SRCALPHA, false, span.blend[1]);
        }
    }

    // ALWAYS passes every pixel: such draws keep the kernels without the test.
    const int32_t alphaFunc = s.rs(D3DRENDERSTATE_ALPHAFUNC);
    if (s.on(D3DRENDERSTATE_ALPHATESTENABLE) && alphaFunc != D3DCMP_ALWAYS) {
        span.alphaTest = true;
        span.alphaRef = s.rs(D3DRENDERSTATE_ALPHAREF);
        ComparisonMasks(alphaFunc, span.aLess, span.aEqual, span.aGreater);
    }

    span.dithered = s.on(D3DRENDERSTATE_DITHERENABLE);
    if (span.dithered) {
        for (int row = 0; row < 4; ++row) {
            for (int i = 0; i < d3d::SpanContext::kDitherRun; ++i) {
                // Half a step of the 8-bit channel per Bayer step, in the kernels' 8.7.
                const int32_t threshold = kBayer4[row][i & 3] * 64;
                span.ditherRB[row][i] = threshold | threshold << 16;
                span.ditherG[row][i] = threshold / 2;
            }
        }
    }

    span.keyed = span.keyLow <= 0xFFFF;
    for (int filter = 0; filter < 2; ++filter) {
        for (int affine = 0; affine < 2; ++affine) {
            for (int constant = 0; constant < 2; ++constant) {
                const d3d::SpanKey k = d3d::SpanKeyFor(filter == 0 ? magnify : minify, affine != 0,
                                                       constant != 0, span);
                // Narrow triangles take the eight-lane kernels of the AVX2 build.
                auto& choice = rd.kernels[filter][affine][constant];
                choice[1] = d3d::SpanFunction(core.spans, k);
                choice[0] = core.spans == d3d::SpanBuild::Avx512
                                ? d3d::SpanFunction(d3d::SpanBuild::Avx2, k)
                                : choice[1];
            }
        }
    }

    // With threads the draw's pixels are queued; a draw that cannot be is drawn at once.
    if (core.queue) {
        DirectDrawSurface7* depth = span.depthMode != d3d::ZMode::Off ? s.depth.get() : nullptr;
        DirectDrawSurface7* sampledTexture = sampled ? texture.get() : nullptr;
        if (!core.queue->BeginDraw(rd, target, depth, sampledTexture)) rd.queue = nullptr;
    }
}

void CheckIndices(const uint16_t* indices, int32_t indexCount, int32_t vertexCount) {
    if (indexCount < 0 || (indexCount > 0 && indices == nullptr)) {
        throw DxError(DDERR_INVALIDPARAMS, "index list");
    }
    for (int32_t i = 0; i < indexCount; ++i) {
        if (indices[i] >= vertexCount) {
            throw DxError(DDERR_INVALIDPARAMS, "index " + std::to_string(indices[i]) +
                                                   " past the " + std::to_string(vertexCount) +
                                                   " vertices");
        }
    }
}

// Runs processed vertices through assembly, clipping and rasterisation.
void Rasterise(DeviceCore& core, int32_t type, int32_t count, const uint16_t* indices,
               int32_t indexCount, const d3d::RasterDraw& rd, const d3d::AttrScale& scale) {
    core.pipe.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        d3d::ToPipeVertex(scale, core.processed[static_cast<size_t>(i)],
                          core.pipe[static_cast<size_t>(i)]);
    }
    d3d::DrawPrimitives(rd, type, core.pipe.data(), count, indices, indexCount);
}

// Vertices from memory in any handled format, through the device's transform and lighting.
void ProcessFromMemory(DeviceCore& core, const d3d::FvfLayout& layout, const std::byte* vertices,
                       int32_t count, int32_t flags) {
    DeviceState& s = core.state;
    core.processed.resize(static_cast<size_t>(count));
    const int32_t pixelScale = s.target->Scale();
    if (layout.transformed) {
        d3d::ReadTransformed(d3d::MakeScreenMap(s.viewport, pixelScale), layout, vertices, count,
                             core.processed.data(), pixelScale);
    } else {
        const bool light = s.on(D3DRENDERSTATE_LIGHTING) && (flags & D3DDP_DONOTLIGHT) == 0;
        d3d::PrepareVertexPipeline(s, light, core.pipeline, pixelScale);
        d3d::ProcessUntransformed(core.pipeline, layout, vertices, count, core.processed.data());
    }
}

}  // namespace

namespace {
int deviceThreads = 0;  // 0: not chosen, the number of cores
d3d::SpanBuild deviceSpans = d3d::kFastestSpanBuild;
}  // namespace

void LimitDeviceSpans(d3d::SpanBuild limit) {
    deviceSpans = limit;
}

void SetDeviceThreads(int threads) {
    deviceThreads = std::clamp(threads, 1, kMaxDeviceThreads);
}

// Where fewer threads can run (a page) the device draws on as many as can, whatever was asked.
int DeviceThreads() {
    const int most = std::min(kMaxDeviceThreads, MostThreads());
    return std::clamp(deviceThreads > 0 ? deviceThreads : ProcessorCount(), 1, most);
}

d3d::DeviceCore::DeviceCore() = default;
d3d::DeviceCore::~DeviceCore() = default;

Direct3DDevice7::Direct3DDevice7(const SurfacePtr& renderTarget)
    : core_(std::make_unique<DeviceCore>()) {
    SetThreads(DeviceThreads());
    LimitSpans(deviceSpans);
    SurfacePtr depth = CheckTarget(renderTarget);
    DeviceState& s = core_->state;
    d3d::ResetDeviceState(s, depth != nullptr);
    s.target = renderTarget;
    s.depth = depth;
    s.viewport = WholeViewport(*renderTarget);
}

// The queue finishes its work as it goes.
Direct3DDevice7::~Direct3DDevice7() {
    DX_TRACE(Forget(this));
}

void Direct3DDevice7::SetThreads(int threads) {
    threads = std::clamp(threads, 1, std::min(kMaxDeviceThreads, MostThreads()));
    if (threads == Threads()) return;
    core_->queue.reset();
    if (threads > 1) core_->queue = std::make_unique<d3d::RasterQueue>(threads);
}

int Direct3DDevice7::Threads() const {
    return core_->queue ? core_->queue->Threads() : 1;
}

void Direct3DDevice7::AssumeCoresTaken() {
    if (core_->queue) core_->queue->AssumeCrowded();
}

void Direct3DDevice7::Finish() {
    if (core_->queue) core_->queue->Finish();
}

std::shared_ptr<Direct3DEnumPixelFormats> Direct3DDevice7::GetTextureFormatsEnum() {
    return std::make_shared<Direct3DEnumPixelFormats>(std::vector<DDPIXELFORMAT>{Rgb565Format()});
}

void Direct3DDevice7::BeginScene() {
    if (core_->state.inScene) throw DxError(D3DERR_SCENE_IN_SCENE, "BeginScene twice");
    core_->state.inScene = true;
    DX_TRACE(BeginScene(*this));
}

void Direct3DDevice7::EndScene() {
    if (!core_->state.inScene) throw DxError(D3DERR_SCENE_NOT_IN_SCENE, "EndScene without Begin");
    core_->state.inScene = false;
    DX_TRACE(EndScene(*this));
}

bool Direct3DDevice7::InScene() const {
    return core_->state.inScene;
}

void Direct3DDevice7::Clear(int32_t count, const D3DRECT* rects, int32_t flags, int32_t color,
                            float z, int32_t) {
    DeviceState& s = core_->state;
    if ((flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0 || count < 0 ||
        (count > 0 && rects == nullptr) || std::isnan(z)) {
        throw DxError(DDERR_INVALIDPARAMS, "Clear arguments");
    }
    if ((flags & D3DCLEAR_STENCIL) != 0) {
        throw DxError(D3DERR_STENCILBUFFER_NOTPRESENT, "the depth surface has no stencil");
    }
    const bool depth = (flags & D3DCLEAR_ZBUFFER) != 0;
    if (depth && (!s.depth || s.depth->IsReleased())) {
        throw DxError(D3DERR_ZBUFFER_NOTPRESENT, "no depth surface to clear");
    }
    CheckSurface(s.target, "render target");
    DX_TRACE(Clear(*this, count, rects, flags, color, z));
    // Neither colour nor depth: nothing to write (and no surface to lay the threads' bands on).
    if ((flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER)) == 0) return;
    const D3DVIEWPORT7& vp = s.viewport;
    const D3DRECT whole{vp.lX, vp.lY, vp.lX + vp.lWidth, vp.lY + vp.lHeight};
    // Depth and colour go to 565 as drawing writes them: truncated, so that the background
    // and fully fogged geometry of the same colour meet without a seam.
    const uint16_t pixel = Rgb565Truncated(color);
    const uint16_t depthValue = static_cast<uint16_t>(std::clamp(z, 0.0f, 1.0f) * 65535.0f + 0.5f);
    const int32_t n = count == 0 ? 1 : count;
    const int32_t k = s.target->Scale();
    for (int32_t i = 0; i < n; ++i) {
        const D3DRECT& r = count == 0 ? whole : rects[i];
        d3d::ClearJob job;
        // Cut in the program's pixels, then taken to the target's.
        job.x1 = std::max({r.x1, whole.x1, 0});
        job.y1 = std::max({r.y1, whole.y1, 0});
        job.x2 = std::min({r.x2, whole.x2, s.target->LogicalWidth()});
        job.y2 = std::min({r.y2, whole.y2, s.target->LogicalHeight()});
        if (job.x1 >= job.x2 || job.y1 >= job.y2) continue;
        job.x1 *= k;
        job.y1 *= k;
        job.x2 *= k;
        job.y2 *= k;
        if ((flags & D3DCLEAR_TARGET) != 0) {
            job.color = s.target->PixelsForDevice();
            job.colorPitch = s.target->Pitch();
            job.pixel = pixel;
        }
        if (depth) {
            job.depth = s.depth->PixelsForDevice();
            job.depthPitch = s.depth->Pitch();
            job.depthValue = depthValue;
        }
        if (core_->queue) {
            core_->queue->AddClear(job, job.color ? s.target.get() : nullptr,
                                   job.depth ? s.depth.get() : nullptr);
        } else {
            d3d::DrawClear(job, job.y1, job.y2);
        }
    }
}

void Direct3DDevice7::SetRenderState(int32_t state, int32_t value) {
    if (!d3d::IsKnownRenderState(state)) {
        throw DxError(DDERR_INVALIDPARAMS, "render state " + std::to_string(state));
    }
    if (!d3d::IsValidRenderStateValue(state, value)) {
        throw DxError(DDERR_INVALIDPARAMS,
                      "render state " + std::to_string(state) + " value " + std::to_string(value));
    }
    CheckRenderStateValue(state, value);
    core_->state.renderStates[static_cast<size_t>(state)] = value;
    DX_TRACE(RenderState(*this, state, value));
}

int32_t Direct3DDevice7::GetRenderState(int32_t state) const {
    if (!d3d::IsKnownRenderState(state)) {
        throw DxError(DDERR_INVALIDPARAMS, "render state " + std::to_string(state));
    }
    return core_->state.rs(state);
}

void Direct3DDevice7::SetTextureStageState(int32_t stage, int32_t type, int32_t value) {
    if (stage < 0 || stage >= d3d::kStageCount || !d3d::IsKnownStageState(type)) {
        throw DxError(DDERR_INVALIDPARAMS, "texture stage state");
    }
    CheckStageValue(stage, type, value);
    core_->state.stageStates[static_cast<size_t>(stage)][static_cast<size_t>(type)] = value;
    DX_TRACE(StageState(*this, stage, type, value));
}

int32_t Direct3DDevice7::GetTextureStageState(int32_t stage, int32_t type) const {
    if (stage < 0 || stage >= d3d::kStageCount || !d3d::IsKnownStageState(type)) {
        throw DxError(DDERR_INVALIDPARAMS, "texture stage state");
    }
    return core_->state.stageStates[static_cast<size_t>(stage)][static_cast<size_t>(type)];
}

void Direct3DDevice7::SetTexture(int32_t stage, const SurfacePtr& texture) {
    if (stage < 0 || stage >= d3d::kStageCount) throw DxError(DDERR_INVALIDPARAMS, "stage");
    if (texture) {
        CheckSurface(texture, "texture");
        if (texture->IsDepth() || (Describe(*texture).ddsCaps.lCaps & DDSCAPS_TEXTURE) == 0) {
            throw DxError(DDERR_INVALIDCAPS,
                          "SetTexture of a surface made without DDSCAPS_TEXTURE");
        }
        // The samplers index texels in float, exact up to 2^24 texels.
        if (texture->Width() > kMaxTextureSide || texture->Height() > kMaxTextureSide) {
            throw DxError(D3DERR_TEXTURE_BADSIZE, "texture larger than 4096 pixels");
        }
    }
    core_->state.textures[static_cast<size_t>(stage)] = texture;
    DX_TRACE(SetTexture(*this, stage, texture.get()));
}

SurfacePtr Direct3DDevice7::GetTexture(int32_t stage) const {
    if (stage < 0 || stage >= d3d::kStageCount) throw DxError(DDERR_INVALIDPARAMS, "stage");
    return core_->state.textures[static_cast<size_t>(stage)];
}

namespace {
D3DMATRIX& TransformSlot(DeviceState& s, int32_t type) {
    switch (type) {
        case D3DTRANSFORMSTATE_WORLD:
            return s.world;
        case D3DTRANSFORMSTATE_VIEW:
            return s.view;
        case D3DTRANSFORMSTATE_PROJECTION:
            return s.projection;
        default:
            throw DxError(DDERR_INVALIDPARAMS, "transform type " + std::to_string(type));
    }
}
}  // namespace

void Direct3DDevice7::SetTransform(int32_t type, const D3DMATRIX& matrix) {
    TransformSlot(core_->state, type) = matrix;
    DX_TRACE(SetTransform(*this, type, matrix, false));
}

void Direct3DDevice7::GetTransform(int32_t type, D3DMATRIX& matrix) const {
    matrix = TransformSlot(core_->state, type);
}

void Direct3DDevice7::MultiplyTransform(int32_t type, const D3DMATRIX& matrix) {
    D3DMATRIX& m = TransformSlot(core_->state, type);
    D3DMATRIX r;
    for (int i = 1; i <= 4; ++i) {
        for (int j = 1; j <= 4; ++j) {
            float sum = 0;
            for (int k = 1; k <= 4; ++k) sum += matrix.at(i, k) * m.at(k, j);
            r.at(i, j) = sum;
        }
    }
    m = r;
    DX_TRACE(SetTransform(*this, type, matrix, true));
}

void Direct3DDevice7::SetMaterial(const D3DMATERIAL7& material) {
    core_->state.material = material;
    DX_TRACE(SetMaterial(*this, material));
}

void Direct3DDevice7::GetMaterial(D3DMATERIAL7& material) const {
    material = core_->state.material;
}

void Direct3DDevice7::SetLight(int32_t index, const D3DLIGHT7& light) {
    if (index < 0 || index >= d3d::kMaxLights) throw DxError(DDERR_INVALIDPARAMS, "light index");
    if (light.dltType < D3DLIGHT_POINT || light.dltType > D3DLIGHT_DIRECTIONAL) {
        throw DxError(DDERR_INVALIDPARAMS, "light type " + std::to_string(light.dltType));
    }
    const D3DVECTOR& d = light.direction;
    if (light.dltType != D3DLIGHT_POINT && d.x == 0 && d.y == 0 && d.z == 0) {
        throw DxError(DDERR_INVALIDPARAMS, "light without a direction");
    }
    const bool positional = light.dltType != D3DLIGHT_DIRECTIONAL;
    if (positional &&
        (!(light.range >= 0) || light.range > std::sqrt(3.402823466e38f) ||
         light.attenuation0 < 0 || light.attenuation1 < 0 || light.attenuation2 < 0)) {
        throw DxError(DDERR_INVALIDPARAMS, "light range or attenuation");
    }
    d3d::StoreLight(core_->state, index, light);
    DX_TRACE(SetLight(*this, index, light));
}

void Direct3DDevice7::GetLight(int32_t index, D3DLIGHT7& light) const {
    const auto& lights = core_->state.lights;
    if (index < 0 || static_cast<size_t>(index) >= lights.size() ||
        !lights[static_cast<size_t>(index)].set) {
        throw DxError(DDERR_INVALIDPARAMS, "light " + std::to_string(index) + " was never set");
    }
    light = lights[static_cast<size_t>(index)].light;
}

void Direct3DDevice7::LightEnable(int32_t index, bool enable) {
    if (index < 0 || index >= d3d::kMaxLights) throw DxError(DDERR_INVALIDPARAMS, "light index");
    d3d::EnableLight(core_->state, index, enable);
    DX_TRACE(LightEnable(*this, index, enable));
}

bool Direct3DDevice7::GetLightEnable(int32_t index) const {
    const auto& lights = core_->state.lights;
    if (index < 0 || static_cast<size_t>(index) >= lights.size() ||
        !lights[static_cast<size_t>(index)].set) {
        throw DxError(DDERR_INVALIDPARAMS, "light " + std::to_string(index) + " was never set");
    }
    return lights[static_cast<size_t>(index)].enabled;
}

void Direct3DDevice7::SetViewport(const D3DVIEWPORT7& vp) {
    DeviceState& s = core_->state;
    CheckSurface(s.target, "render target");
    const bool fits = vp.lX >= 0 && vp.lY >= 0 && vp.lWidth > 0 && vp.lHeight > 0 &&
                      vp.lWidth <= s.target->LogicalWidth() - vp.lX &&
                      vp.lHeight <= s.target->LogicalHeight() - vp.lY;
    if (!fits || !(vp.minz >= 0.0f && vp.minz <= vp.maxz && vp.maxz <= 1.0f)) {
        throw DxError(DDERR_INVALIDPARAMS, "viewport outside the render target");
    }
    s.viewport = vp;
    DX_TRACE(SetViewport(*this, vp));
}

void Direct3DDevice7::GetViewport(D3DVIEWPORT7& vp) const {
    vp = core_->state.viewport;
}

void Direct3DDevice7::SetRenderTarget(const SurfacePtr& target, int32_t flags) {
    SurfacePtr depth = CheckTarget(target);
    DeviceState& s = core_->state;
    s.target = target;
    s.depth = depth;
    s.viewport = WholeViewport(*target);
    DX_TRACE(SetRenderTarget(*this, *target, flags));
}

SurfacePtr Direct3DDevice7::GetRenderTarget() const {
    return core_->state.target;
}

void Direct3DDevice7::DrawPrimitive(int32_t type, int32_t fvf, const void* vertices,
                                    int32_t vertexCount, int32_t flags) {
    DrawIndexedPrimitive(type, fvf, vertices, vertexCount, nullptr, -1, flags);
}

void Direct3DDevice7::DrawIndexedPrimitive(int32_t type, int32_t fvf, const void* vertices,
                                           int32_t vertexCount, const uint16_t* indices,
                                           int32_t indexCount, int32_t flags) {
    DeviceCore& core = *core_;
    if (!core.state.inScene) throw DxError(D3DERR_SCENE_NOT_IN_SCENE, "drawing outside a scene");
    CheckPrimitiveType(type);
    const d3d::FvfLayout layout = d3d::ParseFvf(fvf);
    if (vertexCount < 0 || (vertexCount > 0 && vertices == nullptr)) {
        throw DxError(DDERR_INVALIDPARAMS, "vertex list");
    }
    const bool indexed = indexCount >= 0 || indices != nullptr;
    if (indexed) CheckIndices(indices, indexCount, vertexCount);
    DX_TRACE(Draw(*this, type, fvf, layout.stride, vertices, vertexCount,
                  indexed ? indices : nullptr, indexCount, flags));
    d3d::RasterDraw rd;
    d3d::AttrScale scale;
    PrepareRaster(core, rd, scale);
    ProcessFromMemory(core, layout, static_cast<const std::byte*>(vertices), vertexCount, flags);
    Rasterise(core, type, vertexCount, indexed ? indices : nullptr, indexed ? indexCount : 0, rd,
              scale);
}

void Direct3DDevice7::DrawPrimitiveVB(int32_t type, Direct3DVertexBuffer7& buffer,
                                      int32_t startVertex, int32_t numVertices, int32_t flags) {
    DrawIndexedPrimitiveVB(type, buffer, startVertex, numVertices, nullptr, -1, flags);
}

void Direct3DDevice7::DrawIndexedPrimitiveVB(int32_t type, Direct3DVertexBuffer7& buffer,
                                             int32_t startVertex, int32_t numVertices,
                                             const uint16_t* indices, int32_t indexCount,
                                             int32_t flags) {
    DeviceCore& core = *core_;
    if (!core.state.inScene) throw DxError(D3DERR_SCENE_NOT_IN_SCENE, "drawing outside a scene");
    CheckPrimitiveType(type);
    buffer.CheckUsable("drawing");
    if (startVertex < 0 || numVertices < 0 || numVertices > buffer.Capacity() - startVertex) {
        throw DxError(DDERR_INVALIDPARAMS, "vertex range outside the buffer");
    }
    const bool indexed = indexCount >= 0 || indices != nullptr;
    if (indexed) CheckIndices(indices, indexCount, numVertices);
    DX_TRACE(DrawVB(*this, type, buffer, startVertex, numVertices, indexed ? indices : nullptr,
                    indexCount, flags));
    d3d::RasterDraw rd;
    d3d::AttrScale scale;
    PrepareRaster(core, rd, scale);
    const d3d::FvfLayout& layout = *buffer.layout_;
    const std::byte* first =
        buffer.data_.data() + static_cast<size_t>(startVertex) * static_cast<size_t>(layout.stride);
    ProcessFromMemory(core, layout, first, numVertices, flags);
    if (layout.transformed) {
        // Vertices processed with clipping kept their clip positions: clip them exactly as
        // the untransformed originals would be.
        for (int32_t i = 0; i < numVertices; ++i) {
            const auto& c = buffer.clip_[static_cast<size_t>(startVertex + i)];
            if (!c.valid) continue;
            d3d::ProcessedVertex& v = core.processed[static_cast<size_t>(i)];
            v.cx = c.x;
            v.cy = c.y;
            v.cz = c.z;
            v.cw = c.w;
            v.clip = d3d::ClipCode(c.x, c.y, c.z, c.w);
        }
    }
    Rasterise(core, type, numVertices, indexed ? indices : nullptr, indexed ? indexCount : 0, rd,
              scale);
}

void Direct3DDevice7::UsePortableSpans(bool portable) {
    LimitSpans(portable ? d3d::SpanBuild::Portable : d3d::kFastestSpanBuild);
}

void Direct3DDevice7::LimitSpans(d3d::SpanBuild limit) {
    core_->spans = d3d::RunnableSpanBuild(limit);
}

d3d::SpanBuild Direct3DDevice7::Spans() const {
    return core_->spans;
}

bool Direct3DDevice7::UsesAvx2Spans() const {
    return Spans() != d3d::SpanBuild::Portable;
}
