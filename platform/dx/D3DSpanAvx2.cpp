// The span kernels compiled for AVX2 (eight lanes in one register, texels read lane by lane). Only
// this file and its AVX-512 twin are built for wider instructions; the device calls into them
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

#define VELMORA_SPAN_AVX512 0
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

d3d::SpanFn d3d::Avx2SpanFunction(const SpanKey& key) {
    static const bool available = __builtin_cpu_supports("avx2");
    return available ? LookUpKernel(key) : nullptr;
}

#else

d3d::SpanFn d3d::Avx2SpanFunction(const SpanKey&) {
    return nullptr;
}

#endif
