#include "platform/dx/DirectX7.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/host/HeadlessHost.h"

namespace {

D3DVECTOR Apply(const D3DVECTOR& p, const D3DMATRIX& m) {
    return {p.x * m.rc11 + p.y * m.rc21 + p.z * m.rc31 + m.rc41,
            p.x * m.rc12 + p.y * m.rc22 + p.z * m.rc32 + m.rc42,
            p.x * m.rc13 + p.y * m.rc23 + p.z * m.rc33 + m.rc43};
}

void ExpectNear(const D3DVECTOR& a, const D3DVECTOR& b) {
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
}

class DirectX7Test : public ::testing::Test {
  protected:
    HeadlessHost host{HeadlessOptions{}};
    DirectX7 dx{host};
};

TEST_F(DirectX7Test, RotationsTurnLeftHanded) {
    D3DMATRIX m;
    const float quarter = 1.5707963f;
    dx.RotateYMatrix(m, quarter);  // +z turns to +x when yawing right
    ExpectNear(Apply({0, 0, 1}, m), {1, 0, 0});
    dx.RotateXMatrix(m, quarter);  // +y pitches to +z
    ExpectNear(Apply({0, 1, 0}, m), {0, 0, 1});
    dx.RotateZMatrix(m, quarter);  // +x rolls to +y
    ExpectNear(Apply({1, 0, 0}, m), {0, 1, 0});
}

TEST_F(DirectX7Test, ProductAppliesLeftFactorFirst) {
    D3DMATRIX rot, move, both;
    dx.RotateYMatrix(rot, 1.5707963f);
    dx.IdentityMatrix(move);
    move.rc41 = 10;
    dx.MatrixMultiply(both, rot, move);
    ExpectNear(Apply({0, 0, 1}, both), {11, 0, 0});
    dx.MatrixMultiply(both, both, both);  // result may alias its inputs
    EXPECT_TRUE(std::isfinite(both.rc11));
}

TEST_F(DirectX7Test, ViewMatrixPutsTargetOnPositiveZ) {
    D3DMATRIX view;
    dx.ViewMatrix(view, {0, 4, 0}, {10, 4, 0}, {0, 1, 0}, 0);
    ExpectNear(Apply({10, 4, 0}, view), {0, 0, 10});
    ExpectNear(Apply({0, 5, 0}, view), {0, 1, 0});
    // Looking straight up with an up vector along the view still gives a finite matrix.
    dx.ViewMatrix(view, {0, 0, 0}, {0, 1, 0}, {0, 1, 0}, 0);
    EXPECT_TRUE(std::isfinite(view.rc11) && std::isfinite(view.rc33));
}

TEST_F(DirectX7Test, PackedColourRoundTrips) {
    const int32_t c = dx.CreateColorRGBA(95 / 255.f, 131 / 255.f, 204 / 255.f, 1.0f);
    EXPECT_EQ(static_cast<uint32_t>(c), 0xFF5F83CCu);
    EXPECT_FLOAT_EQ(dx.ColorGetRed(c), 95 / 255.f);
    EXPECT_FLOAT_EQ(dx.ColorGetGreen(c), 131 / 255.f);
    EXPECT_FLOAT_EQ(dx.ColorGetBlue(c), 204 / 255.f);
    EXPECT_FLOAT_EQ(dx.ColorGetAlpha(c), 1.0f);
    EXPECT_EQ(dx.CreateColorRGBA(2.0f, -1.0f, 0, 0), 0x00FF0000);  // components clamp
}

TEST_F(DirectX7Test, NormaliseLeavesZeroVectorAlone) {
    D3DVECTOR v{0.5f, 0.25f, -0.75f};
    dx.VectorNormalize(v);
    EXPECT_NEAR(v.x * v.x + v.y * v.y + v.z * v.z, 1.0f, 1e-6f);
    D3DVECTOR zero{};
    dx.VectorNormalize(zero);
    EXPECT_EQ(zero.x, 0.0f);
}

}  // namespace
