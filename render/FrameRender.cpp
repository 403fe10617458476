#include "render/FrameRender.h"

#include <cmath>
#include <string>

#include "core/Declarations.h"
#include "core/LoopState.h"
#include "core/RuntimeError.h"
#include "display/Display.h"
#include "display/Text.h"
#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "platform/host/Host.h"
#include "render/BlurEffect.h"
#include "render/Camera.h"
#include "render/DeviceSetup.h"
#include "render/DrawList.h"
#include "render/PointerHistory.h"
#include "render/RenderGlobals.h"
#include "render/RenderState.h"
#include "render/SceneObjectDrawing.h"
#include "resources/GeometrySets.h"
#include "resources/SceneObjects.h"
#include "resources/Surfaces.h"

namespace {

constexpr int32_t kTrue = -1;
constexpr float kPointerDepth = 1.2f;
// The frame of scene object 0 that carries the darkening light: high in the burning palm.
constexpr int32_t kLightFrame = 4;
// Pieces of the "BG" set this far from the camera are not drawn.
constexpr float kBackgroundCullDistance = 60.0f;
// The land's set, loaded fifth: never culled, however far its pieces reach.
constexpr int32_t kUnculledSet = 4;
// Kinds up to this one are geometry parts drawn with their own vertex list; the device
// refuses 7, which names no primitive type.
constexpr uint8_t kLastGeometryKind = 7;
constexpr float kProjectionDepthScale = 1.02f;
constexpr float kFarDepthScale = 1.0f;

bool Held(int16_t state) {
    return state < -1;
}

double Distance(const D3DVECTOR& a, const D3DVECTOR& b) {
    const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

D3DVECTOR Times(const D3DVECTOR& p, const D3DMATRIX& m) {
    return D3DVECTOR{p.x * m.rc11 + p.y * m.rc21 + p.z * m.rc31 + m.rc41,
                     p.x * m.rc12 + p.y * m.rc22 + p.z * m.rc32 + m.rc42,
                     p.x * m.rc13 + p.y * m.rc23 + p.z * m.rc33 + m.rc43};
}

// The x and y angles (radians) that turn a shape facing -z towards the camera. The camera's
// yaw runs from +x towards +z and its pitch looks up, while a turn about y takes +z towards +x
// and a turn about x takes +y towards +z: so the shape turns by 90 - yaw and by -pitch.
// The camera this frame is drawn from (between its last two steps).
CameraStateRecord FrameCamera;

D3DVECTOR BillboardAngles(float z) {
    const CameraStateRecord& c = FrameCamera;
    return D3DVECTOR{static_cast<float>(-c.Pitch * DegToRad),
                     static_cast<float>((90 - c.Yaw) * DegToRad), z};
}

D3DMATRIX ItemMatrix(const DrawItem& item, const D3DVECTOR& position, const D3DVECTOR& angles) {
    return BuildItemMatrix(position, angles, item.Scale, item.Pivot, item.RotationOrder);
}

D3DMATRIX ItemMatrix(const DrawItem& item) {
    return ItemMatrix(item, item.Position, item.Rotation);
}

// The light follows frame 4 of scene object 0 (where the burning palm's fire is). Without
// that frame, as with the one-group test triangle, the light stays where it was.
void PlaceSceneLight() {
    if (SceneObjects.empty()) return;
    const SceneObject& object = SceneObjects.front();
    if (object.Active != 1 || static_cast<size_t>(kLightFrame) >= object.Joints.size()) return;
    SceneLight.position = object.Joints[kLightFrame].WorldPosition;
    Device->SetLight(1, SceneLight);
}

void BeginWireframePass() {
    Device->SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME);
    SceneMaterial.ambient = D3DCOLORVALUE{1, 1, 1, 1};
    SceneMaterial.diffuse = SceneMaterial.ambient;
    SceneMaterial.emissive = SceneMaterial.ambient;
    Device->SetMaterial(SceneMaterial);
    SetStageTexture(-1);
    SetAlphaBlendEnable(0);
    SetColorKeyEnable(0);
    SetFogColorAndDepthWrite(BackgroundColor);
    SetTextureFilter(D3DTFG_POINT);
    SetBlendFactors(D3DBLEND_ONE, D3DBLEND_ONE);
}

void DrawSprite(const DrawItem& item) {
    const std::vector<SurfaceRecord>& list =
        item.FromTextureList != 0 ? TextureList : SpriteSurfaceList;
    DirectDrawSurface7* source = At(list, item.SurfaceIndex).Surface.get();
    if (item.Kind == ItemFastSprite) {
        BackBuffer->BltFast(item.ScreenX, item.ScreenY, source, item.SourceRect,
                            item.BltFlags | DDBLTFAST_WAIT);
    } else {
        const RECT destination{item.DestX, item.DestY, item.DestRight, item.DestBottom};
        BackBuffer->Blt(&destination, source, &item.SourceRect,
                        DDBLT_WAIT + item.BltFlags * DDBLT_KEYSRC);
    }
}

// The vertices an item draws: count of them from first, which must lie inside the set's list.
D3DVERTEX* PartVertices(GeometrySet& set, int64_t first, int64_t count, const DrawItem& item) {
    if (first < 0 || count < 0 || first + count > static_cast<int64_t>(set.Vertices.size())) {
        throw RuntimeError(rt::SubscriptOutOfRange,
                           "draw item of set " + std::to_string(item.ObjectIndex) + ", part " +
                               std::to_string(item.PartIndex) + ": vertices " +
                               std::to_string(first) + " to " + std::to_string(first + count - 1) +
                               " lie outside the " + std::to_string(set.Vertices.size()) +
                               " of the set");
    }
    return set.Vertices.data() + first;
}

const uint16_t* PartIndices(const GeometryPart& part) {
    if (part.IndexCount < 0 || static_cast<size_t>(part.IndexCount) > part.Indices.size()) {
        throw RuntimeError(rt::SubscriptOutOfRange);
    }
    // A negative index reads as a large vertex number, which the device refuses.
    return reinterpret_cast<const uint16_t*>(part.Indices.data());
}

// A fade of a vertex-coloured part: every vertex's colour is its base colour with each byte
// scaled by the item's alpha.
void FadePartColours(GeometrySet& set, const GeometryPart& part, const DrawItem& item) {
    D3DVERTEX* vertices = PartVertices(set, part.FirstVertex, part.PartVertexCount, item);
    if (static_cast<int64_t>(part.FirstVertex) + part.PartVertexCount >
        static_cast<int64_t>(set.BaseColors.size())) {
        throw RuntimeError(rt::SubscriptOutOfRange);
    }
    for (int32_t i = 0; i < part.PartVertexCount; ++i) {
        const auto base = static_cast<uint32_t>(set.BaseColors[part.FirstVertex + i]);
        uint32_t colour = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            // A fade above 1 saturates and one below 0 gives black: a byte must neither wrap
            // round (bright turning dark) nor come from a negative number.
            float scaled = static_cast<float>((base >> shift) & 0xFF) * item.Alpha;
            if (!(scaled > 0.0f)) scaled = 0.0f;
            if (scaled > 255.0f) scaled = 255.0f;
            colour |= static_cast<uint32_t>(scaled) << shift;
        }
        vertices[i].color = colour;
    }
}

