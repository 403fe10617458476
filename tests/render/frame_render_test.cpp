#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "animation/Animations.h"
#include "app/MainLoop.h"
#include "display/Display.h"
#include "display/Surfaces.h"
#include "platform/dx/D3DConstants.h"
#include "render/BlurEffect.h"
#include "render/Camera.h"
#include "render/DrawList.h"
#include "render/FrameRender.h"
#include "render/GeometrySets.h"
#include "render/PointerHistory.h"
#include "render/RenderGlobals.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "tests/support/FrameFixture.h"

namespace {

constexpr uint32_t kRed = 0xFFFF0000u;

// Frames of the real content, seen from (0, 10, 0) looking along +z unless a test turns.
class FrameRenderTest : public FrameFixture {
  protected:
    void SetUp() override {
        FrameFixture::SetUp();
        WireframePasses = 0;
        EffectState = 0;
        EffectLevel = 0;
        FrameCount = 0;
        LookAlongZ();
        quads = AddQuadSet();
    }
    void TearDown() override {
        WireframePasses = 0;
        EffectState = 0;
        FrameFixture::TearDown();
    }

    // Set "QUADS": a square of side 1 facing the viewer (vertices 0-3, part 0, lit by its
    // material), the same square with its own colours (vertices 4-7, part 1), and a strip
    // part (vertices 8-11, part 2) whose copy the list does not hold.
    static int32_t AddQuadSet() {
        std::vector<D3DVERTEX> v;
        for (uint32_t colour : {0xFFFFFFFFu, 0xFF80C040u}) {
            v.push_back({-0.5f, 0.5f, 0, 0, 0, -1, colour, 0, 0});
            v.push_back({0.5f, 0.5f, 0, 0, 0, -1, colour, 1, 0});
            v.push_back({0.5f, -0.5f, 0, 0, 0, -1, colour, 1, 1});
            v.push_back({-0.5f, -0.5f, 0, 0, 0, -1, colour, 0, 1});
        }
        v.push_back({-0.5f, 0.5f, 0, 0, 0, -1, 0xFFFFFFFF, 0, 0});
        v.push_back({0.5f, 0.5f, 0, 0, 0, -1, 0xFFFFFFFF, 1, 0});
        v.push_back({-0.5f, -0.5f, 0, 0, 0, -1, 0xFFFFFFFF, 0, 1});
        v.push_back({0.5f, -0.5f, 0, 0, 0, -1, 0xFFFFFFFF, 1, 1});
        const int32_t set = AddGeometrySet(v, static_cast<int32_t>(v.size()), "QUADS");
        const std::vector<int16_t> square = {0, 1, 2, 0, 2, 3};
        const std::vector<int16_t> coloured = {4, 5, 6, 4, 6, 7};
        const std::array<D3DCOLORVALUE, 2> white = {D3DCOLORVALUE{1, 1, 1, 1},
                                                    D3DCOLORVALUE{1, 1, 1, 1}};
        AddGeometryPart(set, 0, 4, square, 6, white, ItemTriangleList, "SQUARE", 0, 0, false);
        AddGeometryPart(set, 4, 4, coloured, 6, white, ItemTriangleList, "OWN", 1, 0, false);
        AddGeometryPart(set, 8, 4, {}, 0, white, ItemTriangleStrip, "STRIP", 0, 0, false);
        return set;
    }

    // A red opaque square of side `size` at (x, 10 + y, z): z units ahead of the camera.
    MeshItemParams Square(float x, float y, float z, float size = 1) const {
        return {.x = x,
                .y = 10 + y,
                .z = z,
                .setIndex = quads,
                .partIndex = 0,
                .sx = size,
                .sy = size,
                .sz = size,
                .colour = static_cast<int32_t>(kRed)};
    }

    static D3DMATRIX World() {
        D3DMATRIX m;
        Device->GetTransform(D3DTRANSFORMSTATE_WORLD, m);
        return m;
    }

    int32_t quads = 0;
};

void ExpectSameMatrix(const D3DMATRIX& a, const D3DMATRIX& b) {
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c) EXPECT_NEAR(a.at(r, c), b.at(r, c), 1e-4) << r << "," << c;
}

// ---------------------------------------------------------------- the frame sequence

