#include "resources/SceneObjects.h"

#include <algorithm>

#include "core/Random.h"
#include "core/Tables.h"
#include "resources/Models.h"
#include "resources/Surfaces.h"

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
    const int16_t jointCount = Models[static_cast<size_t>(modelIndex)].GroupCount;

    // The texture is made before a slot is taken, so a failure leaves the table as it was.
    // It comes from a plain file, never the archive: object textures are the user's pictures.
    const bool textured = !texturePath.empty() && texturePath != "0";
    int32_t textureIndex = -1;
    if (textured) {
        std::vector<SurfaceFrame> frames{SurfaceFrame{0, 0, textureWidth, textureHeight, 0, 0}};
        textureIndex =
            LoadTexture(texturePath, frames, textureWidth, textureHeight, colorKey, objectName, -1);
    }

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
    o.JointCount = jointCount;
    o.Joints.resize(static_cast<size_t>(std::max<int16_t>(jointCount, 0)));
    o.ColorKey = -1;
    o.TextureIndex = -1;
    if (textured) {
        o.TexturePath = texturePath;
        o.TextureWidth = textureWidth;
        o.TextureHeight = textureHeight;
        o.ColorKey = colorKey;
        o.TextureIndex = textureIndex;
    }
    o.Active = 1;
}