void ApplyItemStates(const DrawItem& item, GeometrySet& set, const GeometryPart& part) {
    if (part.VertexColored != 1) {
        SetVertexColorMode(0);
        Device->SetMaterial(item.Material);
    } else {
        SetVertexColorMode(kTrue);
        if (item.Alpha != -1.0f) FadePartColours(set, part, item);
    }
    if (item.SrcBlend == D3DBLEND_SRCALPHA) {
        SetStageTexture(-1);
        Device->LightEnable(0, false);
        Device->LightEnable(1, false);
    } else {
        SetStageTexture(item.TextureIndex);
    }
    SetAlphaBlendEnable(item.AlphaBlendEnable);
    SetFogColorAndDepthWrite(item.AlphaBlendEnable != 0 ? 0 : BackgroundColor);
    Device->SetRenderState(D3DRENDERSTATE_FOGENABLE,
                           (item.Flags & FlagCameraRelative) != 0 ? 0 : kTrue);
    SetColorKeyEnable(item.ColorKeyEnable);
    SetBlendFactors(item.SrcBlend, item.DestBlend);
}

// The item this frame's follower is placed by, or 0 when there is nothing to follow: the
// record is gone, or it made no item this frame.
int32_t FollowedItem(const DrawItem& item) {
    return FollowedDrawItemLookup != nullptr ? FollowedDrawItemLookup(item.FollowIndex) : 0;
}

