// Direct3D 7 immediate mode in software: the Direct3D object with its enumerations, the device
// that renders into an RGB565 surface with a 16-bit depth surface attached, and vertex buffers.
// Every state starts at Direct3D 7's default; every failing call throws DxError.
//
// The pipeline is split by stage: D3DVertexProcessing (transform, light, fog), D3DPrimitives
// (assembly and homogeneous clipping), D3DRaster (triangle set-up, edge walking, lines and
// points) and the span kernels (depth, texture, colour, fog, blend, dither, write) in
// D3DSpanKernel.inc, compiled once for AVX2 and once portably.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/dx/D3DConstants.h"
#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxTypes.h"

namespace d3d {
struct DeviceCore;
struct FvfLayout;
enum class SpanBuild : int;
}  // namespace d3d
namespace dxtrace {
class Recorder;
}  // namespace dxtrace

class Direct3DDevice7;
class Direct3DVertexBuffer7;

// How many threads devices draw on when they are made: 1 draws on the caller's thread alone;
// the default is the number of cores. Frames are the same for every count.
constexpr int kMaxDeviceThreads = 64;
void SetDeviceThreads(int threads);  // clamped to 1..kMaxDeviceThreads
int DeviceThreads();
// Tests: devices made from now on run at most this build of the span kernels (see
// Direct3DDevice7::LimitSpans); by default the fastest the CPU has.
void LimitDeviceSpans(d3d::SpanBuild limit);

// The device enumeration: one software device that answers to the hardware name.
class Direct3DEnumDevices {
  public:
    int32_t GetCount() const { return 1; }
    std::string GetGuid(int32_t index1Based) const;
    std::string GetName(int32_t index1Based) const;
    std::string GetDescription(int32_t index1Based) const;
};

// A list of pixel formats, items numbered from 1.
class Direct3DEnumPixelFormats {
  public:
    explicit Direct3DEnumPixelFormats(std::vector<DDPIXELFORMAT> formats)
        : formats_(std::move(formats)) {}
    int32_t GetCount() const { return static_cast<int32_t>(formats_.size()); }
    void GetItem(int32_t index1Based, DDPIXELFORMAT& format) const;

  private:
    std::vector<DDPIXELFORMAT> formats_;
};

class Direct3D7 {
  public:
    explicit Direct3D7(DirectDraw7&) {}

    std::shared_ptr<Direct3DEnumDevices> GetDevicesEnum();
    // Depth formats of the named device: one 16-bit DDPF_ZBUFFER format.
    std::shared_ptr<Direct3DEnumPixelFormats> GetEnumZBufferFormats(const std::string& guid);
    // Only "IID_IDirect3DHALDevice". The target must be a 3D-capable 16-bit surface; the depth
    // surface attached to it (if any) becomes the device's depth buffer.
    std::shared_ptr<Direct3DDevice7> CreateDevice(const std::string& guid,
                                                  const SurfacePtr& renderTarget);
    std::shared_ptr<Direct3DVertexBuffer7> CreateVertexBuffer(const D3DVERTEXBUFFERDESC& desc,
                                                              int32_t flags);
};

class Direct3DVertexBuffer7 {
  public:
    explicit Direct3DVertexBuffer7(const D3DVERTEXBUFFERDESC& desc);
    ~Direct3DVertexBuffer7();

    // The vertex memory, capacity × stride bytes, until Unlock.
    std::span<std::byte> Lock(int32_t flags);
    void Unlock();
    bool IsLocked() const { return locked_; }
    // Copies count vertices in or out at a vertex index; the buffer must be locked.
    void SetVertices(int32_t startIndex, int32_t count, const void* vertices);
    void GetVertices(int32_t startIndex, int32_t count, void* vertices) const;
    void GetVertexBufferDesc(D3DVERTEXBUFFERDESC& desc) const { desc = desc_; }
    void Optimize(Direct3DDevice7& device, int32_t flags);

    // Transforms (and, with D3DVOP_LIGHT, lights) count vertices of an untransformed source
    // buffer into this pre-transformed buffer with the device's current matrices, lights,
    // material, fog and viewport. With D3DVOP_CLIP the clip-space positions are kept, so that
    // drawing these vertices clips them exactly as drawing the source would.
    void ProcessVertices(int32_t vertexOp, int32_t destIndex, int32_t count,
                         Direct3DVertexBuffer7& source, int32_t sourceIndex,
                         Direct3DDevice7& device, int32_t flags);

    int32_t Capacity() const { return desc_.lNumVertices; }
    int32_t Fvf() const { return desc_.lFVF; }
    int32_t Stride() const;

