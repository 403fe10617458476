#include "render/DrawList.h"

#include <cmath>
#include <limits>

#include "core/Declarations.h"
#include "core/RuntimeError.h"
#include "core/WholeNumbers.h"
#include "resources/GeometrySets.h"
#include "resources/SceneObjects.h"
#include "resources/Surfaces.h"

namespace {

constexpr int16_t kTrue = -1;

int32_t AppendItem() {
    if (DrawItemCount == std::numeric_limits<int32_t>::max()) throw RuntimeError(rt::Overflow);
    ++DrawItemCount;
    DrawList.resize(static_cast<size_t>(DrawItemCount) + 1);
    DrawList[static_cast<size_t>(DrawItemCount)] = DrawItem{};
    return DrawItemCount;
}

DrawItem& Item(int32_t n) {
    return DrawList[static_cast<size_t>(n)];
}

D3DCOLORVALUE Scaled(const D3DCOLORVALUE& c, float f) {
    return {c.r * f, c.g * f, c.b * f, c.a * f};
}

// -1 means no fade. Otherwise the fade is stored as a fraction and, unless the vertices carry
// their own colours, applied to the material at once.
void ApplyAlpha(DrawItem& item, float alpha, bool ownColours) {
    if (alpha == -1.0f) {
        item.Alpha = -1.0f;
        return;
    }
    item.Alpha = alpha / 100.0f;
    if (!ownColours) {
        item.Material.diffuse = Scaled(item.Material.diffuse, item.Alpha);
        item.Material.ambient = Scaled(item.Material.ambient, item.Alpha);
    }
}

D3DCOLORVALUE ColourOf(int32_t packed, float alpha) {
    return {DX->ColorGetRed(packed), DX->ColorGetGreen(packed), DX->ColorGetBlue(packed), alpha};
}

}  // namespace

void ResetDrawList() {
    DrawList.assign(1, DrawItem{});
    DrawItemCount = 0;
    DrawListHead = 0;
    OpaqueTail = 0;
    BlendedTail = 0;
}

void LinkSpriteItem(int32_t n) {
    // A sprite behaves as an opaque scene item, whatever its blend flag says.
    const int16_t blend = Item(n).AlphaBlendEnable;
    Item(n).AlphaBlendEnable = 0;
    LinkSceneItem(n);
    Item(n).AlphaBlendEnable = blend;
}

void LinkSceneItem(int32_t n) {
    DrawItem& item = Item(n);
    const bool blended = item.AlphaBlendEnable != 0;
    if (DrawListHead == 0) {
        DrawListHead = n;
        (blended ? BlendedTail : OpaqueTail) = n;
        item.Next = -1;
    } else if (blended) {
        Item(BlendedTail == 0 ? OpaqueTail : BlendedTail).Next = n;
        BlendedTail = n;
        item.Next = -1;
    } else if (OpaqueTail != 0) {
        item.Next = BlendedTail != 0 ? Item(OpaqueTail).Next : -1;
        Item(OpaqueTail).Next = n;
        OpaqueTail = n;
    } else {
        item.Next = DrawListHead;
        DrawListHead = OpaqueTail = n;
    }
}

int32_t AddSpriteItem(int32_t x, int32_t y, int32_t width, int32_t height, int32_t param,
                      int32_t surfaceIndex, int32_t frameIndex, uint8_t colourKeyFlag,
                      uint8_t fromTextureList, uint8_t kind) {
    const std::vector<SurfaceRecord>& list = fromTextureList != 0 ? TextureList : SpriteSurfaceList;
    const SurfaceFrame frame = At(At(list, surfaceIndex).Frames, frameIndex);
    const int32_t n = AppendItem();
    DrawItem& item = Item(n);
    item.Kind = kind;
    item.DestRight = x + width;
    item.DestBottom = y + height;
    item.SourceRect = RECT{frame.Left, frame.Top, frame.Right, frame.Bottom};
    x -= frame.HotSpotX;
    y -= frame.HotSpotY;
    if (x < 0) {
        item.SourceRect.Left -= x;
        x = 0;
    }
    if (y < 0) {
        item.SourceRect.Top -= y;
        y = 0;
    }
    item.DestX = x;
    item.DestY = y;
    if (item.DestRight > RenderWidth) {
        item.SourceRect.Right -= item.DestRight - RenderWidth;
        item.DestRight = RenderWidth;
    }
    if (item.DestBottom > RenderHeight) {
        item.SourceRect.Bottom -= item.DestBottom - RenderHeight;
        item.DestBottom = RenderHeight;
    }
    item.BltFlags = colourKeyFlag;
    item.SpriteParam = param;
    item.SurfaceIndex = surfaceIndex;
    item.FromTextureList = fromTextureList;
    item.ScreenX = item.DestX;
    item.ScreenY = item.DestY;
    item.Active = 1;
    LinkSpriteItem(n);
    return n;
}

