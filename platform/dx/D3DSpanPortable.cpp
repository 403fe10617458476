// The span kernels for any CPU, on the compiler's generic vectors of eight lanes (two SSE
// registers on x86-64 without AVX2, NEON on ARM). Every operation gives the same bits as its
// AVX2 counterpart (conversions follow the x86 rules), so both builds draw the same pixels.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/dx/D3DSpan.h"

namespace d3d {
namespace {

// Eight lanes are two vectors of sixteen bytes, the width every 64-bit CPU has in registers
// (SSE2, NEON), so that comparisons, selects and conversions stay vector operations: one
// vector of 32 bytes is split by the compiler, and its comparisons go lane by lane.
constexpr int kLanes = 8;
typedef float VF __attribute__((vector_size(16)));
typedef int32_t VI __attribute__((vector_size(16)));
typedef uint32_t VU __attribute__((vector_size(16)));
typedef uint16_t VU16 __attribute__((vector_size(16)));
typedef uint16_t VU16x4 __attribute__((vector_size(8)));
typedef short VS16 __attribute__((vector_size(16)));

struct F {
    VF lo, hi;
    F() = default;
    F(VF l, VF h) : lo(l), hi(h) {}
    explicit F(float x) : lo(VF{} + x), hi(lo) {}
};
// Lanes are unsigned so that shifts and wrap-around are defined; comparisons that need a sign
// convert explicitly.
struct I {
    VU lo, hi;
    I() = default;
    I(VU l, VU h) : lo(l), hi(h) {}
    explicit I(int32_t x) : lo(VU{} + static_cast<uint32_t>(x)), hi(lo) {}
};

// Casts between vectors of one size keep the bits. One template for every source: a
// comparison's result type differs between compilers (clang's is not VI), and overloads for
// VF and VI would be ambiguous there.
template <typename V>
inline VU Bits(V x) {
    static_assert(sizeof(V) == sizeof(VU));
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
    return {a.lo + b.lo, a.hi + b.hi};
}
inline F operator-(F a, F b) {
    return {a.lo - b.lo, a.hi - b.hi};
}
inline F operator*(F a, F b) {
    return {a.lo * b.lo, a.hi * b.hi};
}
inline F operator/(F a, F b) {
    return {a.lo / b.lo, a.hi / b.hi};
}
inline I operator+(I a, I b) {
    return {a.lo + b.lo, a.hi + b.hi};
}
inline I operator-(I a, I b) {
    return {a.lo - b.lo, a.hi - b.hi};
}
inline I operator&(I a, I b) {
    return {a.lo & b.lo, a.hi & b.hi};
}
inline I operator|(I a, I b) {
    return {a.lo | b.lo, a.hi | b.hi};
}

inline F Ramp() {
    return {VF{0, 1, 2, 3}, VF{4, 5, 6, 7}};
}
// Eight lanes are one step of eight pixels.
inline F Spread(F v, F) {
    return v;
}
inline F Next(F v, F step) {
    return v + step;
}
// As minps/maxps: the second operand wins when either is NaN. On x86-64 (SSE2 is part of it)
// these and a few more operations below are the x86 instructions that define the rules.
inline VF Min4(VF a, VF b) {
#if defined(__SSE2__)
    return __builtin_ia32_minps(a, b);
#else
    return Floats(Select(Bits(a < b), Bits(a), Bits(b)));
#endif
}
inline VF Max4(VF a, VF b) {
#if defined(__SSE2__)
    return __builtin_ia32_maxps(a, b);
#else
    return Floats(Select(Bits(a > b), Bits(a), Bits(b)));
#endif
}
inline F Min(F a, F b) {
    return {Min4(a.lo, b.lo), Min4(a.hi, b.hi)};
}
inline F Max(F a, F b) {
    return {Max4(a.lo, b.lo), Max4(a.hi, b.hi)};
}
// Values of 2^23 and more (and NaN) are whole already; the rest go through a conversion.
inline VF Floor4(VF a) {
    const VU small = Bits((a < 8388608.0f) & (a > -8388608.0f));
    const VF clean = Floats(small & Bits(a));
    VF t = __builtin_convertvector(__builtin_convertvector(clean, VI), VF);
    t = Floats(Select(Bits(t > clean), Bits(t - 1.0f), Bits(t)));
    return Floats(Select(small, Bits(t), Bits(a)));
}
inline F Floor(F a) {
    return {Floor4(a.lo), Floor4(a.hi)};
}
inline I MinU(I a, I b) {
    return {Select(Bits(a.lo < b.lo), a.lo, b.lo), Select(Bits(a.hi < b.hi), a.hi, b.hi)};
}
inline I MaxU(I a, I b) {
    return {Select(Bits(a.lo > b.lo), a.lo, b.lo), Select(Bits(a.hi > b.hi), a.hi, b.hi)};
}
[[maybe_unused]] inline F ToFloat(I a) {
    return {__builtin_convertvector(Signed(a.lo), VF), __builtin_convertvector(Signed(a.hi), VF)};
}
// NaN and values outside the 32-bit range give INT32_MIN, as cvttps2dq does.
inline VU Trunc4(VF a) {
#if defined(__SSE2__)
    return (VU)__builtin_ia32_cvttps2dq(a);
#else
    const VU inside = Bits((a >= -2147483648.0f) & (a < 2147483648.0f));
    const VF clean = Floats(inside & Bits(a));
    return Select(inside, Bits(__builtin_convertvector(clean, VI)), VU{} + 0x80000000u);
#endif
}
inline I Trunc(F a) {
    return {Trunc4(a.lo), Trunc4(a.hi)};
}
template <int N>
inline I Shl(I a) {
    return {a.lo << N, a.hi << N};
}
template <int N>
inline I Shr(I a) {
    return {a.lo >> N, a.hi >> N};
}
inline I ShlBy(I a, int n) {
    return {a.lo << static_cast<uint32_t>(n), a.hi << static_cast<uint32_t>(n)};
}
template <int N>
inline I Shl16(I a) {
    return {(VU)((VU16)a.lo << N), (VU)((VU16)a.hi << N)};
}
template <int N>
inline I Shr16(I a) {
    return {(VU)((VU16)a.lo >> N), (VU)((VU16)a.hi >> N)};
}
// Signed 16-bit halves, each pair of products summed into 32 bits (wrapping as pmaddwd).
inline VU Madd4(VU a, VU b) {
#if defined(__SSE2__)
    return (VU)__builtin_ia32_pmaddwd128((VS16)a, (VS16)b);
#else
    const VU loA = Bits(Signed(a << 16) >> 16), loB = Bits(Signed(b << 16) >> 16);
    const VU hiA = Bits(Signed(a) >> 16), hiB = Bits(Signed(b) >> 16);
    return loA * loB + hiA * hiB;
#endif
}
inline I Madd16(I a, I b) {
    return {Madd4(a.lo, b.lo), Madd4(a.hi, b.hi)};
}
inline I Eq(I a, I b) {
    return {Bits(a.lo == b.lo), Bits(a.hi == b.hi)};
}
[[maybe_unused]] inline I Eq(F a, F b) {
    return {Bits(a.lo == b.lo), Bits(a.hi == b.hi)};
}
inline I Gt(I a, I b) {
    return {Bits(Signed(a.lo) > Signed(b.lo)), Bits(Signed(a.hi) > Signed(b.hi))};
}
inline I IfThen(I mask, I yes, I no) {
    return {Select(mask.lo, yes.lo, no.lo), Select(mask.hi, yes.hi, no.hi)};
}
inline I AndNot(I a, I b) {
    return {~a.lo & b.lo, ~a.hi & b.hi};
}
inline int Mask4(VU a) {
#if defined(__SSE2__)
    return __builtin_ia32_movmskps((VF)a);
#else
    const VU bits = (a >> 31) << (VU{0, 1, 2, 3});
    return static_cast<int>(bits[0] | bits[1] | bits[2] | bits[3]);
#endif
}
inline int Mask(I a) {
    return Mask4(a.lo) | Mask4(a.hi) << 4;
}
[[gnu::always_inline]] inline I Gather32(const uint16_t* base, I index) {
    auto read = [base](uint32_t i) {
        uint32_t x;
        std::memcpy(&x, base + i, 4);
        return x;
    };
    return {VU{read(index.lo[0]), read(index.lo[1]), read(index.lo[2]), read(index.lo[3])},
            VU{read(index.hi[0]), read(index.hi[1]), read(index.hi[2]), read(index.hi[3])}};
}
[[gnu::always_inline]] inline void GatherQuads(const uint64_t* base, I index, I& low, I& high) {
    uint64_t q[8];
    for (int i = 0; i < 4; ++i) {
        q[i] = base[index.lo[i]];
        q[i + 4] = base[index.hi[i]];
    }
    auto half = [&q](int at, int shift) {
        return VU{static_cast<uint32_t>(q[at] >> shift), static_cast<uint32_t>(q[at + 1] >> shift),
                  static_cast<uint32_t>(q[at + 2] >> shift),
                  static_cast<uint32_t>(q[at + 3] >> shift)};
    };
    low = {half(0, 0), half(4, 0)};
    high = {half(0, 32), half(4, 32)};
}
inline I LaneLess(int n) {
    return {Bits(VI{0, 1, 2, 3} < n), Bits(VI{4, 5, 6, 7} < n)};
}
// A whole group is one 16-byte load, widened; the last pixels of a row go through a copy.
inline I Load16(const uint16_t* p, int n) {
    VU16 x = {};
    if (n == kLanes) {
        std::memcpy(&x, p, sizeof x);
    } else {
        std::memcpy(&x, p, static_cast<size_t>(n) * 2);
    }
    return {__builtin_convertvector(__builtin_shufflevector(x, x, 0, 1, 2, 3), VU),
            __builtin_convertvector(__builtin_shufflevector(x, x, 4, 5, 6, 7), VU)};
}
// Signed lanes saturated to 0..65535 (packusdw), narrowed, stored as one vector.
inline VU16x4 Narrow4(VU a) {
    const VI s = Signed(a);
    VU v = Select(Bits(s < 0), VU{}, a);
    v = Select(Bits(s > 0xFFFF), VU{} + 0xFFFFu, v);
    return __builtin_convertvector(v, VU16x4);
}
inline void Store16(uint16_t* p, I a, int n) {
    const VU16x4 lo = Narrow4(a.lo), hi = Narrow4(a.hi);
    const VU16 x = __builtin_shufflevector(lo, hi, 0, 1, 2, 3, 4, 5, 6, 7);
    if (n == kLanes) {
        std::memcpy(p, &x, sizeof x);
    } else {
        std::memcpy(p, &x, static_cast<size_t>(n) * 2);
    }
}
[[maybe_unused]] inline F LoadF(const float* p) {
    F r;
    std::memcpy(&r.lo, p, sizeof r.lo);
    std::memcpy(&r.hi, p + 4, sizeof r.hi);
    return r;
}
inline I LoadI(const int32_t* p) {
    I r;
    std::memcpy(&r.lo, p, sizeof r.lo);
    std::memcpy(&r.hi, p + 4, sizeof r.hi);
    return r;
}
// The 16-bit halves of the lanes as eight 16-bit elements per vector: the high half of each
// product (pmulhuw), a signed add saturated to -32768..32767 (paddsw), a wrapping difference,
// an unsigned minimum.
typedef uint32_t VU32x8 __attribute__((vector_size(32)));
typedef int32_t VI32x8 __attribute__((vector_size(32)));
inline VU MulHi16x(VU a, VU b) {
#if defined(__SSE2__)
    return (VU)__builtin_ia32_pmulhuw128((VS16)a, (VS16)b);
#else
    const VU32x8 p =
        __builtin_convertvector((VU16)a, VU32x8) * __builtin_convertvector((VU16)b, VU32x8);
    return (VU) __builtin_convertvector(p >> 16, VU16);
#endif
}
inline VU AddSat16x(VU a, VU b) {
#if defined(__SSE2__)
    return (VU)__builtin_ia32_paddsw128((VS16)a, (VS16)b);
#else
    VI32x8 s = __builtin_convertvector((VS16)a, VI32x8) + __builtin_convertvector((VS16)b, VI32x8);
    const VI32x8 top = VI32x8{} + 32767, bottom = VI32x8{} - 32768;
    s = (VI32x8)(((VU32x8)(s > top) & (VU32x8)top) | (~(VU32x8)(s > top) & (VU32x8)s));
    s = (VI32x8)(((VU32x8)(s < bottom) & (VU32x8)bottom) | (~(VU32x8)(s < bottom) & (VU32x8)s));
    return (VU) __builtin_convertvector(s, VS16);
#endif
}
inline VU MinU16x(VU a, VU b) {
    const VU16 x = (VU16)a, y = (VU16)b;
    const VU16 less = (VU16)(x < y);
    return (VU)((less & x) | (~less & y));
}
inline I MulHi16(I a, I b) {
    return {MulHi16x(a.lo, b.lo), MulHi16x(a.hi, b.hi)};
}
inline I AddSat16(I a, I b) {
    return {AddSat16x(a.lo, b.lo), AddSat16x(a.hi, b.hi)};
}
inline I Sub16(I a, I b) {
    return {(VU)((VU16)a.lo - (VU16)b.lo), (VU)((VU16)a.hi - (VU16)b.hi)};
}
inline I MinU16(I a, I b) {
    return {MinU16x(a.lo, b.lo), MinU16x(a.hi, b.hi)};
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
    if (limit >= SpanBuild::Simd128 && Simd128SpanFunction(SpanKey{})) return SpanBuild::Simd128;
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
        case SpanBuild::Simd128:
            return Simd128SpanFunction(key);
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
        case SpanBuild::Simd128:
            return "Simd128";
        default:
            return "Portable";
    }
}
