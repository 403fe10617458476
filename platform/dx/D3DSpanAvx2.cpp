// The span kernels compiled for AVX2 (eight lanes in one register, texels read lane by lane). Only
// this file and the AVX-512 one are built for wider instructions; the device calls into them
// after checking the CPU. Everything here has internal linkage, so no AVX2 code can stand in
// for a function of another file.
#include "platform/dx/D3DSpan.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#elif defined(__GNUC__)
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace d3d {
namespace {

constexpr int kLanes = 8;

struct F {
    __m256 v;
    F() = default;
    explicit F(__m256 x) : v(x) {}
    explicit F(float x) : v(_mm256_set1_ps(x)) {}
};
struct I {
    __m256i v;
    I() = default;
    explicit I(__m256i x) : v(x) {}
    explicit I(int32_t x) : v(_mm256_set1_epi32(x)) {}
};

inline F operator+(F a, F b) {
    return F(_mm256_add_ps(a.v, b.v));
}
inline F operator-(F a, F b) {
    return F(_mm256_sub_ps(a.v, b.v));
}
inline F operator*(F a, F b) {
    return F(_mm256_mul_ps(a.v, b.v));
}
inline F operator/(F a, F b) {
    return F(_mm256_div_ps(a.v, b.v));
}
inline I operator+(I a, I b) {
    return I(_mm256_add_epi32(a.v, b.v));
}
inline I operator-(I a, I b) {
    return I(_mm256_sub_epi32(a.v, b.v));
}
inline I operator&(I a, I b) {
    return I(_mm256_and_si256(a.v, b.v));
}
inline I operator|(I a, I b) {
    return I(_mm256_or_si256(a.v, b.v));
}

inline F Ramp() {
    return F(_mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7));
}
// Eight lanes are one step of eight pixels.
inline F Spread(F v, F) {
    return v;
}
inline F Next(F v, F step) {
    return v + step;
}
inline F Min(F a, F b) {
    return F(_mm256_min_ps(a.v, b.v));
}
inline F Max(F a, F b) {
    return F(_mm256_max_ps(a.v, b.v));
}
inline F Floor(F a) {
    return F(_mm256_floor_ps(a.v));
}
inline I MinU(I a, I b) {
    return I(_mm256_min_epu32(a.v, b.v));
}
inline I MaxU(I a, I b) {
    return I(_mm256_max_epu32(a.v, b.v));
}
inline F ToFloat(I a) {
    return F(_mm256_cvtepi32_ps(a.v));
}
inline I Trunc(F a) {
    return I(_mm256_cvttps_epi32(a.v));
}
template <int N>
inline I Shl(I a) {
    return I(_mm256_slli_epi32(a.v, N));
}
template <int N>
inline I Shr(I a) {
    return I(_mm256_srli_epi32(a.v, N));
}
inline I ShlBy(I a, int n) {
    return I(_mm256_sll_epi32(a.v, _mm_cvtsi32_si128(n)));
}
template <int N>
inline I Shl16(I a) {
    return I(_mm256_slli_epi16(a.v, N));
}
template <int N>
inline I Shr16(I a) {
    return I(_mm256_srli_epi16(a.v, N));
}
inline I Madd16(I a, I b) {
    return I(_mm256_madd_epi16(a.v, b.v));
}
inline I Eq(I a, I b) {
    return I(_mm256_cmpeq_epi32(a.v, b.v));
}
inline I Eq(F a, F b) {
    return I(_mm256_castps_si256(_mm256_cmp_ps(a.v, b.v, _CMP_EQ_OQ)));
}
inline I Gt(I a, I b) {
    return I(_mm256_cmpgt_epi32(a.v, b.v));
}
inline I IfThen(I mask, I yes, I no) {
    return I(_mm256_blendv_epi8(no.v, yes.v, mask.v));
}
inline I AndNot(I a, I b) {
    return I(_mm256_andnot_si256(a.v, b.v));
}
inline int Mask(I a) {
    return _mm256_movemask_ps(_mm256_castsi256_ps(a.v));
}
// The lanes' indices as four pairs, straight from the register: storing the vector and reading
// the indices back costs more.
struct IndexPairs {
    uint64_t p[4];
};
inline IndexPairs Indices(I index) {
    const __m128i lanes03 = _mm256_castsi256_si128(index.v);
    const __m128i lanes47 = _mm256_extracti128_si256(index.v, 1);
    return {{static_cast<uint64_t>(_mm_cvtsi128_si64(lanes03)),
             static_cast<uint64_t>(_mm_extract_epi64(lanes03, 1)),
             static_cast<uint64_t>(_mm_cvtsi128_si64(lanes47)),
             static_cast<uint64_t>(_mm_extract_epi64(lanes47, 1))}};
}
// Scalar loads here too (see GatherQuads).
[[gnu::always_inline]] inline I Gather32(const uint16_t* base, I index) {
    const IndexPairs at = Indices(index);
    auto read = [base](uint64_t i) {
        int32_t x;
        std::memcpy(&x, base + static_cast<uint32_t>(i), 4);
        return x;
    };
    const __m128i lo =
        _mm_setr_epi32(read(at.p[0]), read(at.p[0] >> 32), read(at.p[1]), read(at.p[1] >> 32));
    const __m128i hi =
        _mm_setr_epi32(read(at.p[2]), read(at.p[2] >> 32), read(at.p[3]), read(at.p[3] >> 32));
    return I(_mm256_set_m128i(hi, lo));
}
// Lane i's 64-bit entry split into halves. Eight scalar loads cost less than the two gather
// instructions on the Zen 3 we measure on (the textured benchmarks 3 to 10 % faster); the
// entries are paired so that one shuffle per half restores the lane order.
[[gnu::always_inline]] inline void GatherQuads(const uint64_t* base, I index, I& low, I& high) {
    const IndexPairs at = Indices(index);
    auto pair = [base](uint64_t lanes) {
        return _mm_insert_epi64(
            _mm_cvtsi64_si128(static_cast<long long>(base[static_cast<uint32_t>(lanes)])),
            static_cast<long long>(base[lanes >> 32]), 1);
    };
    const __m128i q01 = pair(at.p[0]), q23 = pair(at.p[1]), q45 = pair(at.p[2]),
                  q67 = pair(at.p[3]);
    // a: entries 0 1 4 5, c: entries 2 3 6 7; the shuffles take lanes 0 1 | 4 5 from a and
    // 2 3 | 6 7 from c, as the gathers' order did.
    const __m256 a = _mm256_castsi256_ps(_mm256_set_m128i(q45, q01));
    const __m256 c = _mm256_castsi256_ps(_mm256_set_m128i(q67, q23));
    low = I(_mm256_castps_si256(_mm256_shuffle_ps(a, c, _MM_SHUFFLE(2, 0, 2, 0))));
    high = I(_mm256_castps_si256(_mm256_shuffle_ps(a, c, _MM_SHUFFLE(3, 1, 3, 1))));
}
inline I LaneLess(int n) {
    return I(_mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
}
inline I Load16(const uint16_t* p, int n) {
    __m128i x;
    if (n == 8) {
        x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    } else {
        alignas(16) uint16_t tmp[8] = {};
        std::memcpy(tmp, p, static_cast<size_t>(n) * 2);
        x = _mm_load_si128(reinterpret_cast<const __m128i*>(tmp));
    }
    return I(_mm256_cvtepu16_epi32(x));
}
inline void Store16(uint16_t* p, I a, int n) {
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(a.v, a.v), 0x08);
    const __m128i x = _mm256_castsi256_si128(packed);
    if (n == 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
    } else {
        alignas(16) uint16_t tmp[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(tmp), x);
        std::memcpy(p, tmp, static_cast<size_t>(n) * 2);
    }
}
inline F LoadF(const float* p) {
    return F(_mm256_loadu_ps(p));
}
inline I LoadI(const int32_t* p) {
    return I(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}
inline I MulHi16(I a, I b) {
    return I(_mm256_mulhi_epu16(a.v, b.v));
}
inline I AddSat16(I a, I b) {
    return I(_mm256_adds_epi16(a.v, b.v));
}
inline I Sub16(I a, I b) {
    return I(_mm256_sub_epi16(a.v, b.v));
}
inline I MinU16(I a, I b) {
    return I(_mm256_min_epu16(a.v, b.v));
}

constexpr bool kSpecialised = true;
#include "platform/dx/D3DSpanKernel.inc"

}  // namespace
}  // namespace d3d

#if defined(__clang__)
#pragma clang attribute pop
#elif defined(__GNUC__)
#pragma GCC pop_options
#endif

d3d::SpanFn d3d::Avx2SpanFunction(const SpanKey& key) {
    static const bool available = __builtin_cpu_supports("avx2");
    return available ? LookUpKernel(key) : nullptr;
}

#else

d3d::SpanFn d3d::Avx2SpanFunction(const SpanKey&) {
    return nullptr;
}

#endif
