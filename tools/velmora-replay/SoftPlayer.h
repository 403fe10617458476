// Plays a trace on the software device: the same calls on the same objects the program made.
#pragma once

#include <memory>
#include <vector>

#include "platform/dx/Direct3D.h"
#include "platform/dx/DirectDraw.h"
#include "platform/host/HeadlessHost.h"
#include "tools/velmora-replay/Player.h"

namespace replay {

class SoftPlayer : public Player {
  public:
    // scale: the internal resolution the display is drawn at (1 to 4), as velmora --scale.
    explicit SoftPlayer(int scale = 1);
    ~SoftPlayer() override;

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
    SurfacePtr& Surface(uint32_t id);
    Direct3DDevice7& Device(uint32_t id);
    Direct3DVertexBuffer7& Buffer(uint32_t id);
    template <typename T>
    static T& Slot(std::vector<T>& table, uint32_t id);

    HeadlessHost host_;
    DirectDraw7 draw_;
    std::vector<SurfacePtr> surfaces_;
    std::vector<std::shared_ptr<Direct3DDevice7>> devices_;
    std::vector<std::shared_ptr<Direct3DVertexBuffer7>> buffers_;
    std::vector<std::span<std::byte>> locked_;
    DirectDrawSurface7* presented_ = nullptr;
};

}  // namespace replay
