// The device's inside: its state, and the records that travel from stage to stage.
//   vertex processing: source vertices -> ProcessedVertex (clip position, screen position,
//                      8-bit colours with the fog factor in the specular alpha, texture pair)
//   primitives:        ProcessedVertex -> PipeVertex (float attributes scaled for the draw),
//                      assembly, clipping in homogeneous space, culling, fill mode
//   raster:            triangle set-up and edge walking, lines, points -> span kernel calls
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/dx/D3DConstants.h"
#include "platform/dx/D3DSpan.h"
#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxTypes.h"

namespace d3d {

// ---------------------------------------------------------------- state

constexpr int kRenderStateCount = 256;
constexpr int kStageCount = 8;
constexpr int kStageStateCount = 32;
constexpr int kMaxLights = 4096;

struct LightSlot {
    D3DLIGHT7 light;
    bool set = false;
    bool enabled = false;
};

struct DeviceState;
// The light slots as SetLight and LightEnable leave them; index is already checked against
// kMaxLights. Enabling a slot never set gives it the default white directional light.
void StoreLight(DeviceState& state, int32_t index, const D3DLIGHT7& light);
void EnableLight(DeviceState& state, int32_t index, bool enable);

struct DeviceState {
    std::array<int32_t, kRenderStateCount> renderStates{};
    std::array<std::array<int32_t, kStageStateCount>, kStageCount> stageStates{};
    std::array<SurfacePtr, kStageCount> textures;
    D3DMATRIX world, view, projection;
    D3DMATERIAL7 material;
    std::vector<LightSlot> lights;
    D3DVIEWPORT7 viewport;
    SurfacePtr target, depth;
    bool inScene = false;