bool FollowsNothing(const DrawItem& item) {
    return item.ParentObject == -1 && item.FollowIndex != 0 && FollowedItem(item) == 0;
}

void SetItemWorldMatrix(const DrawItem& item) {
    const bool billboard = (item.Flags & FlagBillboard) != 0;
    if (item.ParentObject == -1 && item.FollowIndex == 0) {
        D3DVECTOR angles = item.Rotation;
        if (billboard) angles = BillboardAngles(item.Rotation.z);
        Device->SetTransform(D3DTRANSFORMSTATE_WORLD, ItemMatrix(item, item.Position, angles));
        return;
    }
    if (item.ParentObject == -1) {
        const D3DMATRIX placement = ItemMatrix(At(DrawList, FollowedItem(item)));
        if (!billboard) {
            Device->SetTransform(D3DTRANSFORMSTATE_WORLD, placement);
            Device->MultiplyTransform(D3DTRANSFORMSTATE_WORLD, ItemMatrix(item));
        } else {
            Device->SetTransform(D3DTRANSFORMSTATE_WORLD,
                                 ItemMatrix(item, Times(item.Position, placement),
                                            BillboardAngles(item.Rotation.z)));
        }
        return;
    }
    const JointState& frame = At(At(SceneObjects, item.ParentObject).Joints, item.ParentFrame);
    D3DVECTOR angles = item.Rotation;
    if (billboard) {
        angles = BillboardAngles(item.Rotation.z);
        angles.x -= static_cast<float>(frame.WorldAngles.x * DegToRad);
        angles.y -= static_cast<float>(frame.WorldAngles.y * DegToRad);
        angles.z -= static_cast<float>(frame.WorldAngles.z * DegToRad);
    }
    Device->SetTransform(D3DTRANSFORMSTATE_WORLD, frame.WorldMatrix);
    Device->MultiplyTransform(D3DTRANSFORMSTATE_WORLD, ItemMatrix(item, item.Position, angles));
}

void SetProjectionDepthScale(float rc33) {
    D3DMATRIX projection = ProjectionMatrix;
    projection.rc33 = rc33;
    Device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, projection);
}

void BeginFlagStates(const DrawItem& item) {
    if ((item.Flags & FlagScreenSpace) != 0) {
        D3DMATRIX identity;
        DX->IdentityMatrix(identity);
        Device->SetTransform(D3DTRANSFORMSTATE_VIEW, identity);
    }
    if ((item.Flags & FlagFarDepth) != 0) {
        Device->SetRenderState(D3DRENDERSTATE_FOGENABLE, 0);
        SetProjectionDepthScale(kFarDepthScale);
    }
    if ((item.Flags & FlagAlwaysVisible) != 0) {
        Device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS);
    }
}

