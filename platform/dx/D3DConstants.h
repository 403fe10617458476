// Direct3D 7 numbers with their published values: render states, texture-stage states, blend
// factors, comparison functions, primitive types, vertex formats, lights, clear flags, vertex
// buffer capabilities and operations. Also the vertex-buffer description record.
#pragma once

#include <cstdint>

// The float-valued render states (fog start, end, density) travel as the float's bits. The
// compiler's own bit cast: the browser build's C++ library predates std::bit_cast.
constexpr int32_t FloatBits(float value) {
    return __builtin_bit_cast(int32_t, value);
}
constexpr float FloatFromBits(int32_t bits) {
    return __builtin_bit_cast(float, bits);
}

struct D3DVERTEXBUFFERDESC {
    int32_t lSize = 16;
    int32_t lCaps = 0;
    int32_t lFVF = 0;
    int32_t lNumVertices = 0;
};

// Render states.
constexpr int32_t D3DRENDERSTATE_ANTIALIAS = 2;
constexpr int32_t D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4;
constexpr int32_t D3DRENDERSTATE_ZENABLE = 7;
constexpr int32_t D3DRENDERSTATE_FILLMODE = 8;
constexpr int32_t D3DRENDERSTATE_SHADEMODE = 9;
constexpr int32_t D3DRENDERSTATE_LINEPATTERN = 10;
constexpr int32_t D3DRENDERSTATE_ZWRITEENABLE = 14;
constexpr int32_t D3DRENDERSTATE_ALPHATESTENABLE = 15;
constexpr int32_t D3DRENDERSTATE_LASTPIXEL = 16;
constexpr int32_t D3DRENDERSTATE_SRCBLEND = 19;
constexpr int32_t D3DRENDERSTATE_DESTBLEND = 20;
constexpr int32_t D3DRENDERSTATE_CULLMODE = 22;
constexpr int32_t D3DRENDERSTATE_ZFUNC = 23;
constexpr int32_t D3DRENDERSTATE_ALPHAREF = 24;
constexpr int32_t D3DRENDERSTATE_ALPHAFUNC = 25;
constexpr int32_t D3DRENDERSTATE_DITHERENABLE = 26;
constexpr int32_t D3DRENDERSTATE_ALPHABLENDENABLE = 27;
constexpr int32_t D3DRENDERSTATE_FOGENABLE = 28;
constexpr int32_t D3DRENDERSTATE_SPECULARENABLE = 29;
constexpr int32_t D3DRENDERSTATE_ZVISIBLE = 30;
constexpr int32_t D3DRENDERSTATE_STIPPLEDALPHA = 33;
constexpr int32_t D3DRENDERSTATE_FOGCOLOR = 34;
constexpr int32_t D3DRENDERSTATE_FOGTABLEMODE = 35;
constexpr int32_t D3DRENDERSTATE_FOGSTART = 36;
constexpr int32_t D3DRENDERSTATE_FOGEND = 37;
constexpr int32_t D3DRENDERSTATE_FOGDENSITY = 38;
constexpr int32_t D3DRENDERSTATE_EDGEANTIALIAS = 40;
constexpr int32_t D3DRENDERSTATE_COLORKEYENABLE = 41;
constexpr int32_t D3DRENDERSTATE_ZBIAS = 47;
constexpr int32_t D3DRENDERSTATE_RANGEFOGENABLE = 48;
constexpr int32_t D3DRENDERSTATE_STENCILENABLE = 52;
constexpr int32_t D3DRENDERSTATE_STENCILFAIL = 53;
constexpr int32_t D3DRENDERSTATE_STENCILZFAIL = 54;
constexpr int32_t D3DRENDERSTATE_STENCILPASS = 55;
constexpr int32_t D3DRENDERSTATE_STENCILFUNC = 56;
constexpr int32_t D3DRENDERSTATE_STENCILREF = 57;
constexpr int32_t D3DRENDERSTATE_STENCILMASK = 58;
constexpr int32_t D3DRENDERSTATE_STENCILWRITEMASK = 59;
constexpr int32_t D3DRENDERSTATE_TEXTUREFACTOR = 60;
constexpr int32_t D3DRENDERSTATE_STIPPLEPATTERN00 = 64;  // ... 95
constexpr int32_t D3DRENDERSTATE_WRAP0 = 128;            // ... WRAP7 = 135
constexpr int32_t D3DRENDERSTATE_CLIPPING = 136;
constexpr int32_t D3DRENDERSTATE_LIGHTING = 137;
constexpr int32_t D3DRENDERSTATE_EXTENTS = 138;
constexpr int32_t D3DRENDERSTATE_AMBIENT = 139;
constexpr int32_t D3DRENDERSTATE_FOGVERTEXMODE = 140;
constexpr int32_t D3DRENDERSTATE_COLORVERTEX = 141;
constexpr int32_t D3DRENDERSTATE_LOCALVIEWER = 142;
constexpr int32_t D3DRENDERSTATE_NORMALIZENORMALS = 143;
constexpr int32_t D3DRENDERSTATE_COLORKEYBLENDENABLE = 144;
constexpr int32_t D3DRENDERSTATE_DIFFUSEMATERIALSOURCE = 145;
constexpr int32_t D3DRENDERSTATE_SPECULARMATERIALSOURCE = 146;
constexpr int32_t D3DRENDERSTATE_AMBIENTMATERIALSOURCE = 147;
constexpr int32_t D3DRENDERSTATE_EMISSIVEMATERIALSOURCE = 148;
constexpr int32_t D3DRENDERSTATE_VERTEXBLEND = 151;
constexpr int32_t D3DRENDERSTATE_CLIPPLANEENABLE = 152;

