// Records that cross the DirectX boundary, in their published DirectX 7 layouts, and the
// numeric constants (render states, flags, formats) the program passes to the platform.
#pragma once

#include <cstdint>

struct D3DVECTOR {
    float x = 0, y = 0, z = 0;
};

// Row-vector convention: a point p transforms as p * M, the translation sits in row 4.
struct D3DMATRIX {
    float rc11 = 0, rc12 = 0, rc13 = 0, rc14 = 0;
    float rc21 = 0, rc22 = 0, rc23 = 0, rc24 = 0;
    float rc31 = 0, rc32 = 0, rc33 = 0, rc34 = 0;
    float rc41 = 0, rc42 = 0, rc43 = 0, rc44 = 0;

    float& at(int row, int col) { return (&rc11)[(row - 1) * 4 + (col - 1)]; }
    float at(int row, int col) const { return (&rc11)[(row - 1) * 4 + (col - 1)]; }
};
static_assert(sizeof(D3DMATRIX) == 64);

struct D3DCOLORVALUE {
    float r = 0, g = 0, b = 0, a = 0;
};

struct POINTAPI {
    int32_t x = 0, y = 0;
};

struct RECT {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

struct D3DRECT {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// Flexible vertex format 338 (0x152): position, normal, diffuse, one texture coordinate pair.
struct D3DVERTEX {
    float x = 0, y = 0, z = 0;
    float nx = 0, ny = 0, nz = 0;
    uint32_t color = 0;
    float tu = 0, tv = 0;
};
static_assert(sizeof(D3DVERTEX) == 36);

// Transformed and lit, flexible vertex format 452 (0x1C4). The processed buffers use 708
// (0x2C4), the same with a second texture pair: 40 bytes a vertex.
struct D3DTLVERTEX {
    float sx = 0, sy = 0, sz = 0, rhw = 0;
    uint32_t color = 0;
    uint32_t specular = 0;
    float tu = 0, tv = 0;
};
static_assert(sizeof(D3DTLVERTEX) == 32);

struct D3DVIEWPORT7 {
    int32_t lX = 0, lY = 0, lWidth = 0, lHeight = 0;
    float minz = 0, maxz = 1;
};

struct D3DMATERIAL7 {
    D3DCOLORVALUE diffuse, ambient, specular, emissive;
    float power = 0;
};

struct D3DLIGHT7 {
    int32_t dltType = 0;
    D3DCOLORVALUE diffuse, specular, ambient;
    D3DVECTOR position, direction;
    float range = 0, falloff = 0;
    float attenuation0 = 0, attenuation1 = 0, attenuation2 = 0;
    float theta = 0, phi = 0;
};

struct DDCOLORKEY {
    int32_t low = 0, high = 0;
};

struct DDPIXELFORMAT {
    int32_t lSize = 32;
    int32_t lFlags = 0;
    int32_t lFourCC = 0;
    int32_t lRGBBitCount = 0;  // also the depth of a z-buffer format
    int32_t lRBitMask = 0, lGBitMask = 0, lBBitMask = 0, lRGBAlphaBitMask = 0;
    int32_t lZBufferBitDepth = 0;
};

struct DDSCAPS2 {
    int32_t lCaps = 0, lCaps2 = 0, lCaps3 = 0, lCaps4 = 0;
};

struct DDSURFACEDESC2 {
    int32_t lFlags = 0;
    int32_t lHeight = 0, lWidth = 0;
    int32_t lPitch = 0;
    int32_t lBackBufferCount = 0;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
};

struct DDGAMMARAMP {
    uint16_t red[256] = {}, green[256] = {}, blue[256] = {};
};

struct WAVEFORMATEX {
    int16_t nFormatTag = 0;
    int16_t nChannels = 0;
    int32_t lSamplesPerSec = 0;
    int32_t lAvgBytesPerSec = 0;
    int16_t nBlockAlign = 0;
    int16_t nBitsPerSample = 0;
    int16_t nSize = 0;
};

struct DSBUFFERDESC {
    int32_t lFlags = 0;
    int32_t lBufferBytes = 0;
    int32_t lReserved = 0;
};

// Surface description flags.
constexpr int32_t DDSD_CAPS = 0x1;
constexpr int32_t DDSD_HEIGHT = 0x2;
constexpr int32_t DDSD_WIDTH = 0x4;
constexpr int32_t DDSD_PITCH = 0x8;
constexpr int32_t DDSD_BACKBUFFERCOUNT = 0x20;
constexpr int32_t DDSD_PIXELFORMAT = 0x1000;
constexpr int32_t DDSD_CKSRCBLT = 0x10000;
constexpr int32_t DDSD_TEXTURESTAGE = 0x100000;

// Surface capabilities.
constexpr int32_t DDSCAPS_BACKBUFFER = 0x4;
constexpr int32_t DDSCAPS_COMPLEX = 0x8;
constexpr int32_t DDSCAPS_FLIP = 0x10;
constexpr int32_t DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr int32_t DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr int32_t DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr int32_t DDSCAPS_TEXTURE = 0x1000;
constexpr int32_t DDSCAPS_3DDEVICE = 0x2000;
constexpr int32_t DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr int32_t DDSCAPS_ZBUFFER = 0x20000;
constexpr int32_t DDSCAPS2_TEXTUREMANAGE = 0x10;

// Pixel format flags.
constexpr int32_t DDPF_RGB = 0x40;
constexpr int32_t DDPF_ZBUFFER = 0x400;

// Cooperative levels.
constexpr int32_t DDSCL_FULLSCREEN = 0x1;
constexpr int32_t DDSCL_ALLOWREBOOT = 0x2;
constexpr int32_t DDSCL_NORMAL = 0x8;
constexpr int32_t DDSCL_EXCLUSIVE = 0x10;

// Blit flags.
constexpr int32_t DDBLT_COLORFILL = 0x400;
constexpr int32_t DDBLT_KEYSRC = 0x8000;
constexpr int32_t DDBLT_WAIT = 0x1000000;
constexpr int32_t DDBLTFAST_NOCOLORKEY = 0x0;
constexpr int32_t DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr int32_t DDBLTFAST_DESTCOLORKEY = 0x2;
constexpr int32_t DDBLTFAST_WAIT = 0x10;
constexpr int32_t DDFLIP_WAIT = 0x1;
constexpr int32_t DDFLIP_NOVSYNC = 0x8;
constexpr int32_t DDCKEY_SRCBLT = 0x8;

// GDI raster operation.
constexpr int32_t SRCCOPY = 0xCC0020;