TEST_F(FrameRenderTest, EmptyListClearsMovesTheCameraProjectsThePointerAndEndsTheScene) {
    BackBuffer->BltColorFill(nullptr, 0x1234);
    host->SetKey('A', true);
    PointerPosition = D3DVECTOR{7, 8, 9};
    CursorPos = POINTAPI{160, 120};
    RenderFrame();
    host->SetKey('A', false);

    EXPECT_EQ(DrawnCount(), 0);
    EXPECT_EQ(Depth().front(), 0xFFFF);
    EXPECT_GT(CameraState.CameraPosition.z, 0);  // flew forward along +z
    EXPECT_EQ(PreviousPointerPosition.x, 7);
    EXPECT_NEAR(PointerPosition.x, 0, 0.01);
    EXPECT_FLOAT_EQ(PointerPosition.z, 1.2f);
    EXPECT_FALSE(Device->InScene());
}

TEST_F(FrameRenderTest, TheListIsEmptyAfterEveryFrame) {
    AddMeshItem(Square(0, 0, 5));
    AddMeshItem({.setIndex = quads, .alphaBlend = -1, .colour = static_cast<int32_t>(kRed)});
    RenderFrame();
    EXPECT_EQ(DrawItemCount, 0);
    EXPECT_EQ(DrawList.size(), 1u);
    EXPECT_EQ(DrawListHead, 0);
    EXPECT_EQ(OpaqueTail, 0);
    EXPECT_EQ(BlendedTail, 0);
}

// The small scene a first frame shows: land, water tiles around the camera, and a palm.
TEST_F(FrameRenderTest, SmallSceneShowsSkyLandWaterAndThePalmsSilhouette) {
    CameraState = DefaultCameraState;
    LoadModel("", "PALM", 0);
    D3DMATERIAL7 bark;
    bark.ambient = bark.diffuse = D3DCOLORVALUE{0.5f, 0.3f, 0.2f, 1};
    // Eight units ahead along the camera's yaw of 55 degrees.
    CreateSceneObject("PALM", bark, {4.6f, 1, 6.5f}, {0, 40, 0}, {1, 1.4f, 1}, "Char1", "0", 128,
                      128, -1);
    // The world update lays the tile flat from its copy every frame; so does this test.
    GeometrySet& tile = GeometrySets.at(static_cast<size_t>(BackgroundSets[0]));
    std::copy_n(tile.Vertices.begin() + tile.VertexCount, tile.VertexCount, tile.Vertices.begin());

    auto queueLand = [] {
        AddMeshItem({.y = -3,
                     .setIndex = 4,
                     .textureIndex = LastTextureIndex,
                     .srcBlend = 2,
                     .destBlend = 2,
                     .sx = 40,
                     .sy = 30,
                     .sz = 40});
    };
    auto queueWater = [] {
        for (int z = -27; z <= 27; z += 27) {
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
    };
    // The water is queued first, yet drawn after the opaque land and palm.
    queueWater();
    queueLand();
    AddObjectItem(0, 0, -1, 2, 2);
    RenderFrame();
    Save("small-scene");
    const std::vector<uint16_t> scene = Frame(), sceneDepth = Depth();

    // Sky colour at the top, where nothing reaches.
    for (int x = 0; x < RenderWidth; x += 40) EXPECT_EQ(Pixel(x, 2), BackgroundPixel());
    // The trunk stands in the middle of the frame, above the horizon.
    int trunk = 0;
    for (int x = 140; x < 180; ++x) trunk += Drawn(x, 70);
    EXPECT_GT(trunk, 2);

    // Without the palm those pixels are sky.
    queueWater();
    queueLand();
    RenderFrame();
    int sky = 0;
    for (int x = 140; x < 180; ++x) sky += Drawn(x, 70);
    EXPECT_EQ(sky, 0);

    // Without the water the depth is the same: additive water writes none, but it shows.
    queueLand();
    AddObjectItem(0, 0, -1, 2, 2);
    RenderFrame();
    EXPECT_EQ(Depth(), sceneDepth);
    EXPECT_NE(Frame(), scene);
    // The water darkens nothing and brightens the foreground (it adds).
    EXPECT_NE(scene[static_cast<size_t>(230 * RenderWidth + 160)],
              Frame()[static_cast<size_t>(230 * RenderWidth + 160)]);
}

TEST_F(FrameRenderTest, BlendedItemsAreDrawnAfterEveryOpaqueItemAndLeaveDepthAlone) {
    // A blended square in front of an opaque one, queued first: drawn last, it adds to the
    // opaque red and does not hide the opaque square behind it from the depth test.
    MeshItemParams front = Square(0, 0, 4);
    front.alphaBlend = -1;
    front.srcBlend = D3DBLEND_ONE;
    front.destBlend = D3DBLEND_ONE;
    front.colour = static_cast<int32_t>(0xFF0000FFu);
    AddMeshItem(front);
    AddMeshItem(Square(0, 0, 6));
    RenderFrame();
    const uint16_t both = Pixel(160, 120);
    EXPECT_EQ(Depth()[static_cast<size_t>(120 * RenderWidth + 160)] != 0xFFFF, true);
    const uint16_t depthWithBoth = Depth()[static_cast<size_t>(120 * RenderWidth + 160)];

    AddMeshItem(Square(0, 0, 6));
    RenderFrame();
    const uint16_t opaqueOnly = Pixel(160, 120);
    EXPECT_EQ(Depth()[static_cast<size_t>(120 * RenderWidth + 160)], depthWithBoth);
    EXPECT_NE(both, opaqueOnly);
    EXPECT_EQ(both >> 11, opaqueOnly >> 11);  // the red stays, blue is added
    EXPECT_GT(both & 0x1F, opaqueOnly & 0x1F);
}

// ---------------------------------------------------------------- the wireframe pass

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
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_FILLMODE), D3DFILL_SOLID);
}

