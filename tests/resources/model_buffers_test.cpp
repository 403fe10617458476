#include <gtest/gtest.h>

#include <vector>

#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/DxError.h"
#include "resources/ModelBuffers.h"
#include "tests/support/DeviceFixture.h"

namespace {

class ModelBuffersTest : public DeviceFixture {
  protected:
    static std::vector<ModelVertex> Vertices(int count) {
        std::vector<ModelVertex> v(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            v[static_cast<size_t>(i)] = {float(i), 2.0f * i, -1, 0, 1, 0, 0xFF000000u + i, 0.5f, 1};
        }
        return v;
    }
    // What the source buffer of a slot holds, count vertices from the start.
    static std::vector<ModelVertex> Held(int32_t slot, int count) {
        Direct3DVertexBuffer7& b = *VertexBuffers.at(static_cast<size_t>(slot)).SourceBuffer;
        std::vector<ModelVertex> out(static_cast<size_t>(count));
        b.Lock(DDLOCK_WAIT | DDLOCK_READONLY);
        b.GetVertices(0, count, out.data());
        b.Unlock();
        return out;
    }
    static void ExpectSame(const std::vector<ModelVertex>& a, const std::vector<ModelVertex>& b) {
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].X, b[i].X) << i;
            EXPECT_EQ(a[i].Y, b[i].Y) << i;
            EXPECT_EQ(a[i].Color, b[i].Color) << i;
            EXPECT_EQ(a[i].TV, b[i].TV) << i;
        }
    }
};

TEST_F(ModelBuffersTest, SlotsFillFromZeroAndHoldTheModelsVertices) {
    const std::vector<ModelVertex> first = Vertices(3), second = Vertices(512);
    EXPECT_EQ(CreateModelBuffers(first, 3), 0);
    EXPECT_EQ(CreateModelBuffers(second, 512), 1);
    EXPECT_EQ(LastBufferIndex, 1);
    for (const ModelBuffers& b : VertexBuffers) {
        EXPECT_EQ(b.Ready, 1);
        D3DVERTEXBUFFERDESC source, transformed;
        b.SourceBuffer->GetVertexBufferDesc(source);
        b.TransformedBuffer->GetVertexBufferDesc(transformed);
        EXPECT_EQ(source.lFVF, 0x152);
        EXPECT_EQ(transformed.lFVF, 0x2C4);
        EXPECT_EQ(source.lNumVertices, 512);
        EXPECT_EQ(transformed.lNumVertices, 512);
        EXPECT_EQ(source.lCaps, D3DVBCAPS_WRITEONLY);
    }
    ExpectSame(Held(0, 3), first);
    ExpectSame(Held(1, 512), second);
}

TEST_F(ModelBuffersTest, RefreshCopiesChangedVerticesAgain) {
    std::vector<ModelVertex> v = Vertices(4);
    const int32_t slot = CreateModelBuffers(v, 4);
    v[2].X = 99;
    v.push_back(v[0]);  // an inserted vertex
    RefreshModelBuffers(slot, v, 5);
    ExpectSame(Held(slot, 5), v);
}

TEST_F(ModelBuffersTest, MoreVerticesThanTheBuffersHoldIsAnErrorAndTakesNoSlot) {
    const std::vector<ModelVertex> v = Vertices(513);
    EXPECT_THROW(CreateModelBuffers(v, 513), DxError);
    EXPECT_THROW(CreateModelBuffers(v, 600), RuntimeError);  // more than the list holds
    EXPECT_EQ(LastBufferIndex, 0);
    EXPECT_EQ(VertexBuffers.size(), 1u);
    EXPECT_EQ(VertexBuffers[0].Ready, 0);
}

}  // namespace
