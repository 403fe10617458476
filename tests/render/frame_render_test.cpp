#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "animation/Animations.h"
#include "app/MainLoop.h"
#include "display/Display.h"
#include "platform/dx/D3DConstants.h"
#include "render/DrawList.h"
#include "render/FrameRender.h"
#include "render/PointerHistory.h"
#include "render/RenderGlobals.h"
#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "resources/Surfaces.h"
#include "tests/support/FrameFixture.h"

namespace {

constexpr int32_t kRed = static_cast<int32_t>(0xFFFF0000u);

// Frames of the real content, seen from (0, 10, 0) along +z unless a test turns.
class FrameRenderTest : public FrameFixture {
  protected:
    void SetUp() override {
        FrameFixture::SetUp();
        WireframePasses = 0;
        LookAlongZ();
        quads = AddQuadSet();
    }
    void TearDown() override {
        WireframePasses = 0;
        FrameFixture::TearDown();
    }

    // Set "QUADS": a unit square facing the viewer (part 0, lit by its material), the same
    // square with its own colours (part 1), and a strip (part 2) whose copy the list lacks.
    static int32_t AddQuadSet() {
        std::vector<D3DVERTEX> v;
        for (uint32_t colour : {0xFFFFFFFFu, 0xFF80C040u}) {
            v.push_back({-0.5f, 0.5f, 0, 0, 0, -1, colour, 0, 0});
            v.push_back({0.5f, 0.5f, 0, 0, 0, -1, colour, 1, 0});
            v.push_back({0.5f, -0.5f, 0, 0, 0, -1, colour, 1, 1});
            v.push_back({-0.5f, -0.5f, 0, 0, 0, -1, colour, 0, 1});
        }
        v.resize(12);
        const int32_t set = AddGeometrySet(v, 12, "QUADS");
        const std::vector<int16_t> indices = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
        const std::array<D3DCOLORVALUE, 2> white = {D3DCOLORVALUE{1, 1, 1, 1},
                                                    D3DCOLORVALUE{1, 1, 1, 1}};
        AddGeometryPart(set, 0, 4, indices, 6, white, ItemTriangleList, "SQUARE", 0, 0, false);
        AddGeometryPart(set, 4, 4, indices, 6, white, ItemTriangleList, "OWN", 1, 6, false);
        AddGeometryPart(set, 8, 4, {}, 0, white, ItemTriangleStrip, "STRIP", 0, 0, false);
        return set;
    }
    // An opaque red square of side `size`, x across, y up from the eye and z ahead.
    MeshItemParams Square(float x, float y, float z, float size = 1) const {
        return {.x = x,
                .y = 10 + y,
                .z = z,
                .setIndex = quads,
                .sx = size,
                .sy = size,
                .sz = size,
                .colour = kRed};
    }
    static D3DMATRIX World() {
        D3DMATRIX m;
        Device->GetTransform(D3DTRANSFORMSTATE_WORLD, m);
        return m;
    }
    static void ExpectTranslation(const D3DMATRIX& m, float x, float y, float z) {
        EXPECT_NEAR(m.rc41, x, 1e-4);
        EXPECT_NEAR(m.rc42, y, 1e-4);
        EXPECT_NEAR(m.rc43, z, 1e-4);
    }
    // Renders, expecting a run-time error 9 whose description holds fragment.
    static void ExpectBoundsError(const std::string& fragment = "") {
        ExpectRuntimeError([] { RenderFrame(); }, rt::SubscriptOutOfRange, {fragment});
        Device->EndScene();
        ResetDrawList();
    }