void EndFlagStates(const DrawItem& item) {
    if ((item.Flags & FlagScreenSpace) != 0) {
        Device->SetTransform(D3DTRANSFORMSTATE_VIEW, ViewMatrix);
    }
    if ((item.Flags & FlagAlwaysVisible) != 0) {
        Device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    }
    if ((item.Flags & FlagFarDepth) != 0) {
        Device->SetRenderState(D3DRENDERSTATE_FOGENABLE, kTrue);
        SetProjectionDepthScale(kProjectionDepthScale);
    }
}

// Draws the part; returns true when the lights are on again afterwards.
bool DrawGeometry(DrawItem& item, GeometrySet& set, const GeometryPart& part, int32_t pass) {
    const int32_t kind = item.Kind;
    if (kind == ItemText) {
        DrawText(0, item.Text, 0, 0, 0, static_cast<uint8_t>(item.SourceRect.Left & 0xFF));
        return false;
    }
    const int64_t first = part.FirstVertex, count = part.PartVertexCount;
    if (kind == ItemPointList || kind == ItemTriangleStrip) {
        Device->DrawPrimitive(kind, D3DFVF_VERTEX, PartVertices(set, first, count, item),
                              static_cast<int32_t>(count), 0);
        // A strip part is drawn twice: its second strip follows a copy of the first.
        if (kind == ItemTriangleStrip) {
            Device->DrawPrimitive(kind, D3DFVF_VERTEX,
                                  PartVertices(set, first + 2 * count, count, item),
                                  static_cast<int32_t>(count), 0);
        }
        return false;
    }
    D3DVERTEX* vertices = PartVertices(set, first, count, item);
    const uint16_t* indices = PartIndices(part);
    Device->DrawIndexedPrimitive(kind, D3DFVF_VERTEX, vertices, static_cast<int32_t>(count),
                                 indices, part.IndexCount, D3DDP_WAIT);
    if (pass != 0 || item.SrcBlend != D3DBLEND_SRCALPHA) return false;
    // A glowing item: the same part once more, added on top with the fade as its light.
    D3DMATERIAL7 glow = item.Material;
    glow.emissive = D3DCOLORVALUE{item.Alpha, item.Alpha, item.Alpha, item.Alpha};
    Device->SetMaterial(glow);
    SetBlendFactors(D3DBLEND_ONE, D3DBLEND_ONE);
    SetStageTexture(item.TextureIndex);
    Device->DrawIndexedPrimitive(kind, D3DFVF_VERTEX, vertices, static_cast<int32_t>(count),
                                 indices, part.IndexCount, D3DDP_WAIT);
    Device->LightEnable(0, true);
    Device->LightEnable(1, true);
    return true;
}

void DrawGeometryItem(DrawItem& item, int32_t pass) {
    const bool culled = BackgroundItemDistance >= kBackgroundCullDistance &&
                        item.ObjectIndex != kUnculledSet &&
                        (item.Flags & (FlagScreenSpace | FlagFarDepth)) == 0;
    // A follower without its leader has no place of its own; drawing it with the matrix the
    // previous item left would put it somewhere arbitrary.
    if (culled || FollowsNothing(item)) return;
    GeometrySet& set = At(GeometrySets, item.ObjectIndex);
    const GeometryPart& part = At(set.Parts, item.PartIndex);
    if (pass == 0) ApplyItemStates(item, set, part);
    SetItemWorldMatrix(item);
    BeginFlagStates(item);
    // Text is sampled with the point filter so small glyphs stay crisp. Only the other kinds
    // put the linear filter back, after their draw: whatever follows a text item (a scene
    // object, the wireframe pass's next item) still samples with the point filter.
    if (item.Kind == ItemText) SetTextureFilter(D3DTFG_POINT);
    const bool lightsOn = DrawGeometry(item, set, part, pass);
    if (item.Kind != ItemText) SetTextureFilter(D3DTFG_LINEAR);
    // Lights turned off for a glowing item come back on even when no second draw did it.
    if (pass == 0 && item.SrcBlend == D3DBLEND_SRCALPHA && !lightsOn) {
        Device->LightEnable(0, true);
        Device->LightEnable(1, true);
    }
    EndFlagStates(item);
}

