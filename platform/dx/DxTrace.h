// Recording of the calls the program makes on this layer, for replay without the program.
// The surfaces, the device and the vertex buffers call one hook per operation; while nothing
// is recording each hook is a test of one pointer. Recording only reads: it never changes what
// is drawn. Data (pixels, vertices, indices) goes into the file once; a repeat of the same
// bytes is written as a reference to the first copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/dx/DxTypes.h"

class DirectDrawSurface7;
class Direct3DDevice7;
class Direct3DVertexBuffer7;
struct D3DVERTEXBUFFERDESC;

namespace dxtrace {

class Recorder {
  public:
    // Opens path for writing; throws std::runtime_error naming the file when it cannot.
    explicit Recorder(const std::string& path);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Writes the end record and closes the file; false (and why) when any write failed.
    bool Finish(std::string& error);
    uint64_t BytesWritten() const;
    uint32_t Flips() const;

    void CooperativeLevel(int32_t flags);
    void DisplayMode(int32_t width, int32_t height, int32_t bpp);
    void CreateSurface(const DirectDrawSurface7& surface, const DDSURFACEDESC2& desc);
    void BackBuffer(const DirectDrawSurface7& primary, const DirectDrawSurface7& back);
    void AttachDepth(const DirectDrawSurface7& target, const DirectDrawSurface7& depth);
    // Pixels the program put there from outside this layer (an image, the desktop).
    void SurfacePixels(const DirectDrawSurface7& surface, int32_t x, int32_t y, int32_t width,
                       int32_t height);
    void ReleaseSurface(const DirectDrawSurface7& surface);
    void SetColorKey(const DirectDrawSurface7& surface, int32_t flags, const DDCOLORKEY& key);
    void Blt(const DirectDrawSurface7& dest, const RECT* destRect, const DirectDrawSurface7& src,
             const RECT* srcRect, int32_t flags);
    void BltFast(const DirectDrawSurface7& dest, int32_t x, int32_t y,
                 const DirectDrawSurface7& src, const RECT& srcRect, int32_t flags);
    void ColorFill(const DirectDrawSurface7& dest, const RECT* rect, int32_t color);
    void StretchBlt(const DirectDrawSurface7& dest, int32_t x, int32_t y, int32_t width,
                    int32_t height, const DirectDrawSurface7& src, int32_t srcX, int32_t srcY,
                    int32_t srcWidth, int32_t srcHeight);
    void Flip(const DirectDrawSurface7& primary, const DirectDrawSurface7* override);
    // An object is gone; its address may come back as another one.
    void Forget(const void* object);

    void CreateDevice(const Direct3DDevice7& device, const DirectDrawSurface7& target);
    void SetRenderTarget(const Direct3DDevice7& device, const DirectDrawSurface7& target,
                         int32_t flags);
    void BeginScene(const Direct3DDevice7& device);
    void EndScene(const Direct3DDevice7& device);
    void Clear(const Direct3DDevice7& device, int32_t count, const D3DRECT* rects, int32_t flags,
               int32_t color, float z);
    void RenderState(const Direct3DDevice7& device, int32_t state, int32_t value);
    void StageState(const Direct3DDevice7& device, int32_t stage, int32_t type, int32_t value);
    void SetTexture(const Direct3DDevice7& device, int32_t stage, const DirectDrawSurface7* tex);
    void SetTransform(const Direct3DDevice7& device, int32_t type, const D3DMATRIX& m,
                      bool multiply);
    void SetMaterial(const Direct3DDevice7& device, const D3DMATERIAL7& material);
    void SetLight(const Direct3DDevice7& device, int32_t index, const D3DLIGHT7& light);
    void LightEnable(const Direct3DDevice7& device, int32_t index, bool enable);
    void SetViewport(const Direct3DDevice7& device, const D3DVIEWPORT7& viewport);
    void Draw(const Direct3DDevice7& device, int32_t type, int32_t fvf, int32_t stride,
              const void* vertices, int32_t vertexCount, const uint16_t* indices,
              int32_t indexCount, int32_t flags);
    void DrawVB(const Direct3DDevice7& device, int32_t type, const Direct3DVertexBuffer7& buffer,
                int32_t startVertex, int32_t numVertices, const uint16_t* indices,
                int32_t indexCount, int32_t flags);

    void CreateVertexBuffer(const Direct3DVertexBuffer7& buffer, const D3DVERTEXBUFFERDESC& desc);
    void LockVertexBuffer(const Direct3DVertexBuffer7& buffer, int32_t flags);
    void UnlockVertexBuffer(const Direct3DVertexBuffer7& buffer, std::span<const std::byte> data);
    void OptimizeVertexBuffer(const Direct3DVertexBuffer7& buffer);
    void ProcessVertices(const Direct3DVertexBuffer7& dest, int32_t op, int32_t destIndex,
                         int32_t count, const Direct3DVertexBuffer7& source, int32_t sourceIndex,
                         const Direct3DDevice7& device, int32_t flags);

  private:
    struct Impl;
    // The id of a buffer, describing it with its vertices when it was made before recording.
    uint32_t VertexBufferId(const Direct3DVertexBuffer7& buffer);
    std::unique_ptr<Impl> impl_;
};

// The recorder the hooks write to; null while nothing records.
inline Recorder* activeRecorder = nullptr;
inline Recorder* Active() {
    return activeRecorder;
}

}  // namespace dxtrace

// One hook call: DX_TRACE(Draw(*this, ...)) records when a recorder is active.
#define DX_TRACE(call)                                                                         \
    do {                                                                                       \
        if (::dxtrace::Recorder* dxTraceRecorder = ::dxtrace::Active()) dxTraceRecorder->call; \
    } while (0)