    int32_t quads = 0;
};

TEST_F(FrameRenderTest, EmptyListStillClearsMovesTheCameraAndEndsTheScene) {
    BackBuffer->BltColorFill(nullptr, 0x1234);
    host->SetKey('A', true);
    PointerPosition = D3DVECTOR{7, 8, 9};
    CursorPos = POINTAPI{160, 120};
    RenderFrame();
    EXPECT_EQ(DrawnCount(), 0);
    EXPECT_EQ(Depth().front(), 0xFFFF);
    EXPECT_GT(CameraState.CameraPosition.z, 0);  // flew forward along +z
    EXPECT_EQ(PreviousPointerPosition.x, 7);
    EXPECT_NEAR(PointerPosition.x, 0, 0.01);
    EXPECT_FALSE(Device->InScene());

    AddMeshItem(Square(0, 0, 5));
    AddMeshItem({.setIndex = quads, .alphaBlend = -1, .colour = kRed});
    RenderFrame();
    EXPECT_EQ(DrawItemCount, 0);
    EXPECT_EQ(DrawList.size(), 1u);
    EXPECT_EQ(DrawListHead + OpaqueTail + BlendedTail, 0);
}

// The first frame's kind of scene: land, water tiles around the camera, and a palm.
TEST_F(FrameRenderTest, SmallSceneShowsSkyThePalmAndWaterThatWritesNoDepth) {
    CameraState = DefaultCameraState;
    LoadModel("", "PALM", 0);
    D3DMATERIAL7 bark;
    bark.ambient = bark.diffuse = D3DCOLORVALUE{0.5f, 0.3f, 0.2f, 1};
    // Eight units ahead along the camera's yaw of 55 degrees.
    CreateSceneObject("PALM", bark, {4.6f, 1, 6.5f}, {0, 40, 0}, {1, 1.4f, 1}, "Char1", "0", 0, 0,
                      -1);
    // The world update lays the tile flat from its copy every frame; so does this test.
    GeometrySet& tile = GeometrySets.at(static_cast<size_t>(BackgroundSets[0]));
    std::copy_n(tile.Vertices.begin() + tile.VertexCount, tile.VertexCount, tile.Vertices.begin());
    auto queue = [](bool water, bool palm) {
        for (int z = -27; water && z <= 27; z += 27) {
            for (int x = -36; x <= 36; x += 36) {
                AddMeshItem({.x = float(x),
                             .z = float(z),
                             .setIndex = BackgroundSets[0],
                             .textureIndex = EffectTextures[3],
                             .srcBlend = 2,
                             .destBlend = 2,
                             .alphaBlend = -1,
                             .sx = 3,
                             .sy = 3,
                             .sz = 3});
            }
        }
        AddMeshItem({.y = -3,
                     .setIndex = 4,
                     .textureIndex = LastTextureIndex,
                     .srcBlend = 2,
                     .destBlend = 2,
                     .sx = 40,
                     .sy = 30,
                     .sz = 40});
        if (palm) AddObjectItem(0, 0, -1, 2, 2);
        RenderFrame();
    };
    auto trunkPixels = [&] {
        int n = 0;
        for (int x = 140; x < 180; ++x) n += Drawn(x, 70);
        return n;
    };
    queue(true, true);  // the water first, yet drawn after the land and the palm
    Save("small-scene");
    const std::vector<uint16_t> scene = Frame(), depth = Depth();
    for (int x = 0; x < RenderWidth; x += 40) EXPECT_EQ(Pixel(x, 2), BackgroundPixel());
    EXPECT_GT(trunkPixels(), 2);

    queue(true, false);
    EXPECT_EQ(trunkPixels(), 0);

    queue(false, true);
    EXPECT_EQ(Depth(), depth);
    EXPECT_NE(Frame()[230 * 320 + 160], scene[230 * 320 + 160]);
}

TEST_F(FrameRenderTest, WireframePassOutlinesItemsWhereTheTexturedPassDrewThem) {
    // Camera-relative: moved by the camera once, in pass 0 only.
    MeshItemParams square = Square(0, -10, 5, 2);
    square.flags = FlagCameraRelative;
    AddMeshItem(square);
    RenderFrame();
    const std::vector<uint16_t> solid = Frame();
    ASSERT_TRUE(Drawn(160, 120));

    WireframePasses = 1;
    AddMeshItem(square);
    RenderFrame();
    int changed = 0;
    EXPECT_EQ(ChangedAwayFromDrawing(solid, Frame(), changed), 0);
    EXPECT_GT(changed, 300);  // the outline and the diagonal
    ExpectTranslation(World(), 0, 10, 5);
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_FILLMODE), D3DFILL_SOLID);
}

