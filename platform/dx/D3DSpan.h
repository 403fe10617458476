// Span kernels: everything that happens to the pixels of one row of one primitive, from the
// depth test to the 565 write, eight or sixteen pixels at a time. A kernel is compiled for each
// texture filter (none, point, linear) and for perspective or affine interpolation; the other
// stages (depth, colour key, alpha test, fog, specular, blend, dither) are fixed per draw in the
// SpanContext and taken by branches that go the same way for every pixel of the draw. Draws
// without an alpha test take kernels that have no code for it. The same source
// (D3DSpanKernel.inc) is compiled for AVX-512 (sixteen lanes), AVX2, NEON and any CPU (eight).
#pragma once

#include <cstdint>

namespace d3d {

// Interpolated quantities. Each is a plane over the screen: the value at pixel x of the row is
// base + x * dx. Z and Rhw are linear in screen space; the others are pre-multiplied by rhw
// and divided by the interpolated rhw per pixel, which makes them perspective-correct.
enum SpanAttr : int {
    kSpanZ,
    kSpanRhw,
    kSpanU,  // texel units
    kSpanV,
    kSpanR,  // diffuse, pre-scaled for the draw: 8-bit units × 128, or a texel's factor
    kSpanG,
    kSpanB,
    kSpanA,   // 0..1
    kSpanF,   // fog factor 0..1, 1 = no fog
    kSpanSR,  // specular, 8-bit units × 128
    kSpanSG,
    kSpanSB,
    kSpanAttrCount
};

// What a draw's kernels read: the target and depth rows, the texture, the per-draw constants.
enum class ZMode : int { Off, Test, TestWrite };
enum class TexMode : int { None, Point, Linear };
enum class BlendMode : int { Off, Add, Generic };

struct SpanContext {
    // The stages of the draw.
    ZMode depthMode = ZMode::Off;
    bool keyed = false;     // a colour key can discard texels
    bool fog = false;       // blend towards the fog colour by the fog factor
    bool specular = false;  // add the specular colour
    BlendMode blendMode = BlendMode::Off;

    uint16_t* color = nullptr;
    int32_t colorPitch = 0;  // pixels
    uint16_t* depth = nullptr;
    int32_t depthPitch = 0;

    const uint16_t* texels = nullptr;  // row-major, width × height, at least two texels
    // For linear filtering: each texel with its right, lower and lower right neighbours
    // (wrapping), 16 bits each from the low end; width × height entries.
    const uint64_t* quads = nullptr;
    int32_t texWidth = 1, texHeight = 1, texCount = 2;
    float texWidthF = 1, texHeightF = 1, invTexWidth = 1, invTexHeight = 1;
    // Source colour key, raw 565 values low..high; the default lies above every texel.
    int32_t keyLow = 0x10000, keyHigh = 0x10000;

    float fogR = 0, fogG = 0, fogB = 0;  // 0..255

    // Depth comparison as three lane masks (0 or -1): pass when the new depth is less, equal
    // or greater than the stored one.
    int32_t zLess = -1, zEqual = -1, zGreater = 0;

    // Generic blending: factor = k[0] + k[1] * Cs + k[2] * As + k[3] * Cd, Cs and Cd in 0..255
    // (the k for them already divided by 255), As in 0..1; first source, then destination.
    float blend[2][4] = {{1, 0, 0, 0}, {0, 0, 0, 0}};

    // Ordered dither thresholds in the kernels' fixed point (8-bit units × 128), per row
    // (y & 3), repeated so that sixteen lanes can be read from offset x & 3: red below blue in
    // each entry, and green, which takes half.
    bool dithered = false;
    static constexpr int kDitherRun = 20;
    int32_t ditherRB[4][kDitherRun] = {};
    int32_t ditherG[4][kDitherRun] = {};

