#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/support/EditorFixture.h"
#include "window/GeometryEditor.h"

namespace {

using GeometryEditor = EditorFixture;
using Indices = std::vector<int16_t>;

Indices Counted(const std::vector<int16_t>& list, int32_t count) {
    return {list.begin(), list.begin() + count};
}

// --- typed values ------------------------------------------------------------------------------

TEST_F(GeometryEditor, TypedValueIsWrittenOnEnterAndShownTurningInFrontOfTheCamera) {
    Click(1);
    const Animation label = LastSpawn();
    EXPECT_EQ(label.Text, "Entry 1");
    EXPECT_EQ(label.Size, 7);  // shown whole at once
    EXPECT_EQ(label.Duration, 20);
    EXPECT_FLOAT_EQ(label.Position.z, 2.4f);
    EXPECT_EQ(label.ItemFlags, FlagScreenSpace | FlagAlwaysVisible);
    EXPECT_EQ(EditText, "0.25");

    ClearEditText();
    Type("1.5");
    Press(13);
    EXPECT_FLOAT_EQ(Model().Vertices[0].X, 1.5f);
    EXPECT_EQ(EditMode, 0);
    const Animation& shown = LastSpawn();
    EXPECT_EQ(shown.Text, "1.5");
    EXPECT_FLOAT_EQ(shown.Position.x, 0.5f);
    EXPECT_FLOAT_EQ(shown.Position.y, -0.8f);
    EXPECT_EQ(shown.Duration, 10);
    EXPECT_EQ(shown.Style, 2);
    EXPECT_EQ(shown.Spin.y, 5);
    EXPECT_EQ(shown.FadeArg, 4);
    EXPECT_EQ(shown.Size, 3);
}

TEST_F(GeometryEditor, ColourIsShownAndTypedInHexadecimal) {
    SelectedVertex = 2;
    Click(7);
    EXPECT_EQ(EditText, "FF000002");
    Enter(7, "FF0000");
    EXPECT_EQ(Model().Vertices[2].Color, 16711680u);
    Enter(7, "FF00FF00");
    EXPECT_EQ(Model().Vertices[2].Color, 0xFF00FF00u);
}

TEST_F(GeometryEditor, EveryValueEntryReachesItsOwnField) {
    SelectedVertex = SelectedTriangle = SelectedListSlot = 1;
    SelectedGroup = 2;
    ModelData& m = Model();
    const ModelVertex& v = m.Vertices[1];
    const ModelGroup& g = m.Groups[2];
    const D3DVECTOR& angles = SceneObjects[0].Joints[2].LocalAngles;
    const std::vector<std::function<double()>> singles = {[&] { return v.X; },
                                                          [&] { return v.Y; },
                                                          [&] { return v.Z; },
                                                          [&] { return v.NX; },
                                                          [&] { return v.NY; },
                                                          [&] { return v.NZ; },
                                                          nullptr,
                                                          [&] { return v.TU; },
                                                          [&] { return v.TV; }};
    for (int entry = 1; entry <= 9; ++entry) {
        if (!singles[entry - 1]) continue;
        Enter(entry, "-2.75");
        EXPECT_EQ(singles[entry - 1](), -2.75) << entry;
    }
    const std::vector<std::function<double()>> groupSingles = {
        [&] { return g.GroupOffset.x; }, [&] { return g.GroupOffset.y; },
        [&] { return g.GroupOffset.z; }, [&] { return angles.x; },
        [&] { return angles.y; },        [&] { return angles.z; }};
    for (int entry = 15; entry <= 20; ++entry) {
        Enter(entry, "-2.75");
        EXPECT_EQ(groupSingles[entry - 15](), -2.75) << entry;
    }
    // Whole numbers round halves to even; RangeCheck then gives the group a vertex.
    const std::vector<std::pair<int, std::function<double()>>> wholes = {
        {11, [&] { return m.Indices[3]; }},       {12, [&] { return m.Indices[4]; }},
        {13, [&] { return m.Indices[5]; }},       {21, [&] { return g.FirstVertex; }},
        {22, [&] { return g.GroupVertexCount; }}, {24, [&] { return m.GroupList[1]; }}};
    for (const auto& [entry, field] : wholes) {
        Enter(entry, "0.5");
        EXPECT_EQ(field(), entry == 22 ? 1 : 0) << entry;
    }
    EXPECT_FLOAT_EQ(m.Vertices[0].X, 0.25f);  // other vertices untouched
}

TEST_F(GeometryEditor, SelectionNumbersAreTypedAndWrapWhenPastTheEnd) {
    Enter(0, "3.5");
    Enter(10, "2");
    Enter(14, "1");
    Enter(23, "3");
    EXPECT_EQ(SelectedVertex, 4);
    EXPECT_EQ(SelectedTriangle, 2);
    EXPECT_EQ(SelectedGroup, 1);
    EXPECT_EQ(SelectedListSlot, 3);
    Enter(0, "600");
    EXPECT_EQ(SelectedVertex, 0);
}

TEST_F(GeometryEditor, EnterWithShiftStaysInEditModeForTheNextValue) {
    Click(2);
    ClearEditText();
    Type("7");
    host->SetKey(vk::SHIFT, true);
    Press(13);
    EXPECT_EQ(EditMode, -1);
    EXPECT_FLOAT_EQ(Model().Vertices[0].Y, 7);
    Type("1");  // the text goes on from what was entered
    host->SetKey(vk::SHIFT, false);
    Press(13);
    EXPECT_EQ(EditMode, 0);
    EXPECT_FLOAT_EQ(Model().Vertices[0].Y, 71);
}

TEST_F(GeometryEditor, OnlyTheEditCharactersAreTypedAndLowerCaseLettersDoNothing) {
    Click(1);
    ClearEditText();
    Type("1.5abcdefxG+2");
    EXPECT_EQ(EditText, "1.52");
    for (int i = 0; i < 6; ++i) Press(8);  // past the empty text
    Type("1CBDXMNSV");                     // hexadecimal letters are typed, not selection moves
    EXPECT_EQ(EditText, "1CBD");
    Press(13);
    EXPECT_FLOAT_EQ(Model().Vertices[0].X, 1.0f);
    Type("cxbvmnds");
    EXPECT_EQ(SelectedVertex + SelectedTriangle + SelectedGroup + SelectedListSlot, 0);
}

TEST_F(GeometryEditor, AValueThatDoesNotFitItsFieldIsNotStored) {
    Enter(11, "40000");
    EXPECT_EQ(Model().Indices[0], 0);
    EXPECT_EQ(LastSpawn().Text, std::string(kNotStoredPrefix) + "40000");
    Enter(0, "99999999999");
    Enter(1, "1E39");
    Enter(7, "123456789");
    EXPECT_EQ(SelectedVertex, 0);
    EXPECT_FLOAT_EQ(Model().Vertices[0].X, 0.25f);
    EXPECT_EQ(Model().Vertices[0].Color, 0xFF000000u);
}

// --- selection keys and RangeCheck -------------------------------------------------------------

TEST_F(GeometryEditor, SelectionKeysWrapAroundBothEnds) {
    const std::vector<std::pair<char, int32_t*>> down = {{'X', &SelectedVertex},
                                                         {'V', &SelectedTriangle},
                                                         {'N', &SelectedGroup},
                                                         {'S', &SelectedListSlot}};
    const std::vector<int32_t> last = {5, 2, 2, 3};
    for (size_t i = 0; i < down.size(); ++i) {
        Press(down[i].first);
        EXPECT_EQ(*down[i].second, last[i]) << down[i].first;
    }
    Type("CBMD");
    EXPECT_EQ(SelectedVertex + SelectedTriangle + SelectedGroup + SelectedListSlot, 0);
    Type("CCB");
    EXPECT_EQ(SelectedVertex, 2);
    EXPECT_EQ(SelectedTriangle, 1);
    // A stray index after the last whole triangle does not make a triangle of its own.
    Model().Indices.push_back(1);
    Model().IndexCount = 10;
    Type("VV");
    EXPECT_EQ(SelectedTriangle, 2);
}

TEST_F(GeometryEditor, RangeCheckKeepsTheCurrentTriangleGroupAndSlotInsideTheModel) {
    ModelData& m = Model();
    SelectedTriangle = SelectedGroup = 1;
    SelectedListSlot = 2;
    m.Indices[3] = -4;
    m.Indices[4] = 99;
    m.Indices[0] = 99;  // not the current triangle: left alone
    m.Groups[1].FirstVertex = 9;
    m.GroupList[2] = -7;
    m.GroupList[0] = 5;  // any slot above the last group is pulled down
    XForm::RangeCheck();
    EXPECT_EQ(Counted(m.Indices, 6), (Indices{99, 1, 2, 0, 5, 4}));
    EXPECT_EQ(m.Groups[1].FirstVertex, 5);
    EXPECT_EQ(m.Groups[1].GroupVertexCount, 1);
    EXPECT_EQ(Counted(m.GroupList, 4), (Indices{2, 1, -1, 2}));

    m.Groups[1].FirstVertex = -3;
    m.Groups[1].GroupVertexCount = 0;
    XForm::RangeCheck();
    EXPECT_EQ(m.Groups[1].FirstVertex, 0);
    EXPECT_EQ(m.Groups[1].GroupVertexCount, 1);
}

// --- structural edits ------------------------------------------------------------------------

TEST_F(GeometryEditor, InsertingAVertexCopiesTheCurrentOneAndMovesTheIndicesAbove) {
    SelectedVertex = 1;
    const uint32_t serial = EditedModelSerial;
    Click(EntryInsertVertex);
    const ModelData& m = Model();
    EXPECT_EQ(m.VertexCount, 7);
    EXPECT_FLOAT_EQ(m.Vertices[2].X, 1.25f);
    EXPECT_FLOAT_EQ(m.Vertices[6].X, 5.25f);
    EXPECT_EQ(Counted(m.Indices, 9), (Indices{0, 1, 3, 3, 4, 5, 4, 5, 6}));
    EXPECT_EQ(EditMode, 0);
    EXPECT_EQ(EditedModelSerial, serial + 1);
}

TEST_F(GeometryEditor, DeletingAVertexKeepsEveryOtherTriangleCornerOnItsVertex) {
    ModelData& m = Model();
    const float x3 = m.Vertices[3].X;
    SelectedVertex = 1;
    Click(EntryDeleteVertex);
    EXPECT_EQ(m.VertexCount, 5);
    EXPECT_EQ(SelectedVertex, 0);
    // The corners that named vertices 2 to 5 still name the same vertices, now one lower;
    // the one that named vertex 1 names its successor.
    EXPECT_EQ(Counted(m.Indices, 9), (Indices{0, 1, 1, 1, 2, 3, 2, 3, 4}));
    EXPECT_FLOAT_EQ(m.Vertices[2].X, x3);

    // Deleting the last vertex leaves nothing pointing past the new end.
    SelectedVertex = 4;
    Click(EntryDeleteVertex);
    EXPECT_EQ(SelectedVertex, 3);
    EXPECT_EQ(Counted(m.Indices, 9), (Indices{0, 1, 1, 1, 2, 3, 2, 3, 3}));
    for (const ModelGroup& g : m.Groups) EXPECT_LE(g.FirstVertex + g.GroupVertexCount, 4);
}

// Each group keeps exactly its own vertices through vertex edits: a later group's range moves
// with them, and the group holding the edited vertex grows or shrinks (down to empty).
TEST_F(GeometryEditor, VertexEditsKeepEveryGroupOnItsOwnVertices) {
    using Range = std::pair<int32_t, int32_t>;
    const auto ranges = [] {
        std::vector<Range> r;
        for (const ModelGroup& g : Model().Groups)
            r.emplace_back(g.FirstVertex, g.GroupVertexCount);
        return r;
    };
    SelectedGroup = 2;  // the current group is kept at one vertex or more; group 0 is not
    SelectedVertex = 1;
    Click(EntryInsertVertex);
    EXPECT_EQ(ranges(), (std::vector<Range>{{0, 3}, {3, 2}, {5, 2}}));
    Click(EntryDeleteVertex);
    EXPECT_EQ(ranges(), (std::vector<Range>{{0, 2}, {2, 2}, {4, 2}}));
    SelectedVertex = 0;
    Click(EntryDeleteVertex);
    Click(EntryDeleteVertex);
    EXPECT_EQ(ranges(), (std::vector<Range>{{0, 0}, {0, 2}, {2, 2}}));
    EXPECT_FLOAT_EQ(Model().Vertices[0].X, 2.25f);  // group 1 still starts at old vertex 2
}

TEST_F(GeometryEditor, InsertingAndDeletingTrianglesMovesWholeTriangles) {
    Click(EntryInsertTriangle);
    EXPECT_EQ(Counted(Model().Indices, 12), (Indices{0, 1, 2, 0, 1, 2, 2, 3, 4, 3, 4, 5}));
    SelectedTriangle = 2;
    Click(EntryDeleteTriangle);
    EXPECT_EQ(Model().IndexCount, 9);
    EXPECT_EQ(Counted(Model().Indices, 9), (Indices{0, 1, 2, 0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(SelectedTriangle, 1);
}

TEST_F(GeometryEditor, GroupEditsKeepOneJointStatePerGroupInEveryObjectOfTheModel) {
    SceneObjects.push_back(SceneObjects[1]);
    SceneObjects[2].ModelIndex = 1;  // another model's object

    SelectedGroup = 1;
    Click(EntryInsertGroup);
    ModelData& m = Model();
    ASSERT_EQ(m.GroupCount, 4);
    EXPECT_EQ(m.Groups[2].FirstVertex, 2);  // a copy of group 1
    EXPECT_EQ(m.Groups[3].FirstVertex, 4);
    for (int o = 0; o < 2; ++o) {
        EXPECT_EQ(SceneObjects[o].JointCount, 4) << o;
        EXPECT_EQ(SceneObjects[o].Joints.size(), 4u) << o;
    }
    EXPECT_EQ(SceneObjects[2].JointCount, 3);

    SelectedGroup = 0;
    Click(EntryDeleteGroup);
    Click(EntryDeleteGroup);
    EXPECT_EQ(m.Groups.size(), 2u);
    EXPECT_EQ(SceneObjects[0].JointCount, 2);
    EXPECT_EQ(SceneObjects[0].Joints.size(), 2u);
    EXPECT_EQ(SelectedGroup, 0);
    EXPECT_EQ(Counted(m.GroupList, 4), (Indices{0, 1, -1, 1}));  // no slot names a lost group
}

TEST_F(GeometryEditor, InsertingAndDeletingListSlots) {
    SelectedListSlot = 2;
    Click(EntryInsertListSlot);
    EXPECT_EQ(Counted(Model().GroupList, 5), (Indices{0, 1, -1, -1, 2}));
    SelectedListSlot = 0;
    Click(EntryDeleteListSlot);
    EXPECT_EQ(Model().GroupListCount, 4);
    EXPECT_EQ(Counted(Model().GroupList, 4), (Indices{1, -1, -1, 2}));
}

TEST_F(GeometryEditor, TheLastVertexTriangleGroupAndSlotAreNeverDeleted) {
    ModelData& m = Model();
    m.VertexCount = 1;
    m.IndexCount = 3;
    m.Indices = {0, 0, 0};
    m.GroupCount = m.GroupListCount = 1;
    for (int entry = EntryDeleteVertex; entry <= EntryDeleteListSlot; entry += 2) Click(entry);
    EXPECT_EQ(m.VertexCount, 1);
    EXPECT_EQ(m.IndexCount, 3);
    EXPECT_EQ(m.GroupCount, 1);
    EXPECT_EQ(m.GroupListCount, 1);
    EXPECT_EQ(EditMode, 0);
}

TEST_F(GeometryEditor, AVertexIsNotInsertedPastWhatTheVertexBufferHolds) {
    ModelData& m = Model();
    m.Vertices.resize(kModelBufferVertices);
    m.VertexCount = kModelBufferVertices;
    Click(EntryInsertVertex);
    EXPECT_EQ(m.VertexCount, kModelBufferVertices);
    EXPECT_EQ(LastSpawn().Text, kNoRoomForVertex);
    EXPECT_EQ(Counted(m.Indices, 9), (Indices{0, 1, 2, 2, 3, 4, 3, 4, 5}));
    m.VertexCount = kModelBufferVertices - 1;
    Click(EntryInsertVertex);
    EXPECT_EQ(m.VertexCount, kModelBufferVertices);
    EXPECT_EQ(LastSpawn().Text, "Entry 25");
}

// --- clicks and guards -------------------------------------------------------------------------

TEST_F(GeometryEditor, OfOverlappingEntriesTheLaterOneIsSelectedAndEdgesAreOutside) {
    ClickItems[9] = ClickItems[3];
    ClickItems[9].Label = "Later";
    Model().Vertices[0].TV = 0.75f;
    Click(3);
    EXPECT_EQ(SelectedItem, 9);
    EXPECT_EQ(LastSpawn().Text, "Later");
    EXPECT_EQ(EditText, "0.75");  // TV, not Z
    Press(13);
    PointerPosition = D3DVECTOR{2, 0.5f, 1.2f};  // the border of entries 1 and 2
    XForm::Form_Click();
    EXPECT_EQ(SelectedItem, kNoMenuEntry);
}

TEST_F(GeometryEditor, AMissWhileEditingRepeatsTheEntryAndOtherwiseSelectsNothing) {
    ClickNothing();
    EXPECT_EQ(SelectedItem, kNoMenuEntry);
    EXPECT_EQ(NewAnimationCount, 0);
    Click(2);
    Type("9");
    ClickNothing();
    EXPECT_EQ(SelectedItem, 2);
    EXPECT_EQ(EditText, "0");  // the value's text afresh
    EXPECT_EQ(NewAnimationCount, 2);
}

TEST_F(GeometryEditor, MenuEntriesPastTheEditorsOrPastTheMenuWriteNothing) {
    ClickItems.push_back({"Spare", "", 0, 33, 1, 1, 1});
    Click(33);
    EXPECT_EQ(EditMode, -1);
    Type("12");
    Press(13);
    EXPECT_EQ(LastSpawn().Text, "12");  // shown, written nowhere
    EXPECT_FLOAT_EQ(Model().Vertices[0].X, 0.25f);

    Click(2);
    ClickItems.resize(2);  // the menu shrank under the selection
    ClickNothing();
    EXPECT_EQ(SelectedItem, kNoMenuEntry);
}

TEST_F(GeometryEditor, AnEmptyModelIsEditedWithoutReachingOutsideItsLists) {
    ModelData& m = Model();
    m = ModelData{};
    m.Loaded = 1;
    SceneObjects[0].Joints.clear();
    for (int entry = 0; entry <= 24; ++entry) {
        Enter(entry, "1");
        const bool selection = entry == 0 || entry == 10 || entry == 14 || entry == 23;
        EXPECT_EQ(LastSpawn().Text.rfind(kNotStoredPrefix, 0) == 0, !selection) << entry;
    }
    Type("XVNSCBDM");
    EXPECT_EQ(SelectedVertex + SelectedTriangle + SelectedGroup + SelectedListSlot, 0);
    for (int entry = EntryInsertVertex; entry <= EntryDeleteListSlot; ++entry) Click(entry);
    EXPECT_EQ(m.VertexCount, 1);  // inserted; the only vertex is kept
    EXPECT_EQ(m.IndexCount, 0);   // no whole triangle to copy
    EXPECT_EQ(m.GroupCount, 1);
    EXPECT_EQ(m.GroupListCount, 1);
    EXPECT_EQ(SceneObjects[0].JointCount, 1);
}

TEST_F(GeometryEditor, ATriangleIndexPastTheVerticesIsShownAndThenPulledBack) {
    Model().Indices[1] = 300;
    Click(12);
    EXPECT_EQ(EditText, "300");
    Press(13);
    EXPECT_EQ(Model().Indices[1], 5);
}

}  // namespace