TEST_F(FrameRenderTest, FlagStatesHoldForTheirItemOnly) {
    // Screen space: drawn ahead of the eye whatever the camera looks at.
    CameraState.Yaw = 10;
    AddMeshItem({.z = 4, .setIndex = quads, .flags = FlagScreenSpace, .colour = kRed});
    RenderFrame();
    EXPECT_TRUE(Drawn(160, 120));
    D3DMATRIX view;
    Device->GetTransform(D3DTRANSFORMSTATE_VIEW, view);
    EXPECT_EQ(view.rc41, ViewMatrix.rc41);
    LookAlongZ();

    // Always visible: green shows through red; a later green behind red does not.
    AddMeshItem(Square(0, 0, 4, 2));
    MeshItemParams green = Square(0, 0, 8);
    green.colour = static_cast<int32_t>(0xFF00FF00u);
    green.flags = FlagAlwaysVisible;
    AddMeshItem(green);
    green.flags = 0;
    green.x = 0.6f;
    AddMeshItem(green);
    RenderFrame();
    EXPECT_GT((Pixel(160, 120) >> 5) & 0x3F, 0x10);
    EXPECT_EQ((Pixel(ScreenX(0.6f, 8), 120) >> 5) & 0x3F, 0);
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_ZFUNC), D3DCMP_LESSEQUAL);

    // Far depth: 200 units away, beyond the fog and the far plane, yet drawn.
    MeshItemParams far = Square(0, 0, 200, 80);
    far.flags = FlagFarDepth;
    AddMeshItem(far);
    RenderFrame();
    EXPECT_TRUE(Drawn(160, 120));
    D3DMATRIX projection;
    Device->GetTransform(D3DTRANSFORMSTATE_PROJECTION, projection);
    EXPECT_FLOAT_EQ(projection.rc33, 1.02f);
    EXPECT_NE(Device->GetRenderState(D3DRENDERSTATE_FOGENABLE), 0);
    far.flags = 0;
    AddMeshItem(far);
    RenderFrame();
    EXPECT_FALSE(Drawn(160, 120));
}

TEST_F(FrameRenderTest, BillboardsFaceTheViewerAtEveryYawAndPitch) {
    for (float pitch : {0.0f, 30.0f, -35.0f}) {
        for (float yaw : {0.0f, 45.0f, 90.0f, 135.0f, 200.0f, 300.0f}) {
            CameraState.Yaw = yaw;
            CameraState.Pitch = pitch;
            const double y = yaw * DegToRad, p = pitch * DegToRad, d = 5 * std::cos(p);
            AddMeshItem({.x = static_cast<float>(d * std::cos(y)),
                         .y = static_cast<float>(10 + 5 * std::sin(p)),
                         .z = static_cast<float>(d * std::sin(y)),
                         .setIndex = quads,
                         .flags = FlagBillboard,
                         .sx = 1.2f,
                         .sy = 1.2f,
                         .sz = 1.2f,
                         .colour = kRed});
            RenderFrame();
            Save("billboard-yaw" + std::to_string(int(yaw)) + "-pitch" +
                 std::to_string(int(pitch)));
            // Square on, 5 units away: 58 pixels each way through the middle.
            int across = 0, down = 0;
            for (int x = 0; x < RenderWidth; ++x) across += Drawn(x, 120);
            for (int row = 0; row < RenderHeight; ++row) down += Drawn(160, row);
            EXPECT_NEAR(across, 58, 3) << "yaw " << yaw << " pitch " << pitch;
            EXPECT_NEAR(down, 58, 3) << "yaw " << yaw << " pitch " << pitch;
        }
    }
}

TEST_F(FrameRenderTest, DistantPiecesOfTheBackgroundSetAreNotDrawn) {
    SetFog(BackgroundColor, D3DFOG_LINEAR, -1, 500, 600, 0);  // to see what is out there
    GeometrySet& tile = GeometrySets.at(static_cast<size_t>(BackgroundSets[0]));
    std::copy_n(tile.Vertices.begin() + tile.VertexCount, tile.VertexCount, tile.Vertices.begin());
    // 96 units deep: the near half lies inside the far plane at 50 units.
    MeshItemParams far{.y = 5, .z = 55, .setIndex = BackgroundSets[0], .sx = 8, .sy = 8, .sz = 8};
    AddMeshItem(far);
    RenderFrame();
    EXPECT_TRUE(Drawn(160, 160));
    EXPECT_NEAR(BackgroundItemDistance, std::hypot(5.0, 55.0), 1e-3);
    far.z = 60;
    AddMeshItem(far);
    RenderFrame();
    EXPECT_EQ(DrawnCount(), 0);
    far.flags = FlagFarDepth;
    AddMeshItem(far);
    RenderFrame();
    EXPECT_TRUE(Drawn(160, 160));

    // A strip of the set is measured from the set's first vertex.
    std::vector<D3DVERTEX> v(12);
    v[0].x = 100;
    const int32_t strips = AddGeometrySet(v, 12, "BG");
    AddGeometryPart(strips, 0, 4, {}, 0, {}, ItemTriangleStrip, "STRIP", 0, 0, false);
    AddMeshItem({.y = 10, .z = 5, .setIndex = strips});
    RenderFrame();
    EXPECT_NEAR(BackgroundItemDistance, std::hypot(100.0, 10.0), 1e-3);
}