// ---------------------------------------------------------------- flags

TEST_F(FrameRenderTest, ScreenSpaceItemsIgnoreTheCameraAndTheViewComesBack) {
    CameraState.Yaw = 10;  // looking elsewhere entirely
    MeshItemParams square{.z = 4, .setIndex = quads, .flags = FlagScreenSpace, .colour = -1};
    AddMeshItem(square);
    RenderFrame();
    EXPECT_TRUE(Drawn(160, 120));
    D3DMATRIX view;
    Device->GetTransform(D3DTRANSFORMSTATE_VIEW, view);
    ExpectSameMatrix(view, ViewMatrix);
}

TEST_F(FrameRenderTest, AlwaysVisibleItemsShowThroughAndTheDepthTestComesBack) {
    AddMeshItem(Square(0, 0, 4, 2));
    MeshItemParams hidden = Square(0, 0, 8);
    hidden.colour = static_cast<int32_t>(0xFF00FF00u);
    hidden.flags = FlagAlwaysVisible;
    AddMeshItem(hidden);
    MeshItemParams behind = hidden;
    behind.flags = 0;
    behind.x = 0.6f;
    AddMeshItem(behind);
    RenderFrame();
    EXPECT_GT((Pixel(160, 120) >> 5) & 0x3F, 0x10);            // green through red
    EXPECT_EQ((Pixel(ScreenX(0.6f, 8), 120) >> 5) & 0x3F, 0);  // hidden again
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_ZFUNC), D3DCMP_LESSEQUAL);
}

TEST_F(FrameRenderTest, FarDepthItemsAreUnfoggedAndTheProjectionComesBack) {
    // 200 units away: far beyond the fog's end, and beyond the far plane of the projection.
    MeshItemParams far = Square(0, 0, 200, 80);
    far.flags = FlagFarDepth;
    AddMeshItem(far);
    RenderFrame();
    EXPECT_TRUE(Drawn(160, 120));
    EXPECT_LT(Depth()[static_cast<size_t>(120 * RenderWidth + 160)], 0xFFFF);
    D3DMATRIX projection;
    Device->GetTransform(D3DTRANSFORMSTATE_PROJECTION, projection);
    EXPECT_FLOAT_EQ(projection.rc33, 1.02f);
    EXPECT_NE(Device->GetRenderState(D3DRENDERSTATE_FOGENABLE), 0);

    far.flags = 0;  // the same item without the flag is fog, then clipped away
    AddMeshItem(far);
    RenderFrame();
    EXPECT_FALSE(Drawn(160, 120));
}