int32_t AddObjectItem(int32_t objectIndex, int16_t alphaFlag, float alpha, uint8_t srcBlend,
                      uint8_t destBlend) {
    const SceneObject& object = At(SceneObjects, objectIndex);
    const int32_t n = AppendItem();
    DrawItem& item = Item(n);
    item.Kind = ItemSceneObject;
    item.SrcBlend = srcBlend;
    item.DestBlend = destBlend;
    item.Position = object.Position;
    item.Rotation = object.Rotation;
    item.ObjectIndex = objectIndex;
    item.TextureIndex = object.TextureIndex;
    item.ColorKeyEnable = object.ColorKey >= 0 ? kTrue : 0;
    item.AlphaBlendEnable = alphaFlag;
    item.Material = object.Material;
    item.Active = 1;
    ApplyAlpha(item, alpha, object.StyleFlag == 1);
    LinkSceneItem(n);
    return n;
}

int32_t AddMeshItem(const MeshItemParams& p) {
    const GeometryPart& part = At(At(GeometrySets, p.setIndex).Parts, p.partIndex);
    const int32_t screenX = RoundToLong(p.x), screenY = RoundToLong(p.y);
    const int32_t n = AppendItem();
    DrawItem& item = Item(n);
    item.Kind = p.kind != 0 ? p.kind : part.PrimitiveKind;
    item.Position = D3DVECTOR{p.x, p.y, p.z};
    item.ScreenX = screenX;
    item.ScreenY = screenY;
    item.ObjectIndex = p.setIndex;
    item.PartIndex = p.partIndex;
    item.TextureIndex = p.textureIndex;
    item.SrcBlend = p.srcBlend;
    item.DestBlend = p.destBlend;
    item.AlphaBlendEnable = p.alphaBlend;
    item.ColorKeyEnable = p.colourKey;
    item.Flags = p.flags;
    item.ParentObject = p.parentObject;
    item.ParentFrame = p.parentFrame;
    item.FollowIndex = p.followIndex;
    item.RotationOrder = p.rotationOrder;
    item.Rotation =
        D3DVECTOR{static_cast<float>(p.ax * DegToRad), static_cast<float>(p.ay * DegToRad),
                  static_cast<float>(p.az * DegToRad)};
    item.Scale = D3DVECTOR{p.sx, p.sy, p.sz};
    item.Pivot = D3DVECTOR{part.Centre.x - p.px, part.Centre.y - p.py, part.Centre.z - p.pz};
    if (p.colour == -1) {
        item.Material.ambient = part.AmbientColor;
        item.Material.diffuse = part.DiffuseColor;
    } else {
        item.Material.ambient = ColourOf(p.colour, 0.0f);
        item.Material.diffuse = item.Material.ambient;
    }
    item.Active = 1;
    ApplyAlpha(item, p.alpha, part.VertexColored == 1);
    LinkSceneItem(n);
    return n;
}

