#include "tools/assetgen/PreviewRender.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tools/assetgen/SceneLayout.h"

Matrix operator*(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    }
    return r;
}

Matrix RotationX(float a) {
    Matrix r;
    r.m[1][1] = std::cos(a);
    r.m[1][2] = std::sin(a);
    r.m[2][1] = -std::sin(a);
    r.m[2][2] = std::cos(a);
    return r;
}

Matrix RotationY(float a) {
    Matrix r;
    r.m[0][0] = std::cos(a);
    r.m[0][2] = -std::sin(a);
    r.m[2][0] = std::sin(a);
    r.m[2][2] = std::cos(a);
    return r;
}

Matrix RotationZ(float a) {
    Matrix r;
    r.m[0][0] = std::cos(a);
    r.m[0][1] = std::sin(a);
    r.m[1][0] = -std::sin(a);
    r.m[1][1] = std::cos(a);
    return r;
}

Matrix Translation(D3DVECTOR t) {
    Matrix r;
    r.m[3][0] = t.x;
    r.m[3][1] = t.y;
    r.m[3][2] = t.z;
    return r;
}

Matrix Scaling(D3DVECTOR s) {
    Matrix r;
    r.m[0][0] = s.x;
    r.m[1][1] = s.y;
    r.m[2][2] = s.z;
    return r;
}

Matrix EulerMatrix(D3DVECTOR position, D3DVECTOR degrees) {
    const float k = kPi / 180.0f;
    return RotationX(degrees.x * k) * RotationY(degrees.y * k) * RotationZ(degrees.z * k) *
           Translation(position);
}

D3DVECTOR TransformPoint(D3DVECTOR p, const Matrix& m) {
    return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
            p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
            p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}

D3DVECTOR TransformDirection(D3DVECTOR d, const Matrix& m) {
    return {d.x * m.m[0][0] + d.y * m.m[1][0] + d.z * m.m[2][0],
            d.x * m.m[0][1] + d.y * m.m[1][1] + d.z * m.m[2][1],
            d.x * m.m[0][2] + d.y * m.m[1][2] + d.z * m.m[2][2]};
}

namespace {
constexpr float kNear = 0.05f;
}  // namespace

PreviewCanvas::PreviewCanvas(int width, int height, const PreviewCamera& camera, Rgb background)
    : image_(width, height),
      distance_(static_cast<size_t>(width) * height, std::numeric_limits<float>::infinity()),
      camera_(camera),
      fog_(FogColour()) {
    const float k = kPi / 180.0f;
    // The camera looks along (cos yaw, tan pitch, sin yaw), up is +y, left-handed.
    forward_ = Normalized({std::cos(camera.yawDegrees * k), std::tan(camera.pitchDegrees * k),
                           std::sin(camera.yawDegrees * k)});
    right_ = Normalized(Cross({0, 1, 0}, forward_));
    up_ = Cross(forward_, right_);
    for (Rgb& p : image_.pixels) p = background;
}

D3DVECTOR PreviewCanvas::ToCamera(D3DVECTOR world) const {
    const D3DVECTOR d = world - camera_.position;
    return {Dot(d, right_), Dot(d, up_), Dot(d, forward_)};
}

bool PreviewCanvas::Project(D3DVECTOR world, float& x, float& y, float& depth) const {
    const D3DVECTOR c = ToCamera(world);
    if (c.z < kNear) return false;
    x = (1 + kProjectionScaleX * c.x / c.z) * 0.5f * image_.width;
    y = (1 - kProjectionScaleY * c.y / c.z) * 0.5f * image_.height;
    depth = c.z;
    return true;
}

D3DVECTOR PreviewCanvas::RayDirection(float x, float y) const {
    const float sx = (x / image_.width * 2 - 1) / kProjectionScaleX;
    const float sy = (1 - y / image_.height * 2) / kProjectionScaleY;
    return Normalized(right_ * sx + up_ * sy + forward_);
}

void PreviewCanvas::Triangle(const RenderVertex& a, const RenderVertex& b, const RenderVertex& c,
                             const Raster* texture) {
    // Clip against the near plane in camera space; a triangle becomes at most a quad.
    const RenderVertex in[3] = {a, b, c};
    D3DVECTOR cam[3];
    for (int i = 0; i < 3; ++i) cam[i] = ToCamera(in[i].world);
    std::vector<std::pair<D3DVECTOR, RenderVertex>> poly;
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        const bool inI = cam[i].z >= kNear, inJ = cam[j].z >= kNear;
        if (inI) poly.push_back({cam[i], in[i]});
        if (inI != inJ) {
            const float t = (kNear - cam[i].z) / (cam[j].z - cam[i].z);
            RenderVertex v;
            v.world = in[i].world + (in[j].world - in[i].world) * t;
            v.colour = Mix(in[i].colour, in[j].colour, t);
            v.u = Lerp(in[i].u, in[j].u, t);
            v.v = Lerp(in[i].v, in[j].v, t);
            poly.push_back({cam[i] + (cam[j] - cam[i]) * t, v});
        }
    }
    for (size_t k = 1; k + 1 < poly.size(); ++k) {
        const D3DVECTOR tc[3] = {poly[0].first, poly[k].first, poly[k + 1].first};
        const RenderVertex tv[3] = {poly[0].second, poly[k].second, poly[k + 1].second};
        Rasterise(tc, tv, texture);
    }
}

void PreviewCanvas::Rasterise(const D3DVECTOR (&cam)[3], const RenderVertex (&v)[3],
                              const Raster* texture) {
    float sx[3], sy[3];
    for (int i = 0; i < 3; ++i) {
        sx[i] = (1 + kProjectionScaleX * cam[i].x / cam[i].z) * 0.5f * image_.width;
        sy[i] = (1 - kProjectionScaleY * cam[i].y / cam[i].z) * 0.5f * image_.height;
    }
    const float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
    if (area <= 0) return;  // counter-clockwise on screen: culled, as by the device
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min({sx[0], sx[1], sx[2]}))));
    const int x1 =
        std::min(image_.width - 1, static_cast<int>(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min({sy[0], sy[1], sy[2]}))));
    const int y1 =
        std::min(image_.height - 1, static_cast<int>(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            float w[3];
            for (int i = 0; i < 3; ++i) {
                const int j = (i + 1) % 3, k = (i + 2) % 3;
                w[i] = ((sx[k] - sx[j]) * (py - sy[j]) - (sy[k] - sy[j]) * (px - sx[j])) / area;
            }
            if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
            // Perspective-correct weights.
            float q[3], sum = 0;
            for (int i = 0; i < 3; ++i) sum += q[i] = w[i] / cam[i].z;
            for (float& qi : q) qi /= sum;
            const D3DVECTOR p = cam[0] * q[0] + cam[1] * q[1] + cam[2] * q[2];
            const float distance = Length(p);
            float& stored = distance_[y * image_.width + x];
            if (distance >= stored) continue;
            stored = distance;
            Rgb colour = v[0].colour * q[0] + v[1].colour * q[1] + v[2].colour * q[2];
            if (texture != nullptr) {
                const float u = v[0].u * q[0] + v[1].u * q[1] + v[2].u * q[2];
                const float t = v[0].v * q[0] + v[1].v * q[1] + v[2].v * q[2];
                colour = colour * texture->SampleWrapped(u * texture->width, t * texture->height);
            }
            image_.At(x, y) = Mix(colour, fog_, FogAmount(distance));
        }
    }
}
