#include "core/Declarations.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"

D3DMATRIX MakeMatrix(float rc11, float rc12, float rc13, float rc14, float rc21, float rc22,
                     float rc23, float rc24, float rc31, float rc32, float rc33, float rc34,
                     float rc41, float rc42, float rc43, float rc44) {
    D3DMATRIX m;
    m.rc11 = rc11, m.rc12 = rc12, m.rc13 = rc13, m.rc14 = rc14;
    m.rc21 = rc21, m.rc22 = rc22, m.rc23 = rc23, m.rc24 = rc24;
    m.rc31 = rc31, m.rc32 = rc32, m.rc33 = rc33, m.rc34 = rc34;
    m.rc41 = rc41, m.rc42 = rc42, m.rc43 = rc43, m.rc44 = rc44;
    return m;
}

D3DMATRIX SetMatrixTranslation(const D3DMATRIX& m, float x, float y, float z) {
    D3DMATRIX r = m;
    r.rc41 = x;
    r.rc42 = y;
    r.rc43 = z;
    return r;
}

D3DVECTOR ScreenToWorld(float sx, float sy, float z) {
    // One scale for both axes: a 90-degree horizontal view with square pixels.
    const float dx = static_cast<float>(sx - RenderWidth * 0.5);
    const float dy = static_cast<float>(-(sy - RenderHeight * 0.5));
    const float scaled = static_cast<float>(PixelScale * z);
    return D3DVECTOR{static_cast<float>(scaled * dx), static_cast<float>(scaled * dy), z};
}

namespace {
// Six decimal places, through text, so the value reads back exactly as printed.
float RoundToSixPlaces(float v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(v));
    return std::strtof(text, nullptr);
}
}  // namespace

D3DVECTOR ScreenToWorldRounded(float sx, float sy, float z) {
    const D3DVECTOR p = ScreenToWorld(sx, sy, z);
    return D3DVECTOR{RoundToSixPlaces(static_cast<float>(p.x * 1.33)),
                     RoundToSixPlaces(static_cast<float>(p.y * 1.33)), z};
}

float AngleBetween(const D3DVECTOR& a, const D3DVECTOR& b, uint8_t mode) {
    // The truncated pi and its multiples are part of the result, not a slip.
    constexpr double kPi = 3.141592653589;
    double p, q;
    if (mode == 1) {
        p = static_cast<float>(a.y - b.y);
        const double dx = a.x - b.x, dz = a.z - b.z;
        q = static_cast<float>(std::sqrt(static_cast<float>(dx * dx + dz * dz)));
    } else {
        p = static_cast<float>(a.x - b.x);
        q = static_cast<float>(a.z - b.z);
    }
    if (q != 0) {
        const double angle = std::atan(p / q);
        return static_cast<float>(q > 0 ? angle : angle + kPi);
    }
    if (p < 0) return static_cast<float>(4.7123889803835);
    if (p > 0) return static_cast<float>(1.5707963267945);
    return 0.0f;
}