int32_t AddTextItem(const std::string& text, float x, float y, float z, int32_t colour, float ax,
                    float ay, float az, float style, uint8_t srcBlend, uint8_t destBlend,
                    float alpha, int16_t colourKey, int16_t alphaBlend, uint8_t flags,
                    int32_t parentObject, int32_t parentFrame) {
    const int32_t setIndex = At(CommonSets, 0), partIndex = At(CommonParts, 0);
    const GeometryPart& part = At(At(GeometrySets, setIndex).Parts, partIndex);
    const int32_t styleValue = RoundToLong(style);
    const int32_t n = AppendItem();
    DrawItem& item = Item(n);
    item.Kind = ItemText;
    item.Text = text;
    item.DestRight = item.DestBottom = 255;
    item.SourceRect.Left = styleValue;
    item.TextureIndex = At(SpecialTextures, 0);
    item.ObjectIndex = setIndex;
    item.PartIndex = partIndex;
    item.Position = D3DVECTOR{x, y, z};
    item.SrcBlend = srcBlend;
    item.DestBlend = destBlend;
    item.ColorKeyEnable = colourKey;
    item.AlphaBlendEnable = alphaBlend;
    item.Flags = flags;
    item.ParentObject = parentObject;
    item.ParentFrame = parentFrame;
    // A packed colour lends its blue to the alpha as well: that is how text has always looked.
    item.Material.ambient =
        colour == -1 ? D3DCOLORVALUE{1, 1, 1, 1} : ColourOf(colour, DX->ColorGetBlue(colour));
    item.Material.diffuse = item.Material.ambient;
    item.Scale = D3DVECTOR{1, 1, 1};
    item.Rotation = D3DVECTOR{static_cast<float>(ax * DegToRad), static_cast<float>(ay * DegToRad),
                              static_cast<float>(az * DegToRad)};
    item.Active = 1;
    ApplyAlpha(item, alpha, part.VertexColored == 1);
    LinkSceneItem(n);
    return n;
}

D3DMATRIX BuildEulerMatrix(const D3DVECTOR& position, const D3DVECTOR& angles) {
    D3DMATRIX result;
    DX->IdentityMatrix(result);
    result.rc41 = position.x;
    result.rc42 = position.y;
    result.rc43 = position.z;
    if (angles.x == 0 && angles.y == 0 && angles.z == 0) return result;
    D3DMATRIX rx, ry, rz, m;
    DX->RotateXMatrix(rx, static_cast<float>(angles.x * DegToRad));
    DX->RotateYMatrix(ry, static_cast<float>(angles.y * DegToRad));
    DX->RotateZMatrix(rz, static_cast<float>(angles.z * DegToRad));
    DX->MatrixMultiply(m, rx, ry);
    DX->MatrixMultiply(m, m, rz);
    DX->MatrixMultiply(m, m, result);
    return m;
}

D3DMATRIX BuildItemMatrix(const D3DVECTOR& position, const D3DVECTOR& angles,
                          const D3DVECTOR& scale, const D3DVECTOR& pivot, uint8_t order) {
    D3DMATRIX m;
    DX->IdentityMatrix(m);
    m.rc41 = position.x;
    m.rc42 = position.y;
    m.rc43 = position.z;
    const bool turned = angles.x != 0 || angles.y != 0 || angles.z != 0;
    const bool pivoted = pivot.x != 0 || pivot.y != 0 || pivot.z != 0;
    if (turned || pivoted) {
        D3DMATRIX b, r;
        DX->IdentityMatrix(b);
        b.rc41 = pivot.x;
        b.rc42 = pivot.y;
        b.rc43 = pivot.z;
        DX->RotateZMatrix(r, angles.z);
        DX->MatrixMultiply(b, b, r);
        if (order == 1) {
            DX->RotateYMatrix(r, angles.y);
            DX->MatrixMultiply(b, b, r);
            DX->RotateXMatrix(r, angles.x);
            DX->MatrixMultiply(b, b, r);
        } else {
            DX->RotateXMatrix(r, angles.x);
            DX->MatrixMultiply(b, b, r);
            DX->RotateYMatrix(r, angles.y);
            DX->MatrixMultiply(b, b, r);
        }
        DX->MatrixMultiply(m, b, m);
    }
    if (scale.x != 1 || scale.y != 1 || scale.z != 1) {
        D3DMATRIX s;
        DX->IdentityMatrix(s);
        s.rc11 = scale.x;
        s.rc22 = scale.y;
        s.rc33 = scale.z;
        s.rc41 = pivot.x;
        s.rc42 = pivot.y;
        s.rc43 = pivot.z;
        DX->MatrixMultiply(m, s, m);
    }
    return m;
}

RECT MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return RECT{left, top, right, bottom};
}

RECT MakeRectFromValues(double left, double top, double right, double bottom) {
    return RECT{RoundToLong(left), RoundToLong(top), RoundToLong(right), RoundToLong(bottom)};
}

D3DVECTOR MakeVector(float x, float y, float z) {
    return D3DVECTOR{x, y, z};
}