    // Alpha test: the stage's alpha, rounded to 8 bits, against the reference 0..255, with the
    // comparison as masks in the manner of the depth test. Off, every pixel passes. Last, so
    // that the kernels without it read the context as they always have.
    bool alphaTest = false;
    int32_t alphaRef = 0;
    int32_t aLess = -1, aEqual = -1, aGreater = -1;
};

// The planes of one primitive: the value at pixel (x, y) is
// at + (x - refX) * dx + (y - refY) * dy, relative to a pixel near the primitive.
struct SpanPlanes {
    float at[kSpanAttrCount];
    float dx[kSpanAttrCount];
    float dy[kSpanAttrCount];
    int32_t refX = 0, refY = 0;
    // Every colour quantity (diffuse, alpha, specular) is the same at all corners: at[] holds
    // it as it is, not multiplied by rhw, and the kernels take it without interpolating.
    bool constantColour = false;
};

// Pixels x0 <= x < x1 of row y, already cut to the viewport.
struct Span {
    int32_t y, x0, x1;
};

// A kernel draws a batch of rows of one primitive, so that its constants are set up once.
using SpanFn = void (*)(const SpanContext& context, const SpanPlanes& planes, const Span* spans,
                        int count);

// Blending as the kernels take it. Generic blending computes every term of both factors; the
// usual forms leave out terms whose weight is zero, which only ever add exact zeros for a
// finite colour: factors from the source alpha only (transparency), or a constant source factor
// and a destination factor from the source colour (ONE or ZERO with INVSRCCOLOR or SRCCOLOR).
enum SpanBlend : int {
    kSpanBlendOff,
    kSpanBlendAdd,
    kSpanBlendGeneric,
    kSpanBlendAlpha,
    kSpanBlendSourceColour,
    kSpanBlendCount
};
inline int SpanBlendOf(const SpanContext& c) {
    if (c.blendMode == BlendMode::Off) return kSpanBlendOff;
    if (c.blendMode == BlendMode::Add) return kSpanBlendAdd;
    const float(&s)[4] = c.blend[0];
    const float(&d)[4] = c.blend[1];
    if (s[1] == 0 && s[3] == 0 && d[1] == 0 && d[3] == 0) return kSpanBlendAlpha;
    if (s[1] == 0 && s[2] == 0 && s[3] == 0 && d[2] == 0 && d[3] == 0) {
        return kSpanBlendSourceColour;
    }
    return kSpanBlendGeneric;
}
// Power-of-two textures wrap their texel coordinates with masks.
inline bool WrapsByMask(const SpanContext& c) {
    return (c.texWidth & (c.texWidth - 1)) == 0 && (c.texHeight & (c.texHeight - 1)) == 0;
}

struct SpanKey {
    TexMode tex = TexMode::None;
    bool affine = false;  // the planes hold the quantities themselves, rhw is 1
    // The draw's stages: a backend may have kernels made for this very combination, with no
    // branches on them and no work for quantities they do not use.
    ZMode depthMode = ZMode::Off;
    bool fog = false;
    int blend = kSpanBlendOff;
    bool wrapByMask = false;
    bool constantColour = false;  // for primitives whose planes say so
    // Alpha-tested draws are rare (the program makes none): their kernels read the other stages
    // from the context, so that the alpha test does not double the kernels made per stage.
    bool alphaTest = false;
};
inline SpanKey SpanKeyFor(TexMode tex, bool affine, bool constantColour, const SpanContext& c) {
    SpanKey k;
    k.tex = tex;
    k.affine = affine;
    k.constantColour = constantColour;
    k.depthMode = c.depthMode;
    k.fog = c.fog;
    k.blend = SpanBlendOf(c);
    k.wrapByMask = WrapsByMask(c);
    k.alphaTest = c.alphaTest;
    return k;
}

// The builds of the kernels, from the one any CPU runs to the fastest; all draw the same bits.
// A CPU runs the portable build and those of its own family: NEON on aarch64, AVX2 and
// AVX-512 on x86-64 where it has them.
enum class SpanBuild : int { Portable, Neon, Simd128, Avx2, Avx512 };
constexpr SpanBuild kFastestSpanBuild = SpanBuild::Avx512;
const char* SpanBuildName(SpanBuild build);

// The portable build has affine kernels and wrap-by-mask ones, and reads the other stages
// from the context (a kernel for every stage combination takes minutes to compile).
SpanFn PortableSpanFunction(const SpanKey& key);
// Null where the build or the CPU has no AVX2 (or no AVX-512, or is not aarch64).
SpanFn Avx2SpanFunction(const SpanKey& key);
SpanFn NeonSpanFunction(const SpanKey& key);
SpanFn Simd128SpanFunction(const SpanKey& key);  // WebAssembly
SpanFn Avx512SpanFunction(const SpanKey& key);
// The fastest build the CPU runs, at most `limit`; and a kernel of a build it runs.
SpanBuild RunnableSpanBuild(SpanBuild limit);
SpanFn SpanFunction(SpanBuild build, const SpanKey& key);

}  // namespace d3d
