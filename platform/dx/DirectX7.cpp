#include "platform/dx/DirectX7.h"

#include <algorithm>
#include <cmath>

#include "platform/dx/DirectDraw.h"

void DirectX7::IdentityMatrix(D3DMATRIX& m) const {
    m = D3DMATRIX{};
    m.rc11 = m.rc22 = m.rc33 = m.rc44 = 1.0f;
}

void DirectX7::RotateXMatrix(D3DMATRIX& m, float radians) const {
    IdentityMatrix(m);
    const float c = std::cos(radians), s = std::sin(radians);
    m.rc22 = c;
    m.rc23 = s;
    m.rc32 = -s;
    m.rc33 = c;
}

void DirectX7::RotateYMatrix(D3DMATRIX& m, float radians) const {
    IdentityMatrix(m);
    const float c = std::cos(radians), s = std::sin(radians);
    m.rc11 = c;
    m.rc13 = -s;
    m.rc31 = s;
    m.rc33 = c;
}

void DirectX7::RotateZMatrix(D3DMATRIX& m, float radians) const {
    IdentityMatrix(m);
    const float c = std::cos(radians), s = std::sin(radians);
    m.rc11 = c;
    m.rc12 = s;
    m.rc21 = -s;
    m.rc22 = c;
}

void DirectX7::MatrixMultiply(D3DMATRIX& result, const D3DMATRIX& a, const D3DMATRIX& b) const {
    D3DMATRIX r;  // a temporary, so result may alias a or b
    for (int i = 1; i <= 4; ++i) {
        for (int j = 1; j <= 4; ++j) {
            float sum = 0;
            for (int k = 1; k <= 4; ++k) sum += a.at(i, k) * b.at(k, j);
            r.at(i, j) = sum;
        }
    }
    result = r;
}

namespace {
D3DVECTOR Sub(const D3DVECTOR& a, const D3DVECTOR& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
D3DVECTOR Cross(const D3DVECTOR& a, const D3DVECTOR& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(const D3DVECTOR& a, const D3DVECTOR& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
}  // namespace

void DirectX7::ViewMatrix(D3DMATRIX& view, const D3DVECTOR& from, const D3DVECTOR& at,
                          const D3DVECTOR& up, float roll) const {
    D3DVECTOR zaxis = Sub(at, from);
    VectorNormalize(zaxis);
    D3DVECTOR xaxis = Cross(up, zaxis);
    // An up vector parallel to the view direction leaves no x axis; pick any perpendicular one
    // rather than produce a matrix full of NaNs.
    if (Dot(xaxis, xaxis) < 1e-12f) xaxis = Cross(D3DVECTOR{0, 0, 1}, zaxis);
    if (Dot(xaxis, xaxis) < 1e-12f) xaxis = Cross(D3DVECTOR{1, 0, 0}, zaxis);
    VectorNormalize(xaxis);
    D3DVECTOR yaxis = Cross(zaxis, xaxis);

    IdentityMatrix(view);
    view.rc11 = xaxis.x;
    view.rc21 = xaxis.y;
    view.rc31 = xaxis.z;
    view.rc12 = yaxis.x;
    view.rc22 = yaxis.y;
    view.rc32 = yaxis.z;
    view.rc13 = zaxis.x;
    view.rc23 = zaxis.y;
    view.rc33 = zaxis.z;
    view.rc41 = -Dot(xaxis, from);
    view.rc42 = -Dot(yaxis, from);
    view.rc43 = -Dot(zaxis, from);
    if (roll != 0.0f) {
        D3DMATRIX rz;
        RotateZMatrix(rz, -roll);
        MatrixMultiply(view, view, rz);
    }
}

void DirectX7::VectorAdd(D3DVECTOR& result, const D3DVECTOR& a, const D3DVECTOR& b) const {
    result = {a.x + b.x, a.y + b.y, a.z + b.z};
}

void DirectX7::VectorNormalize(D3DVECTOR& v) const {
    const float len = std::sqrt(Dot(v, v));
    if (len > 0.0f) v = {v.x / len, v.y / len, v.z / len};
}

namespace {
int32_t ToByte(float c) {
    return static_cast<int32_t>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f));
}
}  // namespace

int32_t DirectX7::CreateColorRGBA(float r, float g, float b, float a) const {
    const uint32_t packed =
        (static_cast<uint32_t>(ToByte(a)) << 24) | (static_cast<uint32_t>(ToByte(r)) << 16) |
        (static_cast<uint32_t>(ToByte(g)) << 8) | static_cast<uint32_t>(ToByte(b));
    return static_cast<int32_t>(packed);
}

float DirectX7::ColorGetRed(int32_t c) const {
    return ((static_cast<uint32_t>(c) >> 16) & 0xFF) / 255.0f;
}
float DirectX7::ColorGetGreen(int32_t c) const {
    return ((static_cast<uint32_t>(c) >> 8) & 0xFF) / 255.0f;
}
float DirectX7::ColorGetBlue(int32_t c) const {
    return (static_cast<uint32_t>(c) & 0xFF) / 255.0f;
}
float DirectX7::ColorGetAlpha(int32_t c) const {
    return ((static_cast<uint32_t>(c) >> 24) & 0xFF) / 255.0f;
}

std::shared_ptr<DirectDraw7> DirectX7::DirectDrawCreate(const char* /*driverGuid*/) {
    return std::make_shared<DirectDraw7>(host_);
}