TEST_F(FrameRenderTest, BillboardsFaceTheViewerAtEveryYawAndPitch) {
    for (float pitch : {0.0f, 30.0f, -35.0f}) {
        for (float yaw : {0.0f, 45.0f, 90.0f, 135.0f, 200.0f, 300.0f}) {
            CameraState.Yaw = yaw;
            CameraState.Pitch = pitch;
            const double y = yaw * DegToRad, p = pitch * DegToRad;
            const D3DVECTOR c = CameraState.CameraPosition;
            const double d = 5 * std::cos(p);
            MeshItemParams spark{.x = static_cast<float>(c.x + d * std::cos(y)),
                                 .y = static_cast<float>(c.y + 5 * std::sin(p)),
                                 .z = static_cast<float>(c.z + d * std::sin(y)),
                                 .setIndex = quads,
                                 .flags = FlagBillboard,
                                 .sx = 1.2f,
                                 .sy = 1.2f,
                                 .sz = 1.2f,
                                 .colour = static_cast<int32_t>(kRed)};
            AddMeshItem(spark);
            RenderFrame();
            Save("billboard-yaw" + std::to_string(int(yaw)) + "-pitch" +
                 std::to_string(int(pitch)));
            // Square on, 5 units away: 58 pixels each way through the middle.
            int across = 0, down = 0;
            for (int x = 0; x < RenderWidth; ++x) across += Drawn(x, 120);
            for (int yy = 0; yy < RenderHeight; ++yy) down += Drawn(160, yy);
            EXPECT_NEAR(across, 58, 3) << "yaw " << yaw << " pitch " << pitch;
            EXPECT_NEAR(down, 58, 3) << "yaw " << yaw << " pitch " << pitch;
        }
    }
}

// ---------------------------------------------------------------- distance cull

TEST_F(FrameRenderTest, DistantPiecesOfTheBackgroundSetAreNotDrawn) {
    // A fog far enough away to see what is drawn out there.
    SetFog(BackgroundColor, D3DFOG_LINEAR, -1, 500, 600, 0);
    const int32_t bg = BackgroundSets[0];
    GeometrySet& tile = GeometrySets.at(static_cast<size_t>(bg));
    std::copy_n(tile.Vertices.begin() + tile.VertexCount, tile.VertexCount, tile.Vertices.begin());
    // Tiles 96 units deep: their near halves lie inside the far plane at 50 units.
    auto tileAt = [&](float z) {
        return MeshItemParams{.y = 5, .z = z, .setIndex = bg, .sx = 8, .sy = 8, .sz = 8};
    };
    AddMeshItem(tileAt(55));
    RenderFrame();
    EXPECT_TRUE(Drawn(160, 160));
    EXPECT_NEAR(BackgroundItemDistance, std::hypot(5.0, 55.0), 1e-3);

    AddMeshItem(tileAt(60));
    RenderFrame();
    EXPECT_EQ(DrawnCount(), 0);

    // Far-depth pieces are never culled (nor clipped by the far plane).
    MeshItemParams far = tileAt(60);
    far.flags = FlagFarDepth;
    AddMeshItem(far);
    RenderFrame();
    EXPECT_TRUE(Drawn(160, 160));
    // Items of other sets have no background distance.
    AddMeshItem(Square(0, -5, 45, 10));
    RenderFrame();
    EXPECT_EQ(BackgroundItemDistance, 0);
}

TEST_F(FrameRenderTest, StripsOfTheBackgroundSetAreMeasuredFromTheSetsFirstVertex) {
    std::vector<D3DVERTEX> v(12);
    v[0].x = 100;  // far away in model space, whatever the item's position says
    const int32_t set = AddGeometrySet(v, 12, "BG");
    AddGeometryPart(set, 0, 4, {}, 0, {}, ItemTriangleStrip, "STRIP", 0, 0, false);
    ASSERT_EQ(BackgroundSets[0], set);
    AddMeshItem({.y = 10, .z = 5, .setIndex = set});
    RenderFrame();
    EXPECT_NEAR(BackgroundItemDistance, std::hypot(100.0, 10.0), 1e-3);
}

// ---------------------------------------------------------------- colours and blending

TEST_F(FrameRenderTest, FadesRecolourVertexColouredPartsFromTheirBaseColours) {
    GeometrySet& set = GeometrySets.at(static_cast<size_t>(quads));
    MeshItemParams own{.y = 10, .z = 5, .setIndex = quads, .partIndex = 1, .alpha = 50};
    for (int frame = 0; frame < 2; ++frame) {  // the second fade starts from the base again
        AddMeshItem(own);
        RenderFrame();
        for (int i = 4; i < 8; ++i) EXPECT_EQ(set.Vertices[i].color, 0x7F406020u);
    }
    EXPECT_EQ(set.BaseColors[4], static_cast<int32_t>(0xFF80C040u));
    EXPECT_EQ(set.Vertices[0].color, 0xFFFFFFFFu);  // other parts keep theirs
    EXPECT_EQ(Device->GetRenderState(D3DRENDERSTATE_COLORVERTEX), -1);
    EXPECT_TRUE(Drawn(160, 120));

    own.alpha = -1;  // no fade: the colours stay as they are
    AddMeshItem(own);
    RenderFrame();
    EXPECT_EQ(set.Vertices[4].color, 0x7F406020u);
}