  private:
    friend class Direct3DDevice7;
    friend class dxtrace::Recorder;
    struct ClipPosition {
        float x = 0, y = 0, z = 0, w = 0;
        bool valid = false;
    };

    D3DVERTEXBUFFERDESC desc_;
    std::unique_ptr<d3d::FvfLayout> layout_;
    std::vector<std::byte> data_;
    std::vector<ClipPosition> clip_;  // per vertex, kept by ProcessVertices with D3DVOP_CLIP
    bool locked_ = false;
    bool optimized_ = false;

    void CheckUsable(const char* operation) const;
};

class Direct3DDevice7 {
  public:
    Direct3DDevice7(const SurfacePtr& renderTarget);
    ~Direct3DDevice7();
    Direct3DDevice7(const Direct3DDevice7&) = delete;
    Direct3DDevice7& operator=(const Direct3DDevice7&) = delete;

    // Texture formats: 16-bit RGB 565.
    std::shared_ptr<Direct3DEnumPixelFormats> GetTextureFormatsEnum();

    void BeginScene();
    void EndScene();
    bool InScene() const;
    // Clears the rectangles (none: the whole viewport), each cut to the viewport.
    void Clear(int32_t count, const D3DRECT* rects, int32_t flags, int32_t color, float z,
               int32_t stencil);

    void SetRenderState(int32_t state, int32_t value);
    int32_t GetRenderState(int32_t state) const;
    void SetTextureStageState(int32_t stage, int32_t type, int32_t value);
    int32_t GetTextureStageState(int32_t stage, int32_t type) const;
    // Stage 0 is sampled; nullptr means no texture (opaque white).
    void SetTexture(int32_t stage, const SurfacePtr& texture);
    SurfacePtr GetTexture(int32_t stage) const;

    void SetTransform(int32_t type, const D3DMATRIX& matrix);
    void GetTransform(int32_t type, D3DMATRIX& matrix) const;
    // The device's matrix becomes matrix × current (the given one applies first).
    void MultiplyTransform(int32_t type, const D3DMATRIX& matrix);

    void SetMaterial(const D3DMATERIAL7& material);
    void GetMaterial(D3DMATERIAL7& material) const;
    void SetLight(int32_t index, const D3DLIGHT7& light);
    void GetLight(int32_t index, D3DLIGHT7& light) const;
    // Enabling a light that was never set creates Direct3D's default white directional light.
    void LightEnable(int32_t index, bool enable);
    bool GetLightEnable(int32_t index) const;

    void SetViewport(const D3DVIEWPORT7& viewport);
    void GetViewport(D3DVIEWPORT7& viewport) const;
    void SetRenderTarget(const SurfacePtr& target, int32_t flags);
    SurfacePtr GetRenderTarget() const;

    void DrawPrimitive(int32_t primitiveType, int32_t fvf, const void* vertices,
                       int32_t vertexCount, int32_t flags);
    void DrawIndexedPrimitive(int32_t primitiveType, int32_t fvf, const void* vertices,
                              int32_t vertexCount, const uint16_t* indices, int32_t indexCount,
                              int32_t flags);
    void DrawPrimitiveVB(int32_t primitiveType, Direct3DVertexBuffer7& buffer, int32_t startVertex,
                         int32_t numVertices, int32_t flags);
    // Indices count from startVertex.
    void DrawIndexedPrimitiveVB(int32_t primitiveType, Direct3DVertexBuffer7& buffer,
                                int32_t startVertex, int32_t numVertices, const uint16_t* indices,
                                int32_t indexCount, int32_t flags);

    // Tests and benchmarks: run the portable span kernels even where AVX2 is available, or
    // at most a given build of them; Spans() is the build the CPU then runs.
    void UsePortableSpans(bool portable);
    void LimitSpans(d3d::SpanBuild limit);
    d3d::SpanBuild Spans() const;
    bool UsesAvx2Spans() const;  // any vector build
    // The threads this device draws on (clamped as SetDeviceThreads); changing it finishes
    // the work in flight first.
    void SetThreads(int threads);
    int Threads() const;
    // Tests: draw as when other programs keep the cores busy, the calling thread taking every
    // band itself until the device tries its other threads again.
    void AssumeCoresTaken();
    // Draws everything accepted so far into the surfaces. Reading or writing a surface from
    // outside does this by itself; benchmarks call it to time whole frames.
    void Finish();

  private:
    friend class Direct3DVertexBuffer7;
    std::unique_ptr<d3d::DeviceCore> core_;
};