    int32_t rs(int32_t state) const { return renderStates[static_cast<size_t>(state)]; }
    bool on(int32_t state) const { return rs(state) != 0; }
    float rsFloat(int32_t state) const { return FloatFromBits(rs(state)); }
    int32_t tss(int32_t type) const { return stageStates[0][static_cast<size_t>(type)]; }
};

// Direct3D 7's defaults; ZENABLE is on when the target has a depth surface.
void ResetDeviceState(DeviceState& state, bool hasDepth);
// Whether a render state number exists, and whether a value is one it accepts.
bool IsKnownRenderState(int32_t state);
bool IsValidRenderStateValue(int32_t state, int32_t value);
bool IsKnownStageState(int32_t type);

// ---------------------------------------------------------------- vertex formats

struct FvfLayout {
    int32_t fvf = 0;
    int32_t stride = 0;        // bytes
    bool transformed = false;  // XYZRHW rather than XYZ
    int32_t normal = -1;       // byte offsets, -1 when absent
    int32_t diffuse = -1;
    int32_t specular = -1;
    int32_t tex0 = -1;
    int32_t tex0Size = 0;  // coordinates in set 0
    int32_t texSets = 0;
};

// Throws DxError(D3DERR_INVALIDVERTEXFORMAT) for formats the device does not handle.
FvfLayout ParseFvf(int32_t fvf);

// ---------------------------------------------------------------- processed vertices

// Outside the clip volume: x and y beyond the guard band, z in front of the near plane or past
// the far one, or w (next to) zero or negative.
enum ClipBit : uint32_t {
    kClipLeft = 1,
    kClipRight = 2,
    kClipBottom = 4,
    kClipTop = 8,
    kClipNear = 16,
    kClipFar = 32,
    kClipW = 64,
};
// |x/w| and |y/w| up to this many half-viewports are drawn without clipping; the raster keeps
// to the viewport itself. Keeps screen positions inside the fixed-point range.
constexpr float kGuardBand = 8.0f;
constexpr float kMinW = 1e-6f;

struct ProcessedVertex {
    float cx = 0, cy = 0, cz = 0, cw = 1;  // clip space
    uint32_t clip = 0;
    float sx = 0, sy = 0, sz = 0, rhw = 1;  // screen; meaningful when clip is 0
    uint32_t diffuse = 0xFFFFFFFFu;         // 0xAARRGGBB
    uint32_t specular = 0xFF000000u;        // alpha = fog factor, 255 = no fog
    float u = 0, v = 0;
};

// The viewport as a mapping from clip space to the screen.
struct ScreenMap {
    float scaleX = 1, offsetX = 0, scaleY = -1, offsetY = 0, scaleZ = 1, offsetZ = 0;
};
// On a target stored at pixelScale pixels per program pixel, the program's viewport covers
// pixelScale times as many pixels, and a program pixel's centre lands on the centre of its
// block: x -> pixelScale * x + (pixelScale - 1) / 2.
ScreenMap MakeScreenMap(const D3DVIEWPORT7& viewport, int32_t pixelScale = 1);
// The viewport in the target's stored pixels.
D3DVIEWPORT7 ScaledViewport(const D3DVIEWPORT7& viewport, int32_t pixelScale);
uint32_t ClipCode(float x, float y, float z, float w);
// Fills sx, sy, sz, rhw from the clip position.
void ProjectToScreen(const ScreenMap& map, ProcessedVertex& v);

struct PreparedLight {
    int32_t type = 0;
    float diffuse[3] = {}, specular[3] = {}, ambient[3] = {};
    float position[3] = {};   // camera space
    float direction[3] = {};  // camera space, unit, towards the light for directional lights
    float range = 0;
    float att0 = 0, att1 = 0, att2 = 0;
    float cosHalfTheta = 1, cosHalfPhi = 1, falloff = 1;
};

// Everything vertex processing needs, gathered once per draw or ProcessVertices call.
struct VertexPipeline {
    D3DMATRIX worldView, worldViewProjection;
    float normalMatrix[3][3] = {};
    bool lighting = false, specular = false, normalize = false, localViewer = true;
    bool colorVertex = true;
    int32_t diffuseSource = D3DMCS_COLOR1, specularSource = D3DMCS_COLOR2;
    int32_t ambientSource = D3DMCS_MATERIAL, emissiveSource = D3DMCS_MATERIAL;
    float globalAmbient[3] = {};
    D3DMATERIAL7 material;
    std::vector<PreparedLight> lights;
    int32_t fogMode = D3DFOG_NONE;  // vertex fog
    bool rangeFog = false;
    float fogStart = 0, fogEnd = 1, fogDensity = 1;
    ScreenMap screen;
    // What the matrices and the lights above were made from: most draws change the world
    // matrix alone, and a draw that changes nothing skips the products and the light set-up.
    D3DMATRIX madeFromWorld, madeFromView, madeFromProjection;
    bool matricesMade = false;
    std::vector<LightSlot> lightsMadeFrom;
    D3DMATRIX lightsMadeWithView;
    bool lightsMade = false;
};

// Screen positions come out in the target's stored pixels (pixelScale per program pixel).
void PrepareVertexPipeline(const DeviceState& state, bool light, VertexPipeline& pipeline,
                           int32_t pixelScale = 1);
// Transforms, lights and fogs count untransformed vertices.
void ProcessUntransformed(const VertexPipeline& pipeline, const FvfLayout& layout,
                          const std::byte* vertices, int32_t count, ProcessedVertex* out);
// Reads pre-transformed vertices, whose positions are the program's pixels, onto a target of
// pixelScale (screen being that target's map). Their clip position is recovered from the
// screen position; only the guard band and w are tested, since such vertices are drawn as given.
void ReadTransformed(const ScreenMap& screen, const FvfLayout& layout, const std::byte* vertices,
                     int32_t count, ProcessedVertex* out, int32_t pixelScale = 1);
// Writes processed vertices in a pre-transformed format.
void WriteTransformed(const FvfLayout& layout, const ProcessedVertex* vertices, int32_t count,
                      std::byte* out);

// ---------------------------------------------------------------- primitives and raster

constexpr int kVertexAttrCount = kSpanAttrCount - 2;  // the span attributes after z and rhw

struct PipeVertex {
    float cx, cy, cz, cw;
    uint32_t clip;
    float sx, sy, sz, rhw;
    float attr[kVertexAttrCount];  // kSpanU.. in order, scaled for the draw
};

// How ProcessedVertex values turn into span attributes for this draw.
struct AttrScale {
    float u = 1, v = 1;
    float r = 1, g = 1, b = 1;
    bool whiteDiffuse = false;  // the stage selects the texture alone
    bool opaqueAlpha = false;   // the stage's alpha is the texture's, which is 1
    bool noFog = false;         // specular without fog: fog factor forced to 1
};
void ToPipeVertex(const AttrScale& scale, const ProcessedVertex& in, PipeVertex& out);

class RasterQueue;

// One draw call's raster state.
struct RasterDraw {
    SpanContext span;
    // [minify][affine][constant colour][wide]: the texture filter chosen by the triangle's
    // footprint, whether its rhw is the same at all corners, so that no division per pixel is
    // needed, whether its colours are (see SpanPlanes), and whether it is wide enough for the
    // build's widest kernels (sixteen lanes waste half their work on narrow triangles; eight
    // lanes draw them the same).
    SpanFn kernels[2][2][2][2] = {};
    int32_t left = 0, top = 0, right = 0, bottom = 0;  // viewport pixels, cut to the target
    int32_t cull = D3DCULL_CCW;
    int32_t fill = D3DFILL_SOLID;
    bool flat = false;
    bool lastPixel = true;
    // Target pixels per program pixel: lines are this many pixels wide, points this many
    // square, so that they keep their weight on a scaled target.
    int32_t pixelSize = 1;
    ScreenMap screen;
    // ZBIAS in screen depth: taken from every depth the draw's primitives interpolate.
    float zBias = 0;
    // Where primitives go once set up: drawn at once when null, else queued for the device's
    // threads as draw number queueDraw.
    RasterQueue* queue = nullptr;
    uint32_t queueDraw = 0;
    // A 1×1 texture, doubled for 32-bit reads; span.texels points here for one.
    std::array<uint16_t, 2> tinyTexture{};
};

// Snapped screen positions: 8 bits of sub-pixel precision.
constexpr int kSubPixelBits = 8;
constexpr int kSubPixel = 1 << kSubPixelBits;

// A triangle ready for its rows: planes, kernel and snapped corners from top to bottom. Any
// band of rows can be walked on its own; the edges are exact, so rows come out the same
// whichever band they are walked in.
struct TriangleSetup {
    SpanPlanes planes;
    SpanFn kernel = nullptr;
    int64_t X[3] = {}, Y[3] = {};             // top, middle, bottom
    int32_t yTop = 0, yMid = 0, yBottom = 0;  // rows yTop <= y < yBottom are drawn
    bool longEdgeLeft = false;
    uint32_t draw = 0;
};
// Rows from <= y < to of the triangle.
void WalkTriangle(const RasterDraw& draw, const TriangleSetup& t, int32_t from, int32_t to);

// A line stepped along its major axis; rows outside [from, to) are skipped.
struct LineSetup {
    SpanPlanes planes;
    bool xMajor = true;
    int32_t start = 0, step = 1, count = 0;
    float major0 = 0, length = 0, minor0 = 0, minor1 = 0;
    int32_t yMin = 0, yMax = 0;  // rows the line can touch, inclusive
    uint32_t draw = 0;
};
void WalkLine(const RasterDraw& draw, const LineSetup& line, int32_t from, int32_t to);

// A point: the pixel at the planes' reference (the top-left one of pixelSize × pixelSize).
struct PointSetup {
    SpanPlanes planes;
    uint32_t draw = 0;
};
// Its pixels in rows from <= y < to.
void DrawPointPixel(const RasterDraw& draw, const PointSetup& point, int32_t from, int32_t to);

// A triangle with all vertices inside the guard band. flatSource gives the colours in flat
// shading; cull is applied by the caller when false is passed.
void RasterTriangle(const RasterDraw& draw, const PipeVertex& a, const PipeVertex& b,
                    const PipeVertex& c, const PipeVertex& flatSource, bool cull);
void RasterLine(const RasterDraw& draw, const PipeVertex& a, const PipeVertex& b,
                const PipeVertex& flatSource);
void RasterPoint(const RasterDraw& draw, const PipeVertex& p);
// Signed doubled area in snapped units; positive for clockwise on screen (y down).
int64_t SnappedArea(const PipeVertex* const* polygon, int count);
bool IsCulled(int32_t cullMode, int64_t area);

// Assembles and draws primitives; indices (when given) are checked against vertexCount by the
// caller.
void DrawPrimitives(const RasterDraw& draw, int32_t primitiveType, const PipeVertex* vertices,
                    int32_t vertexCount, const uint16_t* indices, int32_t indexCount);

// ---------------------------------------------------------------- the device

struct DeviceCore {
    DeviceCore();
    ~DeviceCore();
    DeviceState state;
    // The fastest kernels the CPU runs, unless tests or benchmarks limit them.
    SpanBuild spans = RunnableSpanBuild(kFastestSpanBuild);
    // Present when the device draws on more than one thread.
    std::unique_ptr<RasterQueue> queue;
    VertexPipeline pipeline;                 // rebuilt per draw; keeps its light storage
    std::vector<ProcessedVertex> processed;  // scratch, reused from draw to draw
    std::vector<PipeVertex> pipe;
};

}  // namespace d3d