TEST_F(FrameRenderTest, GlowingIndexedItemsAddTheirFadeAsLight) {
    MeshItemParams glow = Square(0, 0, 5);
    glow.colour = static_cast<int32_t>(0xFF000000u);  // black by itself
    glow.srcBlend = D3DBLEND_SRCALPHA;
    glow.destBlend = D3DBLEND_ONE;
    glow.alphaBlend = -1;
    glow.alpha = 50;
    AddMeshItem(glow);
    MeshItemParams black = Square(0, 0, 6, 2);
    black.colour = static_cast<int32_t>(0xFF000000u);
    AddMeshItem(black);
    RenderFrame();
    // On black, the second, additive draw with an emissive of 0.5 leaves mid grey.
    const uint16_t p = Pixel(160, 120);
    EXPECT_NEAR(p >> 11, 16, 2);
    EXPECT_NEAR((p >> 5) & 0x3F, 32, 3);
    EXPECT_TRUE(Device->GetLightEnable(0));
    EXPECT_TRUE(Device->GetLightEnable(1));
}

TEST_F(FrameRenderTest, LightsComeBackOnAfterGlowingPointsStripsAndText) {
    MeshItemParams points{.y = 10,
                          .z = 5,
                          .setIndex = quads,
                          .srcBlend = D3DBLEND_SRCALPHA,
                          .alphaBlend = -1,
                          .alpha = 50};
    points.kind = ItemPointList;
    AddMeshItem(points);
    RenderFrame();
    EXPECT_TRUE(Device->GetLightEnable(0));
    EXPECT_TRUE(Device->GetLightEnable(1));

    AddTextItem("Hi", 0, 10, 5, -1, 0, 0, 0, 1, D3DBLEND_SRCALPHA, D3DBLEND_ONE, 50, -1, -1, 0, -1,
                0);
    RenderFrame();
    EXPECT_TRUE(Device->GetLightEnable(0));
    EXPECT_TRUE(Device->GetLightEnable(1));
}

// ---------------------------------------------------------------- placement

TEST_F(FrameRenderTest, ItemsCarriedByAFrameStartFromItsWorldMatrix) {
    LoadModel("", "CHAR", -1);
    CreateSceneObject("CHAR", D3DMATERIAL7{}, {}, {}, {1, 1, 1}, "Tri", "0", 0, 0, -1);
    D3DMATRIX carried;
    DX->IdentityMatrix(carried);
    carried.rc41 = 1.5f;
    carried.rc42 = 10;
    carried.rc43 = 6;
    SceneObjects[0].Joints[0].WorldMatrix = carried;
    MeshItemParams square = Square(0, 0, 0);
    square.y = 0.5f;  // half a unit up from the frame
    square.parentObject = 0;
    square.parentFrame = 0;
    AddMeshItem(square);
    RenderFrame();
    EXPECT_TRUE(Drawn(ScreenX(1.5f, 6), ScreenY(0.5f, 6)));
    EXPECT_FALSE(Drawn(160, 120));
    D3DMATRIX expected = carried;
    expected.rc42 += 0.5f;
    ExpectSameMatrix(World(), expected);

    square.parentFrame = 1;  // the triangle has one frame only
    AddMeshItem(square);
    ExpectRuntimeError([] { RenderFrame(); }, rt::SubscriptOutOfRange, {});
}

TEST_F(FrameRenderTest, FollowersArePlacedInTheirRecordsItemsSpace) {
    const int32_t leader = AddMeshItem(Square(-1, 0, 6));
    Animation record;
    record.State = AnimationRunning;
    record.DrawItemIndex = leader;
    Animations.push_back(record);
    AnimationCount = 1;

    MeshItemParams follower = Square(2, 0, 0);
    follower.y = 0;
    follower.followIndex = 1;
    AddMeshItem(follower);
    RenderFrame();
    EXPECT_TRUE(Drawn(ScreenX(1, 6), 120));  // two units right of the leader

    // A record past the list leaves the world matrix as the item before set it.
    const int32_t first = AddMeshItem(Square(-1, 0, 6));
    const D3DMATRIX before = BuildItemMatrix(DrawList[first].Position, DrawList[first].Rotation,
                                             DrawList[first].Scale, DrawList[first].Pivot, 0);
    follower.followIndex = 5;
    AddMeshItem(follower);
    RenderFrame();
    ExpectSameMatrix(World(), before);
}

