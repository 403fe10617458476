// The span kernels for WebAssembly's 128-bit SIMD: eight lanes as two vectors, as on NEON, and
// every operation gives the bits of its AVX2 counterpart: float-to-integer conversions give
// INT32_MIN for NaN and out-of-range lanes where WebAssembly would saturate, Min and Max
// compare and select as minps and maxps do, and products are rounded one by one (WebAssembly
// has no fused multiply-add outside its relaxed instructions, which are not used).
#include "platform/dx/D3DSpan.h"

#if defined(__wasm_simd128__)

#include <wasm_simd128.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace d3d {
namespace {

constexpr int kLanes = 8;
using V = v128_t;

struct F {
    V lo, hi;
    F() = default;
    F(V l, V h) : lo(l), hi(h) {}
    explicit F(float x) : lo(wasm_f32x4_splat(x)), hi(lo) {}
};
struct I {
    V lo, hi;
    I() = default;
    I(V l, V h) : lo(l), hi(h) {}
    explicit I(int32_t x) : lo(wasm_i32x4_splat(x)), hi(lo) {}
};

inline F operator+(F a, F b) {
    return {wasm_f32x4_add(a.lo, b.lo), wasm_f32x4_add(a.hi, b.hi)};
}
inline F operator-(F a, F b) {
    return {wasm_f32x4_sub(a.lo, b.lo), wasm_f32x4_sub(a.hi, b.hi)};
}
inline F operator*(F a, F b) {
    return {wasm_f32x4_mul(a.lo, b.lo), wasm_f32x4_mul(a.hi, b.hi)};
}
inline F operator/(F a, F b) {
    return {wasm_f32x4_div(a.lo, b.lo), wasm_f32x4_div(a.hi, b.hi)};
}
inline I operator+(I a, I b) {
    return {wasm_i32x4_add(a.lo, b.lo), wasm_i32x4_add(a.hi, b.hi)};
}
inline I operator-(I a, I b) {
    return {wasm_i32x4_sub(a.lo, b.lo), wasm_i32x4_sub(a.hi, b.hi)};
}
inline I operator&(I a, I b) {
    return {wasm_v128_and(a.lo, b.lo), wasm_v128_and(a.hi, b.hi)};
}
inline I operator|(I a, I b) {
    return {wasm_v128_or(a.lo, b.lo), wasm_v128_or(a.hi, b.hi)};
}

inline F Ramp() {
    return {wasm_f32x4_make(0, 1, 2, 3), wasm_f32x4_make(4, 5, 6, 7)};
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
    return {wasm_v128_bitselect(a.lo, b.lo, wasm_f32x4_lt(a.lo, b.lo)),
            wasm_v128_bitselect(a.hi, b.hi, wasm_f32x4_lt(a.hi, b.hi))};
}
inline F Max(F a, F b) {
    return {wasm_v128_bitselect(a.lo, b.lo, wasm_f32x4_gt(a.lo, b.lo)),
            wasm_v128_bitselect(a.hi, b.hi, wasm_f32x4_gt(a.hi, b.hi))};
}
// Rounding towards minus infinity, as roundps does: whole values and infinities pass.
inline F Floor(F a) {
    return {wasm_f32x4_floor(a.lo), wasm_f32x4_floor(a.hi)};
}
inline I MinU(I a, I b) {
    return {wasm_u32x4_min(a.lo, b.lo), wasm_u32x4_min(a.hi, b.hi)};
}
inline I MaxU(I a, I b) {
    return {wasm_u32x4_max(a.lo, b.lo), wasm_u32x4_max(a.hi, b.hi)};
}
[[maybe_unused]] inline F ToFloat(I a) {
    return {wasm_f32x4_convert_i32x4(a.lo), wasm_f32x4_convert_i32x4(a.hi)};
}
// NaN and values outside the 32-bit range give INT32_MIN, as cvttps2dq does. WebAssembly
// saturates instead, which gives INT32_MIN below the range already; NaN (zero) and values of
// 2^31 and more (INT32_MAX) are the lanes that fail a < 2^31.
inline V Trunc4(V a) {
    const V inside = wasm_f32x4_lt(a, wasm_f32x4_splat(2147483648.0f));
    return wasm_v128_bitselect(wasm_i32x4_trunc_sat_f32x4(a), wasm_i32x4_splat(INT32_MIN), inside);
}
inline I Trunc(F a) {
    return {Trunc4(a.lo), Trunc4(a.hi)};
}
template <int N>
inline I Shl(I a) {
    return {wasm_i32x4_shl(a.lo, N), wasm_i32x4_shl(a.hi, N)};
}
template <int N>
inline I Shr(I a) {
    return {wasm_u32x4_shr(a.lo, N), wasm_u32x4_shr(a.hi, N)};
}
// Counts of 32 and more clear the lanes, as vpsllvd does (WebAssembly takes the count modulo 32).
inline I ShlBy(I a, int n) {
    if (n >= 32 || n < 0) return I(0);
    return {wasm_i32x4_shl(a.lo, static_cast<uint32_t>(n)),
            wasm_i32x4_shl(a.hi, static_cast<uint32_t>(n))};
}
template <int N>
inline I Shl16(I a) {
    return {wasm_i16x8_shl(a.lo, N), wasm_i16x8_shl(a.hi, N)};
}
template <int N>
inline I Shr16(I a) {
    return {wasm_u16x8_shr(a.lo, N), wasm_u16x8_shr(a.hi, N)};
}
// Signed 16-bit halves, each pair of products summed into 32 bits, wrapping: pmaddwd exactly.
inline I Madd16(I a, I b) {
    return {wasm_i32x4_dot_i16x8(a.lo, b.lo), wasm_i32x4_dot_i16x8(a.hi, b.hi)};
}
inline I Eq(I a, I b) {
    return {wasm_i32x4_eq(a.lo, b.lo), wasm_i32x4_eq(a.hi, b.hi)};
}
[[maybe_unused]] inline I Eq(F a, F b) {
    return {wasm_f32x4_eq(a.lo, b.lo), wasm_f32x4_eq(a.hi, b.hi)};
}
inline I Gt(I a, I b) {
    return {wasm_i32x4_gt(a.lo, b.lo), wasm_i32x4_gt(a.hi, b.hi)};
}
// Masks are whole lanes, so a bitwise select is blendv's choice.
inline I IfThen(I mask, I yes, I no) {
    return {wasm_v128_bitselect(yes.lo, no.lo, mask.lo),
            wasm_v128_bitselect(yes.hi, no.hi, mask.hi)};
}
inline I AndNot(I a, I b) {
    return {wasm_v128_andnot(b.lo, a.lo), wasm_v128_andnot(b.hi, a.hi)};
}
inline int Mask(I a) {
    return static_cast<int>(wasm_i32x4_bitmask(a.lo) | wasm_i32x4_bitmask(a.hi) << 4);
}
[[gnu::always_inline]] inline I Gather32(const uint16_t* base, I index) {
    auto read = [base](uint32_t i) {
        uint32_t x;
        std::memcpy(&x, base + i, 4);
        return x;
    };
    return {wasm_u32x4_make(read(wasm_u32x4_extract_lane(index.lo, 0)),
                            read(wasm_u32x4_extract_lane(index.lo, 1)),
                            read(wasm_u32x4_extract_lane(index.lo, 2)),
                            read(wasm_u32x4_extract_lane(index.lo, 3))),
            wasm_u32x4_make(read(wasm_u32x4_extract_lane(index.hi, 0)),
                            read(wasm_u32x4_extract_lane(index.hi, 1)),
                            read(wasm_u32x4_extract_lane(index.hi, 2)),
                            read(wasm_u32x4_extract_lane(index.hi, 3)))};
}
// Each lane's 64-bit entry: two entries make a vector, and the even and odd 32-bit halves of
// two vectors are the low and high halves of four lanes.
[[gnu::always_inline]] inline void GatherQuads(const uint64_t* base, I index, I& low, I& high) {
    auto two = [base](uint32_t a, uint32_t b) { return wasm_u64x2_make(base[a], base[b]); };
    const V q01 = two(wasm_u32x4_extract_lane(index.lo, 0), wasm_u32x4_extract_lane(index.lo, 1));
    const V q23 = two(wasm_u32x4_extract_lane(index.lo, 2), wasm_u32x4_extract_lane(index.lo, 3));
    const V q45 = two(wasm_u32x4_extract_lane(index.hi, 0), wasm_u32x4_extract_lane(index.hi, 1));
    const V q67 = two(wasm_u32x4_extract_lane(index.hi, 2), wasm_u32x4_extract_lane(index.hi, 3));
    low = {wasm_i32x4_shuffle(q01, q23, 0, 2, 4, 6), wasm_i32x4_shuffle(q45, q67, 0, 2, 4, 6)};
    high = {wasm_i32x4_shuffle(q01, q23, 1, 3, 5, 7), wasm_i32x4_shuffle(q45, q67, 1, 3, 5, 7)};
}
inline I LaneLess(int n) {
    const V limit = wasm_i32x4_splat(n);
    return {wasm_i32x4_lt(wasm_i32x4_make(0, 1, 2, 3), limit),
            wasm_i32x4_lt(wasm_i32x4_make(4, 5, 6, 7), limit)};
}
inline I Load16(const uint16_t* p, int n) {
    V x;
    if (n == kLanes) {
        x = wasm_v128_load(p);
    } else {
        uint16_t tmp[kLanes] = {};
        std::memcpy(tmp, p, static_cast<size_t>(n) * 2);
        x = wasm_v128_load(tmp);
    }
    return {wasm_u32x4_extend_low_u16x8(x), wasm_u32x4_extend_high_u16x8(x)};
}
// Signed lanes saturated to 0..65535, as packusdw.
inline void Store16(uint16_t* p, I a, int n) {
    const V x = wasm_u16x8_narrow_i32x4(a.lo, a.hi);
    if (n == kLanes) {
        wasm_v128_store(p, x);
    } else {
        uint16_t tmp[kLanes];
        wasm_v128_store(tmp, x);
        std::memcpy(p, tmp, static_cast<size_t>(n) * 2);
    }
}
[[maybe_unused]] inline F LoadF(const float* p) {
    return {wasm_v128_load(p), wasm_v128_load(p + 4)};
}
inline I LoadI(const int32_t* p) {
    return {wasm_v128_load(p), wasm_v128_load(p + 4)};
}
// The 16-bit halves of the lanes as eight 16-bit elements per vector: the high half of each
// unsigned product (pmulhuw), a signed add saturated (paddsw), a wrapping difference, an
// unsigned minimum.
inline V MulHi16x(V a, V b) {
    const V low = wasm_u32x4_extmul_low_u16x8(a, b), high = wasm_u32x4_extmul_high_u16x8(a, b);
    return wasm_i16x8_shuffle(low, high, 1, 3, 5, 7, 9, 11, 13, 15);
}
inline I MulHi16(I a, I b) {
    return {MulHi16x(a.lo, b.lo), MulHi16x(a.hi, b.hi)};
}
inline I AddSat16(I a, I b) {
    return {wasm_i16x8_add_sat(a.lo, b.lo), wasm_i16x8_add_sat(a.hi, b.hi)};
}
inline I Sub16(I a, I b) {
    return {wasm_i16x8_sub(a.lo, b.lo), wasm_i16x8_sub(a.hi, b.hi)};
}
inline I MinU16(I a, I b) {
    return {wasm_u16x8_min(a.lo, b.lo), wasm_u16x8_min(a.hi, b.hi)};
}

constexpr bool kSpecialised = true;
#include "platform/dx/D3DSpanKernel.inc"

}  // namespace
}  // namespace d3d

// A WebAssembly engine that loads the module runs its SIMD: the module is built for it.
d3d::SpanFn d3d::Simd128SpanFunction(const SpanKey& key) {
    return LookUpKernel(key);
}

#else

d3d::SpanFn d3d::Simd128SpanFunction(const SpanKey&) {
    return nullptr;
}

#endif
