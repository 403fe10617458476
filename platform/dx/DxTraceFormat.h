// The trace file's record numbers and header, shared by the recorder and the players. The
// layout of every record is described in docs/trace-format.md.
#pragma once

#include <cstdint>

namespace dxtrace {

constexpr char kMagic[8] = {'V', 'L', 'M', 'T', 'R', 'A', 'C', 'E'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kHeaderBytes = 16;  // magic, version, flags
// Each record: one byte of kind, four bytes of payload length, the payload.
constexpr uint32_t kRecordHeaderBytes = 5;

enum class Op : uint8_t {
    Blob = 1,
    CooperativeLevel = 2,
    DisplayMode = 3,
    CreateSurface = 4,
    BackBuffer = 5,
    AttachDepth = 6,
    SurfacePixels = 7,
    ReleaseSurface = 8,
    SetColorKey = 9,
    Blt = 10,
    BltFast = 11,
    ColorFill = 12,
    StretchBlt = 13,
    Flip = 14,
    CreateDevice = 20,
    SetRenderTarget = 21,
    BeginScene = 22,
    EndScene = 23,
    Clear = 24,
    RenderState = 25,
    StageState = 26,
    SetTexture = 27,
    SetTransform = 28,
    MultiplyTransform = 29,
    SetMaterial = 30,
    SetLight = 31,
    LightEnable = 32,
    SetViewport = 33,
    Draw = 34,
    DrawVB = 35,
    CreateVertexBuffer = 40,
    LockVertexBuffer = 41,
    UnlockVertexBuffer = 42,
    OptimizeVertexBuffer = 43,
    ProcessVertices = 44,
    End = 255,
};

}  // namespace dxtrace
