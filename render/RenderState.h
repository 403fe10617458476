// Cached setters for the device states that change from item to item: each compares with the
// value it last sent and calls the device only when the value differs.
#pragma once

#include <cstdint>

struct RenderStateCache {
    int32_t SrcBlend = 0;
    int32_t DestBlend = 0;
    int32_t AlphaBlendEnable = 0;
    int32_t ColorKeyEnable = 0;
    int32_t StageTexture = 0;
    int32_t VertexColorMode = 0;
    int32_t FogColor = 0;
    int32_t TextureFilter = 0;
};

// Lives for the whole run; a setter called with 0 before any other value sends nothing.
inline RenderStateCache StateCache;

void SetBlendFactors(uint8_t source, uint8_t destination);
void SetColorKeyEnable(int16_t enable);
void SetAlphaBlendEnable(int16_t enable);
void SetTextureFilter(int32_t filter);
void SetStageTexture(int32_t textureIndex);
void SetVertexColorMode(int16_t enable);
// Also ties depth writes to the colour: 0 (used for blended items) turns them off.
void SetFogColorAndDepthWrite(int32_t color);

// Turns the device's fog on with this colour (also the clear colour) and range.
void SetFog(int32_t colour, int32_t mode, int16_t rangeFlag, float start, float end, float density);
