// The DirectX 7 root object: creates the DirectDraw and DirectSound objects and offers the
// small math and colour helpers (row vectors, left-handed, y up).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/dx/DxTypes.h"

class Host;
class DirectDraw7;
class DirectSound;
class DirectSoundEnum;

class DirectX7 {
  public:
    explicit DirectX7(Host& host) : host_(host) {}

    // Matrix helpers write their result into the first argument, as the automation API does.
    void IdentityMatrix(D3DMATRIX& m) const;
    void RotateXMatrix(D3DMATRIX& m, float radians) const;
    void RotateYMatrix(D3DMATRIX& m, float radians) const;
    void RotateZMatrix(D3DMATRIX& m, float radians) const;
    void MatrixMultiply(D3DMATRIX& result, const D3DMATRIX& a, const D3DMATRIX& b) const;
    // Left-handed look-at; roll turns the view about its own z axis.
    void ViewMatrix(D3DMATRIX& view, const D3DVECTOR& from, const D3DVECTOR& at,
                    const D3DVECTOR& up, float roll) const;
    void VectorAdd(D3DVECTOR& result, const D3DVECTOR& a, const D3DVECTOR& b) const;
    void VectorNormalize(D3DVECTOR& v) const;

    // Packed colours are 0xAARRGGBB; components are 0.0 to 1.0.
    int32_t CreateColorRGBA(float r, float g, float b, float a) const;
    float ColorGetRed(int32_t color) const;
    float ColorGetGreen(int32_t color) const;
    float ColorGetBlue(int32_t color) const;
    float ColorGetAlpha(int32_t color) const;

    std::shared_ptr<DirectDraw7> DirectDrawCreate(const char* driverGuid);
    std::shared_ptr<DirectSoundEnum> GetDSEnum();
    std::shared_ptr<DirectSound> DirectSoundCreate(const char* deviceGuid);

    Host& GetHost() const { return host_; }

  private:
    Host& host_;
};