// Texture-stage states.
constexpr int32_t D3DTSS_COLOROP = 1;
constexpr int32_t D3DTSS_COLORARG1 = 2;
constexpr int32_t D3DTSS_COLORARG2 = 3;
constexpr int32_t D3DTSS_ALPHAOP = 4;
constexpr int32_t D3DTSS_ALPHAARG1 = 5;
constexpr int32_t D3DTSS_ALPHAARG2 = 6;
constexpr int32_t D3DTSS_BUMPENVMAT00 = 7;
constexpr int32_t D3DTSS_BUMPENVMAT01 = 8;
constexpr int32_t D3DTSS_BUMPENVMAT10 = 9;
constexpr int32_t D3DTSS_BUMPENVMAT11 = 10;
constexpr int32_t D3DTSS_TEXCOORDINDEX = 11;
constexpr int32_t D3DTSS_ADDRESS = 12;
constexpr int32_t D3DTSS_ADDRESSU = 13;
constexpr int32_t D3DTSS_ADDRESSV = 14;
constexpr int32_t D3DTSS_BORDERCOLOR = 15;
constexpr int32_t D3DTSS_MAGFILTER = 16;
constexpr int32_t D3DTSS_MINFILTER = 17;
constexpr int32_t D3DTSS_MIPFILTER = 18;
constexpr int32_t D3DTSS_MIPMAPLODBIAS = 19;
constexpr int32_t D3DTSS_MAXMIPLEVEL = 20;
constexpr int32_t D3DTSS_MAXANISOTROPY = 21;
constexpr int32_t D3DTSS_BUMPENVLSCALE = 22;
constexpr int32_t D3DTSS_BUMPENVLOFFSET = 23;
constexpr int32_t D3DTSS_TEXTURETRANSFORMFLAGS = 24;

// Texture operations and arguments.
constexpr int32_t D3DTOP_DISABLE = 1;
constexpr int32_t D3DTOP_SELECTARG1 = 2;
constexpr int32_t D3DTOP_SELECTARG2 = 3;
constexpr int32_t D3DTOP_MODULATE = 4;
constexpr int32_t D3DTA_DIFFUSE = 0;
constexpr int32_t D3DTA_CURRENT = 1;
constexpr int32_t D3DTA_TEXTURE = 2;
constexpr int32_t D3DTA_TFACTOR = 3;
constexpr int32_t D3DTA_SPECULAR = 4;

