// The span kernels for any CPU, on the compiler's generic vectors of eight lanes (two SSE
// registers on x86-64 without AVX2, NEON on ARM). Every operation gives the same bits as its
// AVX2 counterpart (conversions follow the x86 rules), so both builds draw the same pixels.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/dx/D3DSpan.h"

// Eight-lane vectors are wider than this build's registers; they never cross an external
// function boundary, so the calling convention note does not matter here.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace d3d {
namespace {

constexpr int kLanes = 8;
typedef float VF __attribute__((vector_size(32)));
typedef int32_t VI __attribute__((vector_size(32)));
typedef uint32_t VU __attribute__((vector_size(32)));
typedef uint16_t VU16 __attribute__((vector_size(32)));

struct F {
    VF v;
    F() = default;
    explicit F(VF x) : v(x) {}
    explicit F(float x) : v(VF{} + x) {}
};
// Lanes are unsigned so that shifts and wrap-around are defined; comparisons that need a sign
// convert explicitly.
struct I {
    VU v;
    I() = default;
    explicit I(VU x) : v(x) {}
    explicit I(int32_t x) : v(VU{} + static_cast<uint32_t>(x)) {}
};

// Casts between vectors of one size keep the bits.
inline VU Bits(VF x) {
    return (VU)x;
}
inline VU Bits(VI x) {
    return (VU)x;
}
inline VF Floats(VU x) {
    return (VF)x;
}
inline VI Signed(VU x) {
    return (VI)x;
}
inline VU Select(VU mask, VU yes, VU no) {
    return (mask & yes) | (~mask & no);
}

inline F operator+(F a, F b) {
    return F(a.v + b.v);
}
inline F operator-(F a, F b) {
    return F(a.v - b.v);
}
inline F operator*(F a, F b) {
    return F(a.v * b.v);
}
inline F operator/(F a, F b) {
    return F(a.v / b.v);
}
inline I operator+(I a, I b) {
    return I(a.v + b.v);
}
inline I operator-(I a, I b) {
    return I(a.v - b.v);
}
inline I operator&(I a, I b) {
    return I(a.v & b.v);
}
inline I operator|(I a, I b) {
    return I(a.v | b.v);
}

inline F Ramp() {
    return F(VF{0, 1, 2, 3, 4, 5, 6, 7});
}
// Eight lanes are one step of eight pixels.
inline F Spread(F v, F) {
    return v;
}
inline F Next(F v, F step) {
    return v + step;
}
// As minps/maxps: the second operand wins when either is NaN.
inline F Min(F a, F b) {
    return F(Floats(Select(Bits(a.v < b.v), Bits(a.v), Bits(b.v))));
}
inline F Max(F a, F b) {
    return F(Floats(Select(Bits(a.v > b.v), Bits(a.v), Bits(b.v))));
}
// Values of 2^23 and more (and NaN) are whole already; the rest go through a conversion.
inline F Floor(F a) {
    const VU small = Bits((a.v < 8388608.0f) & (a.v > -8388608.0f));
    const VF clean = Floats(small & Bits(a.v));
    VF t = __builtin_convertvector(__builtin_convertvector(clean, VI), VF);
    t = Floats(Select(Bits(t > clean), Bits(t - 1.0f), Bits(t)));
    return F(Floats(Select(small, Bits(t), Bits(a.v))));
}
inline I MinU(I a, I b) {
    return I(Select(Bits(a.v < b.v), a.v, b.v));
}
inline I MaxU(I a, I b) {
    return I(Select(Bits(a.v > b.v), a.v, b.v));
}
inline F ToFloat(I a) {
    return F(__builtin_convertvector(Signed(a.v), VF));
}
// NaN and values outside the 32-bit range give INT32_MIN, as cvttps2dq does.
inline I Trunc(F a) {
    const VU inside = Bits((a.v >= -2147483648.0f) & (a.v < 2147483648.0f));
    const VF clean = Floats(inside & Bits(a.v));
    return I(Select(inside, Bits(__builtin_convertvector(clean, VI)), VU{} + 0x80000000u));
}
template <int N>
inline I Shl(I a) {
    return I(a.v << N);
}
template <int N>
inline I Shr(I a) {
    return I(a.v >> N);
}
inline I ShlBy(I a, int n) {
    return I(a.v << static_cast<uint32_t>(n));
}
template <int N>
inline I Shl16(I a) {
    VU16 h;
    std::memcpy(&h, &a.v, sizeof h);
    h = h << N;
    VU r;
    std::memcpy(&r, &h, sizeof r);
    return I(r);
}
template <int N>
inline I Shr16(I a) {
    VU16 h;
    std::memcpy(&h, &a.v, sizeof h);
    h = h >> N;
    VU r;
    std::memcpy(&r, &h, sizeof r);
    return I(r);
}
// Signed 16-bit halves, each pair of products summed into 32 bits (wrapping as pmaddwd).
inline I Madd16(I a, I b) {
    const VU loA = Bits(Signed(a.v << 16) >> 16), loB = Bits(Signed(b.v << 16) >> 16);
    const VU hiA = Bits(Signed(a.v) >> 16), hiB = Bits(Signed(b.v) >> 16);
    return I(loA * loB + hiA * hiB);
}
inline I Eq(I a, I b) {
    return I(Bits(a.v == b.v));
}
inline I Eq(F a, F b) {
    return I(Bits(a.v == b.v));
}
inline I Gt(I a, I b) {
    return I(Bits(Signed(a.v) > Signed(b.v)));
}
inline I IfThen(I mask, I yes, I no) {
    return I(Select(mask.v, yes.v, no.v));
}
inline I AndNot(I a, I b) {
    return I(~a.v & b.v);
}
inline int Mask(I a) {
    int m = 0;
    for (int i = 0; i < kLanes; ++i) m |= static_cast<int>(a.v[i] >> 31) << i;
    return m;
}
inline I Gather32(const uint16_t* base, I index) {
    VU r;
    for (int i = 0; i < kLanes; ++i) {
        uint32_t x;
        std::memcpy(&x, base + index.v[i], 4);
        r[i] = x;
    }
    return I(r);
}
inline void GatherQuads(const uint64_t* base, I index, I& low, I& high) {
    VU l, h;
    for (int i = 0; i < kLanes; ++i) {
        uint64_t q;
        std::memcpy(&q, base + index.v[i], 8);
        l[i] = static_cast<uint32_t>(q);
        h[i] = static_cast<uint32_t>(q >> 32);
    }
    low = I(l);
    high = I(h);
}
inline I LaneLess(int n) {
    return I(Bits(VI{0, 1, 2, 3, 4, 5, 6, 7} < n));
}
inline I Load16(const uint16_t* p, int n) {
    VU r = {};
    for (int i = 0; i < n; ++i) r[i] = p[i];
    return I(r);
}
inline void Store16(uint16_t* p, I a, int n) {
    for (int i = 0; i < n; ++i) {
        const int32_t x = static_cast<int32_t>(a.v[i]);
        p[i] = static_cast<uint16_t>(x < 0 ? 0 : (x > 0xFFFF ? 0xFFFF : x));
    }
}
inline F LoadF(const float* p) {
    VF r;
    std::memcpy(&r, p, sizeof r);
    return F(r);
}

constexpr bool kSpecialised = false;
#include "platform/dx/D3DSpanKernel.inc"

}  // namespace
}  // namespace d3d

