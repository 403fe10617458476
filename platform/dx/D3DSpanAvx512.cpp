// The AVX2 span kernels compiled again for CPUs with AVX-512 (F, VL, BW, DQ). The lanes stay
// eight and the arithmetic stays the same, so the pixels do too; what the kernels gain is twice
// the vector registers (the AVX2 build spills a dozen values of its inner loop to the stack)
// and masked loads and stores for the short end of a span. Internal linkage, as in the AVX2
// file.
#include "platform/dx/D3DSpan.h"

#if defined(__x86_64__) || defined(__i386__)

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
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512vl,avx512bw,avx512dq")
#endif

namespace d3d {
namespace {

#define VELMORA_SPAN_AVX512 1
#include "platform/dx/D3DSpanX86.inc"

constexpr bool kSpecialised = true;
#include "platform/dx/D3DSpanKernel.inc"

}  // namespace
}  // namespace d3d

#if defined(__clang__)
#pragma clang attribute pop
#elif defined(__GNUC__)
#pragma GCC pop_options
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
