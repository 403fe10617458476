// The span kernels for ARM's 64-bit NEON: eight lanes as two 128-bit registers, each eight-lane
// operation a pair of four-lane ones. Every operation gives the bits of its AVX2 counterpart:
// float-to-integer conversions give INT32_MIN for NaN and out-of-range lanes where NEON would
// saturate, Min and Max compare and select (NEON's own min and max treat NaN otherwise), and
// no multiply-accumulate instruction is used (each product is rounded on its own).
#include "platform/dx/D3DSpan.h"

#if defined(__aarch64__)

#include <arm_neon.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace d3d {
namespace {

constexpr int kLanes = 8;

struct F {
    float32x4_t lo, hi;
    F() = default;
    F(float32x4_t l, float32x4_t h) : lo(l), hi(h) {}
    explicit F(float x) : lo(vdupq_n_f32(x)), hi(lo) {}
};
// Lanes are unsigned; comparisons that need a sign reinterpret.
struct I {
    uint32x4_t lo, hi;
    I() = default;
    I(uint32x4_t l, uint32x4_t h) : lo(l), hi(h) {}
    explicit I(int32_t x) : lo(vdupq_n_u32(static_cast<uint32_t>(x))), hi(lo) {}
};

inline F operator+(F a, F b) {
    return {vaddq_f32(a.lo, b.lo), vaddq_f32(a.hi, b.hi)};
}
inline F operator-(F a, F b) {
    return {vsubq_f32(a.lo, b.lo), vsubq_f32(a.hi, b.hi)};
}
inline F operator*(F a, F b) {
    return {vmulq_f32(a.lo, b.lo), vmulq_f32(a.hi, b.hi)};
}
inline F operator/(F a, F b) {
    return {vdivq_f32(a.lo, b.lo), vdivq_f32(a.hi, b.hi)};
}
inline I operator+(I a, I b) {
    return {vaddq_u32(a.lo, b.lo), vaddq_u32(a.hi, b.hi)};
}
inline I operator-(I a, I b) {
    return {vsubq_u32(a.lo, b.lo), vsubq_u32(a.hi, b.hi)};
}
inline I operator&(I a, I b) {
    return {vandq_u32(a.lo, b.lo), vandq_u32(a.hi, b.hi)};
}
inline I operator|(I a, I b) {
    return {vorrq_u32(a.lo, b.lo), vorrq_u32(a.hi, b.hi)};
}

inline F Ramp() {
    static const float kRamp[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    return {vld1q_f32(kRamp), vld1q_f32(kRamp + 4)};
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
    return {vbslq_f32(vcltq_f32(a.lo, b.lo), a.lo, b.lo),
            vbslq_f32(vcltq_f32(a.hi, b.hi), a.hi, b.hi)};
}
inline F Max(F a, F b) {
    return {vbslq_f32(vcgtq_f32(a.lo, b.lo), a.lo, b.lo),
            vbslq_f32(vcgtq_f32(a.hi, b.hi), a.hi, b.hi)};
}
// Rounding towards minus infinity, as roundps does: whole values, infinities and NaN pass.
inline F Floor(F a) {
    return {vrndmq_f32(a.lo), vrndmq_f32(a.hi)};
}
inline I MinU(I a, I b) {
    return {vminq_u32(a.lo, b.lo), vminq_u32(a.hi, b.hi)};
}
inline I MaxU(I a, I b) {
    return {vmaxq_u32(a.lo, b.lo), vmaxq_u32(a.hi, b.hi)};
}
inline F ToFloat(I a) {
    return {vcvtq_f32_s32(vreinterpretq_s32_u32(a.lo)), vcvtq_f32_s32(vreinterpretq_s32_u32(a.hi))};
}
// NaN and values outside the 32-bit range give INT32_MIN, as cvttps2dq does. NEON saturates
// instead, which gives INT32_MIN below the range already; NaN (zero) and values of 2^31 and
// more (INT32_MAX) are the lanes that fail a < 2^31.
inline uint32x4_t Trunc4(float32x4_t a) {
    const uint32x4_t inside = vcltq_f32(a, vdupq_n_f32(2147483648.0f));
    return vbslq_u32(inside, vreinterpretq_u32_s32(vcvtq_s32_f32(a)), vdupq_n_u32(0x80000000u));
}
inline I Trunc(F a) {
    return {Trunc4(a.lo), Trunc4(a.hi)};
}
template <int N>
inline I Shl(I a) {
    return {vshlq_n_u32(a.lo, N), vshlq_n_u32(a.hi, N)};
}
template <int N>
inline I Shr(I a) {
    return {vshrq_n_u32(a.lo, N), vshrq_n_u32(a.hi, N)};
}
inline I ShlBy(I a, int n) {
    const int32x4_t by = vdupq_n_s32(n);
    return {vshlq_u32(a.lo, by), vshlq_u32(a.hi, by)};
}
template <int N>
inline uint32x4_t Shl16x(uint32x4_t a) {
    return vreinterpretq_u32_u16(vshlq_n_u16(vreinterpretq_u16_u32(a), N));
}
template <int N>
inline uint32x4_t Shr16x(uint32x4_t a) {
    return vreinterpretq_u32_u16(vshrq_n_u16(vreinterpretq_u16_u32(a), N));
}
template <int N>
inline I Shl16(I a) {
    return {Shl16x<N>(a.lo), Shl16x<N>(a.hi)};
}
template <int N>
inline I Shr16(I a) {
    return {Shr16x<N>(a.lo), Shr16x<N>(a.hi)};
}
// Signed 16-bit halves, each pair of products summed into 32 bits (wrapping as pmaddwd): the
// widening products of the halves, then adjacent pairs added.
inline uint32x4_t Madd16x(uint32x4_t a, uint32x4_t b) {
    const int16x8_t a16 = vreinterpretq_s16_u32(a), b16 = vreinterpretq_s16_u32(b);
    const int32x4_t low = vmull_s16(vget_low_s16(a16), vget_low_s16(b16));
    const int32x4_t high = vmull_high_s16(a16, b16);
    return vreinterpretq_u32_s32(vpaddq_s32(low, high));
}
inline I Madd16(I a, I b) {
    return {Madd16x(a.lo, b.lo), Madd16x(a.hi, b.hi)};
}
inline I Eq(I a, I b) {
    return {vceqq_u32(a.lo, b.lo), vceqq_u32(a.hi, b.hi)};
}
inline I Eq(F a, F b) {
    return {vceqq_f32(a.lo, b.lo), vceqq_f32(a.hi, b.hi)};
}
inline I Gt(I a, I b) {
    return {vcgtq_s32(vreinterpretq_s32_u32(a.lo), vreinterpretq_s32_u32(b.lo)),
            vcgtq_s32(vreinterpretq_s32_u32(a.hi), vreinterpretq_s32_u32(b.hi))};
}
// Masks are whole lanes, so a bitwise select is blendv's choice.
inline I IfThen(I mask, I yes, I no) {
    return {vbslq_u32(mask.lo, yes.lo, no.lo), vbslq_u32(mask.hi, yes.hi, no.hi)};
}
inline I AndNot(I a, I b) {
    return {vbicq_u32(b.lo, a.lo), vbicq_u32(b.hi, a.hi)};
}
inline int Mask(I a) {
    static const int32_t kPlace[4] = {0, 1, 2, 3};
    const int32x4_t by = vld1q_s32(kPlace);
    const uint32_t lo = vaddvq_u32(vshlq_u32(vshrq_n_u32(a.lo, 31), by));
    const uint32_t hi = vaddvq_u32(vshlq_u32(vshrq_n_u32(a.hi, 31), by));
    return static_cast<int>(lo | hi << 4);
}
[[gnu::always_inline]] inline I Gather32(const uint16_t* base, I index) {
    auto read = [base](uint32_t i) {
        uint32_t x;
        std::memcpy(&x, base + i, 4);
        return x;
    };
    const uint32_t lo[4] = {read(vgetq_lane_u32(index.lo, 0)), read(vgetq_lane_u32(index.lo, 1)),
                            read(vgetq_lane_u32(index.lo, 2)), read(vgetq_lane_u32(index.lo, 3))};
    const uint32_t hi[4] = {read(vgetq_lane_u32(index.hi, 0)), read(vgetq_lane_u32(index.hi, 1)),
                            read(vgetq_lane_u32(index.hi, 2)), read(vgetq_lane_u32(index.hi, 3))};
    return {vld1q_u32(lo), vld1q_u32(hi)};
}
// Each lane's 64-bit entry: two entries make a 128-bit register, and the even and odd 32-bit
// halves of two registers are the low and high halves of four lanes.
[[gnu::always_inline]] inline void GatherQuads(const uint64_t* base, I index, I& low, I& high) {
    auto two = [base](uint32_t a, uint32_t b) {
        return vreinterpretq_u32_u64(vcombine_u64(vld1_u64(base + a), vld1_u64(base + b)));
    };
    const uint32x4_t q01 = two(vgetq_lane_u32(index.lo, 0), vgetq_lane_u32(index.lo, 1));
    const uint32x4_t q23 = two(vgetq_lane_u32(index.lo, 2), vgetq_lane_u32(index.lo, 3));
    const uint32x4_t q45 = two(vgetq_lane_u32(index.hi, 0), vgetq_lane_u32(index.hi, 1));
    const uint32x4_t q67 = two(vgetq_lane_u32(index.hi, 2), vgetq_lane_u32(index.hi, 3));
    low = {vuzp1q_u32(q01, q23), vuzp1q_u32(q45, q67)};
    high = {vuzp2q_u32(q01, q23), vuzp2q_u32(q45, q67)};
}
inline I LaneLess(int n) {
    static const int32_t kLane[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    const int32x4_t limit = vdupq_n_s32(n);
    return {vcltq_s32(vld1q_s32(kLane), limit), vcltq_s32(vld1q_s32(kLane + 4), limit)};
}
inline I Load16(const uint16_t* p, int n) {
    uint16x8_t x;
    if (n == 8) {
        x = vld1q_u16(p);
    } else {
        uint16_t tmp[8] = {};
        std::memcpy(tmp, p, static_cast<size_t>(n) * 2);
        x = vld1q_u16(tmp);
    }
    return {vmovl_u16(vget_low_u16(x)), vmovl_high_u16(x)};
}
// Signed lanes saturated to 0..65535, as packusdw.
inline void Store16(uint16_t* p, I a, int n) {
    const uint16x8_t x = vcombine_u16(vqmovun_s32(vreinterpretq_s32_u32(a.lo)),
                                      vqmovun_s32(vreinterpretq_s32_u32(a.hi)));
    if (n == 8) {
        vst1q_u16(p, x);
    } else {
        uint16_t tmp[8];
        vst1q_u16(tmp, x);
        std::memcpy(p, tmp, static_cast<size_t>(n) * 2);
    }
}
inline F LoadF(const float* p) {
    return {vld1q_f32(p), vld1q_f32(p + 4)};
}
inline I LoadI(const int32_t* p) {
    return {vld1q_u32(reinterpret_cast<const uint32_t*>(p)),
            vld1q_u32(reinterpret_cast<const uint32_t*>(p) + 4)};
}
// The 16-bit halves of the lanes as eight 16-bit elements per register.
inline uint16x8_t Halves(uint32x4_t a) {
    return vreinterpretq_u16_u32(a);
}
inline uint32x4_t Lanes(uint16x8_t a) {
    return vreinterpretq_u32_u16(a);
}
inline uint32x4_t MulHi16x(uint32x4_t a, uint32x4_t b) {
    const uint16x8_t x = Halves(a), y = Halves(b);
    const uint32x4_t low = vmull_u16(vget_low_u16(x), vget_low_u16(y));
    const uint32x4_t high = vmull_high_u16(x, y);
    return Lanes(vuzp2q_u16(Halves(low), Halves(high)));
}
inline I MulHi16(I a, I b) {
    return {MulHi16x(a.lo, b.lo), MulHi16x(a.hi, b.hi)};
}
inline uint32x4_t AddSat16x(uint32x4_t a, uint32x4_t b) {
    return vreinterpretq_u32_s16(vqaddq_s16(vreinterpretq_s16_u32(a), vreinterpretq_s16_u32(b)));
}
inline I AddSat16(I a, I b) {
    return {AddSat16x(a.lo, b.lo), AddSat16x(a.hi, b.hi)};
}
inline I Sub16(I a, I b) {
    return {Lanes(vsubq_u16(Halves(a.lo), Halves(b.lo))),
            Lanes(vsubq_u16(Halves(a.hi), Halves(b.hi)))};
}
inline I MinU16(I a, I b) {
    return {Lanes(vminq_u16(Halves(a.lo), Halves(b.lo))),
            Lanes(vminq_u16(Halves(a.hi), Halves(b.hi)))};
}

constexpr bool kSpecialised = true;
#include "platform/dx/D3DSpanKernel.inc"

}  // namespace
}  // namespace d3d

// Every aarch64 CPU has NEON.
d3d::SpanFn d3d::NeonSpanFunction(const SpanKey& key) {
    return LookUpKernel(key);
}

#else

d3d::SpanFn d3d::NeonSpanFunction(const SpanKey&) {
    return nullptr;
}

#endif
