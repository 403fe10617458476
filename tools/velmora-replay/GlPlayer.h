// Plays a trace through OpenGL the way a translation layer would: one GL call sequence per
// DirectX call, the fixed-function state turned into generated shaders (cached per state
// combination), 565 surfaces and a 565 frame buffer with 16-bit depth, blits done with GL.
// Draws sample an RGBA8 copy of a surface (bit-replicated, the same pixels as sampling the 565
// texture on llvmpipe, without its conversion per fetch), renewed when the surface changed.
// The context is headless (EGL without a window): Mesa's llvmpipe where there is no GPU.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/velmora-replay/Player.h"

namespace replay {

// One EGL display and GL context for the process; llvmpipe takes its thread count from
// LP_NUM_THREADS, which is set before the driver loads.
class GlContext {
  public:
    explicit GlContext(int threads);
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;
    std::string Renderer() const;

  private:
    void* display_ = nullptr;
    void* context_ = nullptr;
};

class GlPlayer : public Player {
  public:
    // finishFrames: glFinish at every Flip, so that a frame's time covers its drawing.
    GlPlayer(GlContext& context, bool finishFrames);
    ~GlPlayer() override;

    void CooperativeLevel(int32_t flags) override;
    void DisplayMode(int32_t width, int32_t height, int32_t bpp) override;
    void CreateSurface(uint32_t id, const DDSURFACEDESC2& desc) override;
    void BackBuffer(uint32_t primary, uint32_t back) override;
    void AttachDepth(uint32_t target, uint32_t depth) override;
    void SurfacePixels(uint32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                       const uint16_t* pixels) override;
    void ReleaseSurface(uint32_t id) override;
    void SetColorKey(uint32_t id, int32_t flags, const DDCOLORKEY& key) override;
    void Blt(uint32_t dest, const RECT* destRect, uint32_t src, const RECT* srcRect,
             int32_t flags) override;
    void BltFast(uint32_t dest, int32_t x, int32_t y, uint32_t src, const RECT& srcRect,
                 int32_t flags) override;
    void ColorFill(uint32_t dest, const RECT* rect, int32_t color) override;
    void StretchBlt(uint32_t dest, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t src, int32_t srcX, int32_t srcY, int32_t srcWidth,
                    int32_t srcHeight) override;
    void Flip(uint32_t primary, uint32_t override) override;
    void PresentedFrame(std::vector<uint16_t>& pixels, int& width, int& height) override;

    void CreateDevice(uint32_t id, uint32_t target) override;
    void SetRenderTarget(uint32_t device, uint32_t target, int32_t flags) override;
    void BeginScene(uint32_t device) override;
    void EndScene(uint32_t device) override;
    void Clear(uint32_t device, int32_t count, const D3DRECT* rects, int32_t flags, int32_t color,
               float z) override;
    void RenderState(uint32_t device, int32_t state, int32_t value) override;
    void StageState(uint32_t device, int32_t stage, int32_t type, int32_t value) override;
    void SetTexture(uint32_t device, int32_t stage, uint32_t surface) override;
    void SetTransform(uint32_t device, int32_t type, const D3DMATRIX& m, bool multiply) override;
    void SetMaterial(uint32_t device, const D3DMATERIAL7& material) override;
    void SetLight(uint32_t device, int32_t index, const D3DLIGHT7& light) override;
    void LightEnable(uint32_t device, int32_t index, bool enable) override;
    void SetViewport(uint32_t device, const D3DVIEWPORT7& viewport) override;
    void Draw(uint32_t device, const DrawCall& call) override;
    void DrawVB(uint32_t device, const DrawVBCall& call) override;

    void CreateVertexBuffer(uint32_t id, const D3DVERTEXBUFFERDESC& desc) override;
    void LockVertexBuffer(uint32_t id, int32_t flags) override;
    void UnlockVertexBuffer(uint32_t id, const uint8_t* data, uint32_t size) override;
    void OptimizeVertexBuffer(uint32_t id) override;
    void ProcessVertices(const ProcessCall& call) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace replay
