// The span kernels for CPUs with AVX-512 (F, VL, BW, DQ): sixteen lanes in one register, twice
// the registers of the AVX2 build, masked loads and stores for the short end of a span. Each
// lane does the arithmetic of the other builds and the planes are stepped eight pixels at a
// time as there, so the pixels are the same. Internal linkage, as in the AVX2 file.
#include "platform/dx/D3DSpan.h"

#if (defined(__x86_64__) || defined(__i386__)) && !defined(VELMORA_NO_AVX512_KERNELS)

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,avx512f,avx512vl,avx512bw,avx512dq"))), \
                             apply_to = function)
#elif defined(__GNUC__)
// GCC 12's AVX-512 headers pass deliberately undefined vectors to the masked forms behind
// _mm512_extracti32x4_epi32 and _mm512_inserti64x4, and then warn about them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512vl,avx512bw,avx512dq")
#endif

namespace d3d {
namespace {

constexpr int kLanes = 16;

struct F {
    __m512 v;
    F() = default;
    explicit F(__m512 x) : v(x) {}
    explicit F(float x) : v(_mm512_set1_ps(x)) {}
};
struct I {
    __m512i v;
    I() = default;
    explicit I(__m512i x) : v(x) {}
    explicit I(int32_t x) : v(_mm512_set1_epi32(x)) {}
};

inline F operator+(F a, F b) {
    return F(_mm512_add_ps(a.v, b.v));
}
inline F operator-(F a, F b) {
    return F(_mm512_sub_ps(a.v, b.v));
}
inline F operator*(F a, F b) {
    return F(_mm512_mul_ps(a.v, b.v));
}
inline F operator/(F a, F b) {
    return F(_mm512_div_ps(a.v, b.v));
}
inline I operator+(I a, I b) {
    return I(_mm512_add_epi32(a.v, b.v));
}
inline I operator-(I a, I b) {
    return I(_mm512_sub_epi32(a.v, b.v));
}
inline I operator&(I a, I b) {
    return I(_mm512_and_si512(a.v, b.v));
}
inline I operator|(I a, I b) {
    return I(_mm512_or_si512(a.v, b.v));
}

constexpr __mmask16 kUpperEight = 0xFF00;
inline F Ramp() {
    return F(_mm512_setr_ps(0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7));
}
// The upper eight lanes are the next step of eight pixels: one more addition there.
inline F Spread(F v, F step) {
    return F(_mm512_mask_add_ps(v.v, kUpperEight, v.v, step.v));
}
// The upper eight's values, stepped once for the next eight pixels and twice for the eight
// after: the very sums of stepping eight at a time.
inline F Next(F v, F step) {
    const __m512 upper = _mm512_shuffle_f32x4(v.v, v.v, _MM_SHUFFLE(3, 2, 3, 2));
    const __m512 once = _mm512_add_ps(upper, step.v);
    return F(_mm512_mask_add_ps(once, kUpperEight, once, step.v));
}
inline F Min(F a, F b) {
    return F(_mm512_min_ps(a.v, b.v));
}
inline F Max(F a, F b) {
    return F(_mm512_max_ps(a.v, b.v));
}
inline F Floor(F a) {
    return F(_mm512_roundscale_ps(a.v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
}
inline I MinU(I a, I b) {
    return I(_mm512_min_epu32(a.v, b.v));
}
inline I MaxU(I a, I b) {
    return I(_mm512_max_epu32(a.v, b.v));
}
inline F ToFloat(I a) {
    return F(_mm512_cvtepi32_ps(a.v));
}
inline I Trunc(F a) {
    return I(_mm512_cvttps_epi32(a.v));
}
template <int N>
inline I Shl(I a) {
    return I(_mm512_slli_epi32(a.v, N));
}
template <int N>
inline I Shr(I a) {
    return I(_mm512_srli_epi32(a.v, N));
}
inline I ShlBy(I a, int n) {
    return I(_mm512_sll_epi32(a.v, _mm_cvtsi32_si128(n)));
}
template <int N>
inline I Shl16(I a) {
    return I(_mm512_slli_epi16(a.v, N));
}
template <int N>
inline I Shr16(I a) {
    return I(_mm512_srli_epi16(a.v, N));
}
inline I Madd16(I a, I b) {
    return I(_mm512_madd_epi16(a.v, b.v));
}
// Lane masks stay vectors of 0 and -1, as the kernels combine them with & | and AndNot.
inline I Eq(I a, I b) {
    return I(_mm512_movm_epi32(_mm512_cmpeq_epi32_mask(a.v, b.v)));
}
inline I Eq(F a, F b) {
    return I(_mm512_movm_epi32(_mm512_cmp_ps_mask(a.v, b.v, _CMP_EQ_OQ)));
}
inline I Gt(I a, I b) {
    return I(_mm512_movm_epi32(_mm512_cmpgt_epi32_mask(a.v, b.v)));
}
inline I IfThen(I mask, I yes, I no) {
    return I(_mm512_mask_blend_epi32(_mm512_movepi32_mask(mask.v), no.v, yes.v));
}
inline I AndNot(I a, I b) {
    return I(_mm512_andnot_si512(a.v, b.v));
}
inline int Mask(I a) {
    return static_cast<int>(_mm512_movepi32_mask(a.v));
}
// The lanes' indices as eight pairs, straight from the register.
struct IndexPairs {
    uint64_t p[8];
};
inline IndexPairs Indices(I index) {
    IndexPairs at;
    const __m128i q[4] = {
        _mm512_extracti32x4_epi32(index.v, 0), _mm512_extracti32x4_epi32(index.v, 1),
        _mm512_extracti32x4_epi32(index.v, 2), _mm512_extracti32x4_epi32(index.v, 3)};
    for (int i = 0; i < 4; ++i) {
        at.p[2 * i] = static_cast<uint64_t>(_mm_cvtsi128_si64(q[i]));
        at.p[2 * i + 1] = static_cast<uint64_t>(_mm_extract_epi64(q[i], 1));
    }
    return at;
}
inline __m512i Join(__m128i a, __m128i b, __m128i c, __m128i d) {
    return _mm512_inserti64x4(_mm512_castsi256_si512(_mm256_set_m128i(b, a)),
                              _mm256_set_m128i(d, c), 1);
}
// Scalar loads, as in the AVX2 build: they cost less than gather instructions on the AMD
// CPUs we measure on.
[[gnu::always_inline]] inline I Gather32(const uint16_t* base, I index) {
    const IndexPairs at = Indices(index);
    auto read = [base](uint64_t i) {
        int32_t x;
        std::memcpy(&x, base + static_cast<uint32_t>(i), 4);
        return x;
    };
    __m128i part[4];
    for (int i = 0; i < 4; ++i) {
        const uint64_t a = at.p[2 * i], b = at.p[2 * i + 1];
        part[i] = _mm_setr_epi32(read(a), read(a >> 32), read(b), read(b >> 32));
    }
    return I(Join(part[0], part[1], part[2], part[3]));
}
// Lane i's 64-bit entry split into halves; a holds entries 0 1 | 4 5 | 8 9 | 12 13 and c the
// others, so that one shuffle per half restores the lane order in each 128-bit quarter.
[[gnu::always_inline]] inline void GatherQuads(const uint64_t* base, I index, I& low, I& high) {
    const IndexPairs at = Indices(index);
    auto pair = [base](uint64_t lanes) {
        return _mm_insert_epi64(
            _mm_cvtsi64_si128(static_cast<long long>(base[static_cast<uint32_t>(lanes)])),
            static_cast<long long>(base[lanes >> 32]), 1);
    };
    const __m512 a =
        _mm512_castsi512_ps(Join(pair(at.p[0]), pair(at.p[2]), pair(at.p[4]), pair(at.p[6])));
    const __m512 c =
        _mm512_castsi512_ps(Join(pair(at.p[1]), pair(at.p[3]), pair(at.p[5]), pair(at.p[7])));
    low = I(_mm512_castps_si512(_mm512_shuffle_ps(a, c, _MM_SHUFFLE(2, 0, 2, 0))));
    high = I(_mm512_castps_si512(_mm512_shuffle_ps(a, c, _MM_SHUFFLE(3, 1, 3, 1))));
}
inline __mmask16 FirstLanes(int n) {
    return static_cast<__mmask16>((1u << n) - 1);
}
inline I LaneLess(int n) {
    return I(_mm512_movm_epi32(FirstLanes(n)));
}
// A masked load reads nothing past the n lanes.
inline I Load16(const uint16_t* p, int n) {
    const __m256i x = n == kLanes ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))
                                  : _mm256_maskz_loadu_epi16(FirstLanes(n), p);
    return I(_mm512_cvtepu16_epi32(x));
}
// Lanes hold 0..65535 wherever a kernel stores them, so narrowing by truncation gives the
// AVX2 build's saturated values.
inline void Store16(uint16_t* p, I a, int n) {
    const __m256i x = _mm512_cvtepi32_epi16(a.v);
    if (n == kLanes) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x);
    } else {
        _mm256_mask_storeu_epi16(p, FirstLanes(n), x);
    }
}
inline F LoadF(const float* p) {
    return F(_mm512_loadu_ps(p));
}
inline I LoadI(const int32_t* p) {
    return I(_mm512_loadu_si512(p));
}
inline I MulHi16(I a, I b) {
    return I(_mm512_mulhi_epu16(a.v, b.v));
}
inline I AddSat16(I a, I b) {
    return I(_mm512_adds_epi16(a.v, b.v));
}
inline I Sub16(I a, I b) {
    return I(_mm512_sub_epi16(a.v, b.v));
}
inline I MinU16(I a, I b) {
    return I(_mm512_min_epu16(a.v, b.v));
}

constexpr bool kSpecialised = true;
#include "platform/dx/D3DSpanKernel.inc"

}  // namespace
}  // namespace d3d

#if defined(__clang__)
#pragma clang attribute pop
#elif defined(__GNUC__)
#pragma GCC pop_options
#pragma GCC diagnostic pop
#endif

d3d::SpanFn d3d::Avx512SpanFunction(const SpanKey& key) {
    // The CPU's answer includes whether the system saves the AVX-512 registers.
    static const bool available =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq");
    return available ? LookUpKernel(key) : nullptr;
}

#else

d3d::SpanFn d3d::Avx512SpanFunction(const SpanKey&) {
    return nullptr;
}

#endif