TEST_F(FrameRenderTest, FadesRecolourVertexColouredPartsFromTheirBaseColours) {
    const GeometrySet& set = GeometrySets.at(static_cast<size_t>(quads));
    MeshItemParams own{.y = 10, .z = 5, .setIndex = quads, .partIndex = 1, .alpha = 50};
    for (int frame = 0; frame < 2; ++frame) {  // each fade starts from the base again
        AddMeshItem(own);
        RenderFrame();
        for (int i = 4; i < 8; ++i) EXPECT_EQ(set.Vertices[i].color, 0x7F406020u);
    }
    EXPECT_EQ(set.Vertices[0].color, 0xFFFFFFFFu);  // other parts keep theirs
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_COLORVERTEX), -1);

    // Fades past either end saturate each byte instead of wrapping it.
    for (const auto& [alpha, expected] : {std::pair{200.0f, 0xFFFFFF80u}, {-50.0f, 0u}}) {
        own.alpha = alpha;
        AddMeshItem(own);
        RenderFrame();
        for (int i = 4; i < 8; ++i) EXPECT_EQ(set.Vertices[i].color, expected) << alpha;
    }
}

TEST_F(FrameRenderTest, GlowingItemsAddTheirFadeAsLightAndTheLightsComeBack) {
    // A black square glowing at half strength over black: mid grey from the second draw.
    MeshItemParams glow = Square(0, 0, 5);
    glow.colour = static_cast<int32_t>(0xFF000000u);
    glow.srcBlend = D3DBLEND_SRCALPHA;
    glow.destBlend = D3DBLEND_ONE;
    glow.alphaBlend = -1;
    glow.alpha = 50;
    AddMeshItem(glow);
    MeshItemParams black = Square(0, 0, 6, 2);
    black.colour = glow.colour;
    AddMeshItem(black);
    RenderFrame();
    EXPECT_NEAR(Pixel(160, 120) >> 11, 16, 2);
    EXPECT_NEAR((Pixel(160, 120) >> 5) & 0x3F, 32, 3);
    EXPECT_TRUE(Device->GetLightEnable(0) && Device->GetLightEnable(1));

    // Points, strips and text have no second draw; the lights still come back on.
    glow.kind = ItemPointList;
    AddMeshItem(glow);
    RenderFrame();
    EXPECT_TRUE(Device->GetLightEnable(0) && Device->GetLightEnable(1));
    AddTextItem("Hi", 0, 10, 5, -1, 0, 0, 0, 1, D3DBLEND_SRCALPHA, D3DBLEND_ONE, 50, -1, -1, 0, -1,
                0);
    RenderFrame();
    EXPECT_TRUE(Device->GetLightEnable(0) && Device->GetLightEnable(1));
}

TEST_F(FrameRenderTest, ItemsCarriedByAFrameStartFromItsWorldMatrix) {
    LoadModel("", "CHAR", -1);
    CreateSceneObject("CHAR", D3DMATERIAL7{}, {}, {}, {1, 1, 1}, "Tri", "0", 0, 0, -1);
    D3DMATRIX carried;
    DX->IdentityMatrix(carried);
    SceneObjects[0].Joints[0].WorldMatrix = SetMatrixTranslation(carried, 1.5f, 10, 6);
    MeshItemParams square = Square(0, 0, 0);
    square.y = 0.5f;  // half a unit up from the frame
    square.parentObject = 0;
    AddMeshItem(square);
    RenderFrame();
    EXPECT_TRUE(Drawn(ScreenX(1.5f, 6), ScreenY(0.5f, 6)));
    EXPECT_FALSE(Drawn(160, 120));
    ExpectTranslation(World(), 1.5f, 10.5f, 6);

    square.parentFrame = 1;  // the triangle has one frame only
    AddMeshItem(square);
    ExpectBoundsError();
}

TEST_F(FrameRenderTest, FollowersArePlacedInTheirRecordsItemsSpace) {
    Animation record;
    record.State = AnimationRunning;
    record.DrawItemIndex = AddMeshItem(Square(-1, 0, 6));
    Animations.push_back(record);
    AnimationCount = 1;
    MeshItemParams follower = Square(2, 0, 0);
    follower.y = 0;
    follower.followIndex = 1;
    AddMeshItem(follower);
    RenderFrame();
    EXPECT_TRUE(Drawn(ScreenX(1, 6), 120));  // two units right of the leader
    ExpectTranslation(World(), 1, 10, 6);

    // A record past the list, or one that made no item this frame, leaves the follower
    // undrawn; it does not land where the item before it was.
    const uint16_t leader = [&] {
        AddMeshItem(Square(-1, 0, 6));
        RenderFrame();
        return Pixel(ScreenX(-1, 6), 120);
    }();
    follower.colour = static_cast<int32_t>(0xFF00FF00u);
    for (int32_t index : {5, -1, 1}) {
        Animations[1].DrawItemIndex = 0;
        AddMeshItem(Square(-1, 0, 6));
        follower.followIndex = index;
        AddMeshItem(follower);
        RenderFrame();
        EXPECT_EQ(Pixel(ScreenX(-1, 6), 120), leader) << index;
        EXPECT_FALSE(Drawn(ScreenX(1, 6), 120)) << index;
    }
}

