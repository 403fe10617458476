// A small software renderer for the review images: perspective views of the generated content
// with the program's projection, culling rule and fog, so the content can be judged before the
// program's own renderer draws it. Not used for the archive itself.
#pragma once

#include <vector>

#include "platform/dx/DxTypes.h"
#include "tools/assetgen/MeshMath.h"
#include "tools/assetgen/Raster.h"

// Row-vector 4 x 4 matrices, multiplied and built as the program's math helpers build them.
struct Matrix {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};
Matrix operator*(const Matrix& a, const Matrix& b);
Matrix RotationX(float radians);
Matrix RotationY(float radians);
Matrix RotationZ(float radians);
Matrix Translation(D3DVECTOR t);
Matrix Scaling(D3DVECTOR s);
// Rx * Ry * Rz * T: a jointed group's local matrix (angles in degrees).
Matrix EulerMatrix(D3DVECTOR position, D3DVECTOR degrees);
D3DVECTOR TransformPoint(D3DVECTOR p, const Matrix& m);
D3DVECTOR TransformDirection(D3DVECTOR d, const Matrix& m);

struct RenderVertex {
    D3DVECTOR world;
    Rgb colour;
    float u = 0, v = 0;
};

struct PreviewCamera {
    D3DVECTOR position;
    float yawDegrees = 0;
    float pitchDegrees = 0;
};

class PreviewCanvas {
  public:
    PreviewCanvas(int width, int height, const PreviewCamera& camera, Rgb background);

    // Draws a triangle the way the device does: only when clockwise on screen, depth-tested,
    // colour times the texture (wrapping, u and v in 0..1 per repeat), fogged by range.
    void Triangle(const RenderVertex& a, const RenderVertex& b, const RenderVertex& c,
                  const Raster* texture);
    // Screen position (pixels) and camera-space depth of a world point.
    bool Project(D3DVECTOR world, float& x, float& y, float& depth) const;
    // The world direction through a pixel centre.
    D3DVECTOR RayDirection(float x, float y) const;

    int Width() const { return image_.width; }
    int Height() const { return image_.height; }
    Raster& Image() { return image_; }
    // Distance along the ray to the nearest opaque surface; infinity where nothing was drawn.
    float Distance(int x, int y) const { return distance_[y * image_.width + x]; }
    const PreviewCamera& Camera() const { return camera_; }

  private:
    Raster image_;
    std::vector<float> distance_;
    PreviewCamera camera_;
    D3DVECTOR right_, up_, forward_;
    Rgb fog_;

    D3DVECTOR ToCamera(D3DVECTOR world) const;
    void Rasterise(const D3DVECTOR (&cam)[3], const RenderVertex (&v)[3], const Raster* texture);
};

// The scene's fog: range fog from 28 to 32 units towards this colour.
constexpr float kFogStart = 28.0f;
constexpr float kFogEnd = 32.0f;
inline Rgb FogColour() {
    return Rgb{95 / 255.0f, 131 / 255.0f, 204 / 255.0f};
}
inline float FogAmount(float distance) {
    return Clamp01((distance - kFogStart) / (kFogEnd - kFogStart));
}