// Texture addressing and filters.
constexpr int32_t D3DTADDRESS_WRAP = 1;
constexpr int32_t D3DTADDRESS_MIRROR = 2;
constexpr int32_t D3DTADDRESS_CLAMP = 3;
constexpr int32_t D3DTADDRESS_BORDER = 4;
constexpr int32_t D3DTFG_POINT = 1;
constexpr int32_t D3DTFG_LINEAR = 2;
constexpr int32_t D3DTFN_POINT = 1;
constexpr int32_t D3DTFN_LINEAR = 2;
constexpr int32_t D3DTFP_NONE = 1;
constexpr int32_t D3DTFP_POINT = 2;
constexpr int32_t D3DTFP_LINEAR = 3;

// Blend factors.
constexpr int32_t D3DBLEND_ZERO = 1;
constexpr int32_t D3DBLEND_ONE = 2;
constexpr int32_t D3DBLEND_SRCCOLOR = 3;
constexpr int32_t D3DBLEND_INVSRCCOLOR = 4;
constexpr int32_t D3DBLEND_SRCALPHA = 5;
constexpr int32_t D3DBLEND_INVSRCALPHA = 6;
constexpr int32_t D3DBLEND_DESTALPHA = 7;
constexpr int32_t D3DBLEND_INVDESTALPHA = 8;
constexpr int32_t D3DBLEND_DESTCOLOR = 9;
constexpr int32_t D3DBLEND_INVDESTCOLOR = 10;
constexpr int32_t D3DBLEND_SRCALPHASAT = 11;
constexpr int32_t D3DBLEND_BOTHSRCALPHA = 12;
constexpr int32_t D3DBLEND_BOTHINVSRCALPHA = 13;

// Comparison functions.
constexpr int32_t D3DCMP_NEVER = 1;
constexpr int32_t D3DCMP_LESS = 2;
constexpr int32_t D3DCMP_EQUAL = 3;
constexpr int32_t D3DCMP_LESSEQUAL = 4;
constexpr int32_t D3DCMP_GREATER = 5;
constexpr int32_t D3DCMP_NOTEQUAL = 6;
constexpr int32_t D3DCMP_GREATEREQUAL = 7;
constexpr int32_t D3DCMP_ALWAYS = 8;

// Culling, fill and shading modes, depth-buffer modes, fog modes, material colour sources.
constexpr int32_t D3DCULL_NONE = 1;
constexpr int32_t D3DCULL_CW = 2;
constexpr int32_t D3DCULL_CCW = 3;
constexpr int32_t D3DFILL_POINT = 1;
constexpr int32_t D3DFILL_WIREFRAME = 2;
constexpr int32_t D3DFILL_SOLID = 3;
constexpr int32_t D3DSHADE_FLAT = 1;
constexpr int32_t D3DSHADE_GOURAUD = 2;
constexpr int32_t D3DSHADE_PHONG = 3;
constexpr int32_t D3DZB_FALSE = 0;
constexpr int32_t D3DZB_TRUE = 1;
constexpr int32_t D3DZB_USEW = 2;
constexpr int32_t D3DFOG_NONE = 0;
constexpr int32_t D3DFOG_EXP = 1;
constexpr int32_t D3DFOG_EXP2 = 2;
constexpr int32_t D3DFOG_LINEAR = 3;
constexpr int32_t D3DMCS_MATERIAL = 0;
constexpr int32_t D3DMCS_COLOR1 = 1;
constexpr int32_t D3DMCS_COLOR2 = 2;
constexpr int32_t D3DSTENCILOP_KEEP = 1;

// Primitive types.
constexpr int32_t D3DPT_POINTLIST = 1;
constexpr int32_t D3DPT_LINELIST = 2;
constexpr int32_t D3DPT_LINESTRIP = 3;
constexpr int32_t D3DPT_TRIANGLELIST = 4;
constexpr int32_t D3DPT_TRIANGLESTRIP = 5;
constexpr int32_t D3DPT_TRIANGLEFAN = 6;

