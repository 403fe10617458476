#include "resources/SceneObjects.h"

#include <algorithm>

#include "app/Random.h"
#include "app/Tables.h"
#include "resources/Models.h"

void ResetSceneObjectTables() {
    ResetTable(SceneObjects, LastSceneObjectIndex);
}

void CreateSceneObject(const std::string& modelName, const D3DMATERIAL7& material,
                       const D3DVECTOR& position, const D3DVECTOR& rotation, const D3DVECTOR& scale,
                       const std::string& objectName, const std::string& texturePath,
                       int32_t textureWidth, int32_t textureHeight, int32_t colorKey) {
    Randomize();
    const int32_t modelIndex = FindModel(modelName);
    if (modelIndex < 0) return;
    const ModelData& model = Models[static_cast<size_t>(modelIndex)];

    const int32_t slot = NextTableSlot(SceneObjects, LastSceneObjectIndex,
                                       [](const SceneObject& o) { return o.Active == 1; });
    SceneObject& o = SceneObjects[static_cast<size_t>(slot)];
    o = SceneObject{};
    o.Position = position;
    o.Rotation = rotation;
    o.Scale = scale;
    o.ModelIndex = modelIndex;
    o.ModelName = modelName;
    o.Material = material;
    o.ObjectName = objectName;
    o.JointCount = model.GroupCount;
    o.Joints.resize(static_cast<size_t>(std::max<int16_t>(model.GroupCount, 0)));
    o.ColorKey = -1;
    o.TextureIndex = -1;
    if (!texturePath.empty() && texturePath != "0") {
        o.TexturePath = texturePath;
        o.TextureWidth = textureWidth;
        o.TextureHeight = textureHeight;
        o.ColorKey = colorKey;
        // TODO(device): o.TextureIndex = LoadTexture(texturePath, {one frame (0, 0, width,
        // height)}, o.TextureWidth, o.TextureHeight, colorKey, objectName, -1) once textures
        // exist; until then the object keeps TextureIndex -1.
    }
    o.Active = 1;
}