TEST_F(FrameRenderTest, CameraRelativeItemsMoveOncePerFrame) {
    MeshItemParams square = Square(0, -10, 5);
    square.flags = FlagCameraRelative;
    WireframePasses = 1;
    const int32_t n = AddMeshItem(square);
    const DrawItem before = DrawList[n];
    // Reading the item after the frame is not possible (the list is emptied), so look at the
    // world matrix the last pass used: at the camera, once.
    RenderFrame();
    EXPECT_NEAR(World().rc42, before.Position.y + 10, 1e-4);
    EXPECT_NEAR(World().rc43, 5, 1e-4);
}

// ---------------------------------------------------------------- sprites and text

TEST_F(FrameRenderTest, SpritesCopyTheirSurfaceUnscaledOrStretched) {
    // The desktop picture's frame 0 covers the whole screen.
    const int32_t desktop = BackgroundSurfaces[0];
    const DirectDrawSurface7& picture = *SpriteSurfaceList[desktop].Surface;
    ASSERT_NE(picture.Row(10)[10], picture.Row(120)[160]);  // a picture, not one colour
    AddSpriteItem(0, 0, 40, 30, 0, desktop, 0, 0, 0, ItemFastSprite);
    AddSpriteItem(200, 100, 20, 10, 0, desktop, 0, 0, 0, ItemStretchedSprite);
    RenderFrame();
    // Unscaled: the whole frame from the top left (the 40 x 30 only sets the clipping).
    EXPECT_EQ(Pixel(10, 10), picture.Row(10)[10]);
    EXPECT_EQ(Pixel(300, 200), picture.Row(200)[300]);
    // Stretched: the whole picture into 20 x 10 at (200, 100).
    EXPECT_EQ(Pixel(210, 105), picture.Row(120)[160]);
}

TEST_F(FrameRenderTest, TextItemsAreDrawnWithTheFontInTheirOwnSpace) {
    AddTextItem("HELLO", -0.5f, 0.2f, 2.4f, -1, 0, 0, 0, 2, D3DBLEND_ONE, D3DBLEND_ZERO, -1, -1, 0,
                FlagScreenSpace, -1, 0);
    RenderFrame();
    int drawn = 0;
    for (int y = 100; y < 140; ++y)
        for (int x = 100; x < 200; ++x) drawn += Drawn(x, y);
    EXPECT_GT(drawn, 50);
    EXPECT_EQ(Device->GetTextureStageState(0, D3DTSS_MAGFILTER), D3DTFG_POINT);
}

// ---------------------------------------------------------------- bad items

TEST_F(FrameRenderTest, ItemsOutsideTheirListsAreErrorsNotReadsPastThem) {
    struct Case {
        const char* what;
        MeshItemParams item;
        std::string fragment;
    };
    MeshItemParams strip{.y = 10, .z = 5, .setIndex = quads, .partIndex = 2};
    const std::vector<Case> cases = {
        {"second strip", strip, "vertices 16 to 19 lie outside the 12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AddMeshItem(c.item);
        ExpectRuntimeError([] { RenderFrame(); }, rt::SubscriptOutOfRange, {c.fragment});
        Device->EndScene();
        ResetDrawList();
    }
    // A set or part that is not there, and a part that claims more vertices than its set.
    const int32_t n = AddMeshItem(strip);
    DrawList[n].ObjectIndex = 99;
    ExpectRuntimeError([] { RenderFrame(); }, rt::SubscriptOutOfRange, {});
    Device->EndScene();
    ResetDrawList();
    const int32_t m = AddMeshItem(strip);
    DrawList[m].PartIndex = 7;
    ExpectRuntimeError([] { RenderFrame(); }, rt::SubscriptOutOfRange, {});
    Device->EndScene();
    ResetDrawList();
    GeometrySets.at(static_cast<size_t>(quads)).Parts[0].PartVertexCount = 40;
    AddMeshItem(Square(0, 0, 5));
    ExpectRuntimeError([] { RenderFrame(); }, rt::SubscriptOutOfRange,
                       {"vertices 0 to 39 lie outside the 12"});
    Device->EndScene();
}

}  // namespace