d3d::SpanFn d3d::PortableSpanFunction(const SpanKey& key) {
    return LookUpKernel(key);
}

// A CPU runs every kernel of a build or none, so the default key's answers for all.
d3d::SpanBuild d3d::RunnableSpanBuild(SpanBuild limit) {
    if (limit >= SpanBuild::Avx512 && Avx512SpanFunction(SpanKey{})) return SpanBuild::Avx512;
    if (limit >= SpanBuild::Avx2 && Avx2SpanFunction(SpanKey{})) return SpanBuild::Avx2;
    if (limit >= SpanBuild::Neon && NeonSpanFunction(SpanKey{})) return SpanBuild::Neon;
    return SpanBuild::Portable;
}

d3d::SpanFn d3d::SpanFunction(SpanBuild build, const SpanKey& key) {
    switch (build) {
        case SpanBuild::Avx512:
            return Avx512SpanFunction(key);
        case SpanBuild::Avx2:
            return Avx2SpanFunction(key);
        case SpanBuild::Neon:
            return NeonSpanFunction(key);
        default:
            return PortableSpanFunction(key);
    }
}

const char* d3d::SpanBuildName(SpanBuild build) {
    switch (build) {
        case SpanBuild::Avx2:
            return "Avx2";
        case SpanBuild::Avx512:
            return "Avx512";
        case SpanBuild::Neon:
            return "Neon";
        default:
            return "Portable";
    }
}