void DrawObjectItem(const DrawItem& item, int32_t pass) {
    if (pass == 0) {
        SetFogColorAndDepthWrite(item.AlphaBlendEnable != 0 ? 0 : BackgroundColor);
        if (At(SceneObjects, item.ObjectIndex).StyleFlag == 1) {
            SetVertexColorMode(kTrue);
        } else {
            SetVertexColorMode(0);
            Device->SetMaterial(item.Material);
        }
    }
    DrawSceneObject(item, pass);
}

void MeasureBackgroundDistance(const DrawItem& item) {
    BackgroundItemDistance = 0;
    if (item.ObjectIndex != At(BackgroundSets, 0)) return;
    D3DVECTOR reference = item.Position;
    if (item.Kind == ItemTriangleStrip) {
        const D3DVERTEX& v = At(At(GeometrySets, item.ObjectIndex).Vertices, 0);
        reference = D3DVECTOR{v.x, v.y, v.z};
    }
    BackgroundItemDistance = static_cast<float>(Distance(FrameCamera.CameraPosition, reference));
}

void DrawItemInPass(DrawItem& item, int32_t pass) {
    if ((item.Flags & FlagCameraRelative) != 0 && pass == 0) {
        const D3DVECTOR& c = FrameCamera.CameraPosition;
        item.Position =
            D3DVECTOR{item.Position.x + c.x, item.Position.y + c.y, item.Position.z + c.z};
    }
    MeasureBackgroundDistance(item);
    switch (item.Kind) {
        case ItemFastSprite:
        case ItemStretchedSprite:
            if (pass == 0) DrawSprite(item);
            break;
        case ItemSceneObject:
            DrawObjectItem(item, pass);
            break;
        default:
            if ((item.Kind >= ItemPointList && item.Kind <= kLastGeometryKind) ||
                item.Kind == ItemText) {
                DrawGeometryItem(item, pass);
            }
            break;
    }
}

// Ctrl and Alt held start the trail; Ctrl with Alt fully up lets it fade. Every test reads
// its keys afresh, as a chain of full conditions does.
void TriggerBlur() {
    Host& host = ActiveHost();
    const bool ctrl = Held(host.GetAsyncKeyState(vk::CONTROL));
    const bool alt = Held(host.GetAsyncKeyState(vk::MENU));
    if (ctrl && alt && EffectState == 0) {
        EffectState = 1;
    } else {
        const bool ctrlAgain = Held(host.GetAsyncKeyState(vk::CONTROL));
        const bool altUp = host.GetAsyncKeyState(vk::MENU) == 0;
        if (ctrlAgain && altUp && EffectState != 0) EffectState = 3;
    }
    if (EffectState > 0) RunBlurEffect();
}

}  // namespace

void RenderFrame() {
    Device->SetRenderState(D3DRENDERSTATE_ZVISIBLE, kTrue);
    Device->Clear(1, &ClearRect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, BackgroundColor, 1.0f, 0);
    PreviousPointerPosition = PointerPosition;
    PointerPosition = ScreenToWorldRounded(static_cast<float>(CursorPos.x),
                                           static_cast<float>(CursorPos.y), kPointerDepth);
    PlaceSceneLight();
    Device->BeginScene();
    FrameCamera = UpdateCamera();

    for (int32_t pass = 0; pass <= WireframePasses; ++pass) {
        if (pass == 0) {
            SetTextureFilter(D3DTFG_LINEAR);
        } else {
            BeginWireframePass();
        }
        for (int32_t n = DrawListHead; n > 0;) {
            DrawItem& item = At(DrawList, n);
            if (item.Active == 1) DrawItemInPass(item, pass);
            n = item.Next;
        }
    }
    Device->SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);

    TriggerBlur();
    Device->EndScene();
    ResetDrawList();
}
