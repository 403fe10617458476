// The per-frame draw list: everything visible in a frame is appended here as a DrawItem by the
// world update and the animations, linked so that opaque items come first (in the order added)
// and blended items after them, then drawn and emptied by the frame render.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dx/DxTypes.h"

// What an item is. 1..6 are geometry parts drawn with that primitive type.
enum ItemKind : uint8_t {
    ItemPointList = 1,
    ItemLineList = 2,
    ItemLineStrip = 3,
    ItemTriangleList = 4,
    ItemTriangleStrip = 5,
    ItemTriangleFan = 6,
    ItemFastSprite = 10,
    ItemStretchedSprite = 11,
    ItemText = 20,
    ItemSceneObject = 100,
};

// Flags bits read by the frame render.
enum ItemFlags : uint8_t {
    FlagBillboard = 1,
    FlagCameraRelative = 2,
    FlagScreenSpace = 4,
    FlagAlwaysVisible = 8,
    FlagFarDepth = 32,
};

struct DrawItem {
    uint8_t Kind = 0;
    RECT SourceRect;
    int32_t DestX = 0, DestY = 0;
    int32_t DestRight = 0, DestBottom = 0;
    std::string Text;
    uint8_t BltFlags = 0;
    int32_t SpriteParam = 0;
    int32_t SurfaceIndex = 0;
    uint8_t FromTextureList = 0;
    int16_t ColorKeyEnable = 0;
    int16_t AlphaBlendEnable = 0;
    uint8_t SrcBlend = 0, DestBlend = 0;
    int32_t ObjectIndex = 0;
    int32_t PartIndex = 0;
    int32_t TextureIndex = 0;
    D3DVECTOR Position;
    D3DVECTOR Rotation;  // radians
    D3DVECTOR Scale;
    D3DVECTOR Pivot;
    D3DMATERIAL7 Material;
    float Alpha = -1.0f;
    int32_t ParentObject = -1;
    int32_t ParentFrame = 0;
    int32_t FollowIndex = 0;
    uint8_t RotationOrder = 0;
    int32_t ScreenX = 0, ScreenY = 0;
    uint8_t Flags = 0;
    uint8_t Active = 0;
    int32_t Next = -1;
};

// The draw item queued this frame by the record an item follows (0: none to follow). The list
// of followed records lies above the render and installs this when it resets.
using FollowLookup = int32_t (*)(int32_t followIndex);
inline FollowLookup FollowedDrawItemLookup = nullptr;

// Element 0 is never an item: index 0 means "none".
inline std::vector<DrawItem> DrawList(1);
inline int32_t DrawItemCount = 0;
inline int32_t DrawListHead = 0;
inline int32_t OpaqueTail = 0;
inline int32_t BlendedTail = 0;

void ResetDrawList();

// Sprites always join the opaque run.
void LinkSpriteItem(int32_t n);
// Scene items join the run their AlphaBlendEnable chooses.
void LinkSceneItem(int32_t n);

int32_t AddSpriteItem(int32_t x, int32_t y, int32_t width, int32_t height, int32_t param,
                      int32_t surfaceIndex, int32_t frameIndex, uint8_t colourKeyFlag,
                      uint8_t fromTextureList, uint8_t kind);
int32_t AddObjectItem(int32_t objectIndex, int16_t alphaFlag, float alpha, uint8_t srcBlend,
                      uint8_t destBlend);

// The inputs of a geometry-part item, in their traditional order.
struct MeshItemParams {
    uint8_t kind = 0;  // 0: the part's own primitive kind
    float x = 0, y = 0, z = 0;
    int32_t setIndex = 0, partIndex = 0;
    int32_t textureIndex = -1;
    uint8_t srcBlend = 2, destBlend = 1;  // ONE, ZERO
    int16_t alphaBlend = 0;
    float alpha = -1;  // -1: no fade; otherwise percent
    uint8_t flags = 0;
    int16_t colourKey = 0;
    int32_t parentObject = -1, parentFrame = 0;
    float ax = 0, ay = 0, az = 0;  // degrees
    float sx = 1, sy = 1, sz = 1;
    int32_t colour = -1;  // -1: the part's own colours
    uint8_t rotationOrder = 0;
    int32_t followIndex = 0;
    float px = 0, py = 0, pz = 0;
};
int32_t AddMeshItem(const MeshItemParams& p);

int32_t AddTextItem(const std::string& text, float x, float y, float z, int32_t colour, float ax,
                    float ay, float az, float style, uint8_t srcBlend, uint8_t destBlend,
                    float alpha, int16_t colourKey, int16_t alphaBlend, uint8_t flags,
                    int32_t parentObject, int32_t parentFrame);

// Angles in degrees: Rx * Ry * Rz * T.
D3DMATRIX BuildEulerMatrix(const D3DVECTOR& position, const D3DVECTOR& angles);
// Angles in radians; order 1 turns z, y, x, any other z, x, y. A scale other than 1 with a
// pivot adds the pivot a second time, which the content relies on.
D3DMATRIX BuildItemMatrix(const D3DVECTOR& position, const D3DVECTOR& angles,
                          const D3DVECTOR& scale, const D3DVECTOR& pivot, uint8_t order);

RECT MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
RECT MakeRectFromValues(double left, double top, double right, double bottom);
D3DVECTOR MakeVector(float x, float y, float z);
