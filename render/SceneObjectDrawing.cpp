#include "render/SceneObjectDrawing.h"

#include "core/Declarations.h"
#include "core/RuntimeError.h"
#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "render/DeviceSetup.h"
#include "render/DrawList.h"
#include "render/RenderState.h"
#include "resources/ModelBuffers.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"

namespace {

constexpr int32_t kProcessOperation = D3DVOP_TRANSFORM | D3DVOP_CLIP | D3DVOP_LIGHT;

D3DVECTOR Sum(const D3DVECTOR& a, const D3DVECTOR& b) {
    return D3DVECTOR{a.x + b.x, a.y + b.y, a.z + b.z};
}

// The object's own transform: its turn and place, scaled first.
D3DMATRIX ObjectMatrix(const SceneObject& object) {
    const D3DMATRIX placed = BuildEulerMatrix(object.Position, object.Rotation);
    D3DMATRIX scale;
    DX->IdentityMatrix(scale);
    scale.rc11 = object.Scale.x;
    scale.rc22 = object.Scale.y;
    scale.rc33 = object.Scale.z;
    D3DMATRIX result;
    DX->MatrixMultiply(result, scale, placed);
    return result;
}

// Composes frame e in the space the device's world matrix holds (the previous group of the
// chain, or the object). A frame right after a separator, or first in the list, starts its
// chain at the object, so its world position and angles are summed with the object's.
void ComposeFrame(SceneObject& object, const ModelData& model, int32_t j, int16_t e) {
    JointState& frame = At(object.Joints, e);
    const ModelGroup& group = At(model.Groups, e);
    frame.LocalPosition = Sum(frame.LocalPosition, group.GroupOffset);
    const D3DMATRIX local = BuildEulerMatrix(frame.LocalPosition, frame.LocalAngles);

    const int16_t previous = j > 0 ? At(model.GroupList, j - 1) : int16_t{-1};
    D3DVECTOR basePosition = object.Position, baseAngles = object.Rotation;
    if (previous >= 0) {
        const JointState& before = At(object.Joints, previous);
        basePosition = before.WorldPosition;
        baseAngles = before.WorldAngles;
    }
    frame.WorldPosition = Sum(frame.LocalPosition, basePosition);
    frame.WorldAngles = Sum(frame.LocalAngles, baseAngles);

    Device->MultiplyTransform(D3DTRANSFORMSTATE_WORLD, local);
    Device->GetTransform(D3DTRANSFORMSTATE_WORLD, frame.WorldMatrix);
    frame.Flags |= FrameMatrixValid;
}

}  // namespace

void DrawSceneObject(const DrawItem& item, int32_t pass) {
    SceneObject& object = At(SceneObjects, item.ObjectIndex);
    const ModelData& model = At(Models, object.ModelIndex);
    ModelBuffers& buffers = At(VertexBuffers, model.BufferIndex);
    if (!buffers.SourceBuffer || !buffers.TransformedBuffer) {
        throw RuntimeError(rt::SubscriptOutOfRange, "scene object " +
                                                        std::to_string(item.ObjectIndex) +
                                                        ": its model has no vertex buffers");
    }
    if (model.IndexCount < 0 || static_cast<size_t>(model.IndexCount) > model.Indices.size()) {
        throw RuntimeError(rt::SubscriptOutOfRange);
    }
    // The editor changes the first model's vertices in place: copy them again once changed.
    if (object.ModelIndex == 0 && buffers.EditSerial != EditedModelSerial) {
        RefreshModelBuffers(model.BufferIndex, model.Vertices, model.VertexCount);
        buffers.EditSerial = EditedModelSerial;
    }

    // The wireframe pass reuses the matrices of pass 0 but lights the vertices afresh.
    if (pass >= 1) {
        const int16_t joints = object.JointCount;
        for (int16_t f = 0; f < joints; ++f) At(object.Joints, f).Flags = FrameMatrixValid;
    }

    const D3DMATRIX world = ObjectMatrix(object);
    Device->SetTransform(D3DTRANSFORMSTATE_WORLD, world);

    // Several objects may share the model and so its transformed buffer: each processes its
    // own groups right here, just before its own draw.
    for (int32_t j = 0; j < model.GroupListCount; ++j) {
        const int16_t e = At(model.GroupList, j);
        if (e < 0) {
            Device->SetTransform(D3DTRANSFORMSTATE_WORLD, world);
            continue;
        }
        JointState& frame = At(object.Joints, e);
        if ((frame.Flags & FrameMatrixValid) != 0) {
            Device->SetTransform(D3DTRANSFORMSTATE_WORLD, frame.WorldMatrix);
        } else {
            ComposeFrame(object, model, j, e);
        }
        if ((frame.Flags & FrameVerticesProcessed) != 0) continue;
        const ModelGroup& group = At(model.Groups, e);
        buffers.TransformedBuffer->ProcessVertices(kProcessOperation, group.FirstVertex,
                                                   group.GroupVertexCount, *buffers.SourceBuffer,
                                                   group.FirstVertex, *Device, 0);
        frame.Flags |= FrameVerticesProcessed;
    }

    if (pass == 0) {
        SetColorKeyEnable(item.ColorKeyEnable);
        SetAlphaBlendEnable(item.AlphaBlendEnable);
        SetBlendFactors(item.SrcBlend, item.DestBlend);
        SetStageTexture(item.TextureIndex);
    }

    // Indices are stored signed; a negative one reads as a large vertex number, which the
    // device refuses.
    const auto* indices = reinterpret_cast<const uint16_t*>(model.Indices.data());
    Direct3DVertexBuffer7& transformed = *buffers.TransformedBuffer;
    Device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, transformed, 0, model.VertexCount, indices,
                                   model.IndexCount, 0);
    Device->DrawPrimitiveVB(D3DPT_POINTLIST, transformed, 0, model.VertexCount, 0);
}