TEST_F(FrameRenderTest, SpritesAndTextAreDrawn) {
    // The desktop picture's frame 0 covers the whole screen.
    const int32_t desktop = BackgroundSurfaces[0];
    const DirectDrawSurface7& picture = *SpriteSurfaceList[desktop].Surface;
    ASSERT_NE(picture.Row(10)[10], picture.Row(120)[160]);  // a picture, not one colour
    AddSpriteItem(0, 0, 40, 30, 0, desktop, 0, 0, 0, ItemFastSprite);
    AddSpriteItem(200, 100, 20, 10, 0, desktop, 0, 0, 0, ItemStretchedSprite);
    RenderFrame();
    EXPECT_EQ(Pixel(10, 10), picture.Row(10)[10]);      // unscaled from the top left
    EXPECT_EQ(Pixel(210, 105), picture.Row(120)[160]);  // the whole picture into 20 x 10

    AddTextItem("HELLO", -0.5f, 0.2f, 2.4f, -1, 0, 0, 0, 2, D3DBLEND_ONE, D3DBLEND_ZERO, -1, -1, 0,
                FlagScreenSpace, -1, 0);
    RenderFrame();
    int drawn = 0;
    for (int y = 100; y < 140; ++y)
        for (int x = 100; x < 200; ++x) drawn += Drawn(x, y);
    EXPECT_GT(drawn, 50);
}

// Text draws with the point filter and leaves it set; only the other kinds put the linear
// filter back, after their own draw. So the item right after a text item is point-filtered.
TEST_F(FrameRenderTest, TheItemAfterATextItemSamplesWithThePointFilter) {
    // A textured square filling the view, its texels magnified many times.
    MeshItemParams square = Square(0, 0, 1.2f, 2);
    for (size_t t = 0; t < TextureList.size(); ++t) {
        if (TextureList[t].Name == "SKY") square.textureIndex = static_cast<int32_t>(t);
    }
    ASSERT_GE(square.textureIndex, 0);
    square.colour = -1;
    const auto drawSquareAfter = [&](int textItems, int squaresBefore) {
        for (int n = 0; n < textItems; ++n) {
            AddTextItem("X", 2, 2, 2.4f, -1, 0, 0, 0, 2, D3DBLEND_ONE, D3DBLEND_ZERO, -1, -1, 0,
                        FlagScreenSpace, -1, 0);
        }
        MeshItemParams offScreen = square;
        offScreen.x = -30;
        for (int n = 0; n < squaresBefore; ++n) AddMeshItem(offScreen);
        AddMeshItem(square);
        RenderFrame();
        std::vector<uint16_t> middle;
        for (int y = 60; y < 180; ++y)
            for (int x = 80; x < 240; ++x) middle.push_back(Pixel(x, y));
        return middle;
    };
    const std::vector<uint16_t> linear = drawSquareAfter(0, 0);
    EXPECT_NE(drawSquareAfter(1, 0), linear);
    EXPECT_EQ(drawSquareAfter(1, 1), linear);  // the square between set linear again
}

TEST_F(FrameRenderTest, ItemsOutsideTheirListsAreErrorsNotReadsPastThem) {
    const MeshItemParams strip{.y = 10, .z = 5, .setIndex = quads, .partIndex = 2};
    AddMeshItem(strip);  // the second strip would start past the 12 vertices
    ExpectBoundsError("vertices 16 to 19 lie outside the 12");
    DrawList[AddMeshItem(strip)].ObjectIndex = 99;
    ExpectBoundsError();
    DrawList[AddMeshItem(strip)].PartIndex = 7;
    ExpectBoundsError();
    GeometrySets.at(static_cast<size_t>(quads)).Parts[0].PartVertexCount = 40;
    AddMeshItem(Square(0, 0, 5));
    ExpectBoundsError("vertices 0 to 39 lie outside the 12");
}

}  // namespace
