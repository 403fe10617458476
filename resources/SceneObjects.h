// Scene objects: placed instances of a model, each with one joint state per model group that the
// palm animation and the geometry editor write and the scene-object drawing reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dx/DxTypes.h"

// One joint's per-frame state (the drawing calls it a frame record).
struct JointState {
    D3DVECTOR LocalPosition;
    D3DVECTOR LocalAngles;  // degrees
    D3DVECTOR WorldPosition;
    D3DVECTOR WorldAngles;  // degrees
    D3DMATRIX WorldMatrix;
    uint8_t Flags = 0;  // bit 1: world matrix valid this frame; bit 2: vertices processed
};

struct SceneObject {
    D3DVECTOR Position;
    D3DVECTOR Rotation;  // degrees about x, y and z
    D3DVECTOR Scale;
    int32_t ModelIndex = 0;
    std::string ModelName;
    std::string TexturePath;
    int32_t TextureWidth = 0;
    int32_t TextureHeight = 0;
    int32_t ColorKey = 0;
    int32_t TextureIndex = 0;
    D3DMATERIAL7 Material;
    uint8_t StyleFlag = 0;  // 1: the object colours its own vertices
    int16_t JointCount = 0;
    int32_t Spare = 0;
    std::vector<JointState> Joints;
    std::string ObjectName;
    uint8_t Active = 0;
};

inline std::vector<SceneObject> SceneObjects{SceneObject{}};
inline int32_t LastSceneObjectIndex = 0;

void ResetSceneObjectTables();

// Places an instance of the lowest loaded model named modelName in the next slot of
// SceneObjects; does nothing when no model bears that name. A texture path other than "" or "0"
// loads that image file as the object's texture (an empty one when the file is missing).
void CreateSceneObject(const std::string& modelName, const D3DMATERIAL7& material,
                       const D3DVECTOR& position, const D3DVECTOR& rotation, const D3DVECTOR& scale,
                       const std::string& objectName, const std::string& texturePath,
                       int32_t textureWidth, int32_t textureHeight, int32_t colorKey);