// Draw flags.
constexpr int32_t D3DDP_WAIT = 0x1;
constexpr int32_t D3DDP_DONOTCLIP = 0x4;
constexpr int32_t D3DDP_DONOTUPDATEEXTENTS = 0x8;
constexpr int32_t D3DDP_DONOTLIGHT = 0x10;

// Flexible vertex format bits.
constexpr int32_t D3DFVF_POSITION_MASK = 0x00E;
constexpr int32_t D3DFVF_XYZ = 0x002;
constexpr int32_t D3DFVF_XYZRHW = 0x004;
constexpr int32_t D3DFVF_NORMAL = 0x010;
constexpr int32_t D3DFVF_RESERVED1 = 0x020;
constexpr int32_t D3DFVF_DIFFUSE = 0x040;
constexpr int32_t D3DFVF_SPECULAR = 0x080;
constexpr int32_t D3DFVF_TEXCOUNT_MASK = 0xF00;
constexpr int32_t D3DFVF_TEXCOUNT_SHIFT = 8;
constexpr int32_t D3DFVF_TEX0 = 0x000;
constexpr int32_t D3DFVF_TEX1 = 0x100;
constexpr int32_t D3DFVF_TEX2 = 0x200;
constexpr int32_t D3DFVF_RESERVED2 = 0xF000;
// Untransformed, lit-by-device vertex (36 bytes) and the pre-transformed one with one pair of
// texture coordinates (32 bytes). The program's processed buffers use 0x2C4, which is the
// pre-transformed vertex with two pairs of texture coordinates (40 bytes).
constexpr int32_t D3DFVF_VERTEX = 0x152;
constexpr int32_t D3DFVF_TLVERTEX = 0x1C4;

// Lights.
constexpr int32_t D3DLIGHT_POINT = 1;
constexpr int32_t D3DLIGHT_SPOT = 2;
constexpr int32_t D3DLIGHT_DIRECTIONAL = 3;

// Transforms.
constexpr int32_t D3DTRANSFORMSTATE_WORLD = 1;
constexpr int32_t D3DTRANSFORMSTATE_VIEW = 2;
constexpr int32_t D3DTRANSFORMSTATE_PROJECTION = 3;

// Clear flags.
constexpr int32_t D3DCLEAR_TARGET = 0x1;
constexpr int32_t D3DCLEAR_ZBUFFER = 0x2;
constexpr int32_t D3DCLEAR_STENCIL = 0x4;

// Vertex buffers: capabilities, lock flags, vertex operations, ProcessVertices flags.
constexpr int32_t D3DVBCAPS_DONOTCLIP = 0x1;
constexpr int32_t D3DVBCAPS_SYSTEMMEMORY = 0x800;
constexpr int32_t D3DVBCAPS_WRITEONLY = 0x10000;
constexpr int32_t D3DVBCAPS_OPTIMIZED = static_cast<int32_t>(0x80000000u);
constexpr int32_t DDLOCK_WAIT = 0x1;
constexpr int32_t DDLOCK_READONLY = 0x10;
constexpr int32_t DDLOCK_WRITEONLY = 0x20;
constexpr int32_t DDLOCK_NOSYSLOCK = 0x800;
constexpr int32_t DDLOCK_NOOVERWRITE = 0x1000;
constexpr int32_t DDLOCK_DISCARDCONTENTS = 0x2000;
constexpr int32_t D3DVOP_TRANSFORM = 0x1;
constexpr int32_t D3DVOP_CLIP = 0x4;
constexpr int32_t D3DVOP_EXTENTS = 0x8;
constexpr int32_t D3DVOP_LIGHT = 0x400;
constexpr int32_t D3DPV_DONOTCOPYDATA = 0x1;
constexpr int32_t D3DMAXNUMVERTICES = 0xFFFF;
