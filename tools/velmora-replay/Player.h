// What plays a trace: the software device or OpenGL. Play() decodes each record, checks it and
// calls the player; both players see exactly the same calls.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/dx/D3DConstants.h"
#include "platform/dx/DxTypes.h"
#include "tools/velmora-replay/Trace.h"

namespace replay {

// Where the replay changes what the program asked for.
struct PlayOptions {
    bool ditherOff = false;  // pictures compared with a renderer that cannot dither
};

// An indexed draw's indices are below its vertex count (Play checks them).
struct DrawCall {
    int32_t type = 0, fvf = 0, vertexCount = 0, flags = 0;
    const void* vertices = nullptr;
    const uint16_t* indices = nullptr;  // null: not indexed
    int32_t indexCount = 0;
};

struct DrawVBCall {
    int32_t type = 0, startVertex = 0, numVertices = 0, flags = 0;
    uint32_t buffer = 0;
    const uint16_t* indices = nullptr;  // below numVertices
    int32_t indexCount = 0;
};

struct ProcessCall {
    uint32_t dest = 0, source = 0, device = 0;
    int32_t op = 0, destIndex = 0, count = 0, sourceIndex = 0, flags = 0;
};

class Player {
  public:
    virtual ~Player() = default;

    virtual void CooperativeLevel(int32_t flags) = 0;
    virtual void DisplayMode(int32_t width, int32_t height, int32_t bpp) = 0;
    virtual void CreateSurface(uint32_t id, const DDSURFACEDESC2& desc) = 0;
    virtual void BackBuffer(uint32_t primary, uint32_t back) = 0;
    virtual void AttachDepth(uint32_t target, uint32_t depth) = 0;
    virtual void SurfacePixels(uint32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                               const uint16_t* pixels) = 0;
    virtual void ReleaseSurface(uint32_t id) = 0;
    virtual void SetColorKey(uint32_t id, int32_t flags, const DDCOLORKEY& key) = 0;
    virtual void Blt(uint32_t dest, const RECT* destRect, uint32_t src, const RECT* srcRect,
                     int32_t flags) = 0;
    virtual void BltFast(uint32_t dest, int32_t x, int32_t y, uint32_t src, const RECT& srcRect,
                         int32_t flags) = 0;
    virtual void ColorFill(uint32_t dest, const RECT* rect, int32_t color) = 0;
    virtual void StretchBlt(uint32_t dest, int32_t x, int32_t y, int32_t width, int32_t height,
                            uint32_t src, int32_t srcX, int32_t srcY, int32_t srcWidth,
                            int32_t srcHeight) = 0;
    // Shows the frame; when this returns the frame is finished (timing ends here).
    virtual void Flip(uint32_t primary, uint32_t override) = 0;
    // The frame presented by the last Flip, RGB565, top row first.
    virtual void PresentedFrame(std::vector<uint16_t>& pixels, int& width, int& height) = 0;

    virtual void CreateDevice(uint32_t id, uint32_t target) = 0;
    virtual void SetRenderTarget(uint32_t device, uint32_t target, int32_t flags) = 0;
    virtual void BeginScene(uint32_t device) = 0;
    virtual void EndScene(uint32_t device) = 0;
    virtual void Clear(uint32_t device, int32_t count, const D3DRECT* rects, int32_t flags,
                       int32_t color, float z) = 0;
    virtual void RenderState(uint32_t device, int32_t state, int32_t value) = 0;
    virtual void StageState(uint32_t device, int32_t stage, int32_t type, int32_t value) = 0;
    virtual void SetTexture(uint32_t device, int32_t stage, uint32_t surface) = 0;
    virtual void SetTransform(uint32_t device, int32_t type, const D3DMATRIX& m, bool multiply) = 0;
    virtual void SetMaterial(uint32_t device, const D3DMATERIAL7& material) = 0;
    virtual void SetLight(uint32_t device, int32_t index, const D3DLIGHT7& light) = 0;
    virtual void LightEnable(uint32_t device, int32_t index, bool enable) = 0;
    virtual void SetViewport(uint32_t device, const D3DVIEWPORT7& viewport) = 0;
    virtual void Draw(uint32_t device, const DrawCall& call) = 0;
    virtual void DrawVB(uint32_t device, const DrawVBCall& call) = 0;

    virtual void CreateVertexBuffer(uint32_t id, const D3DVERTEXBUFFERDESC& desc) = 0;
    virtual void LockVertexBuffer(uint32_t id, int32_t flags) = 0;
    // data is null when the buffer's content did not come with the record.
    virtual void UnlockVertexBuffer(uint32_t id, const uint8_t* data, uint32_t size) = 0;
    virtual void OptimizeVertexBuffer(uint32_t id) = 0;
    virtual void ProcessVertices(const ProcessCall& call) = 0;
};

// Called after each Flip with the pass number (1 for the first presented frame).
using FlipHook = std::function<void(int pass)>;

// Plays every record of the trace on the player; throws TraceError naming the file and the
// record for a record that is malformed or that the player or its device refuses.
void Play(const Trace& trace, Player& player, const PlayOptions& options, const FlipHook& onFlip);

}  // namespace replay
