#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/support/EditorFixture.h"
#include "window/GeometryEditor.h"

namespace {

using GeometryEditor = EditorFixture;

std::vector<int16_t> CountedIndices() {
    const ModelData& m = Models[0];
    return {m.Indices.begin(), m.Indices.begin() + m.IndexCount};
}

// --- typing values ----------------------------------------------------------------------------

TEST_F(GeometryEditor, AClickShowsTheLabelAndPutsTheValueIntoTheEditText) {
    Click(1);
    EXPECT_EQ(SelectedItem, 1);
    EXPECT_EQ(EditMode, -1);
    EXPECT_EQ(EditText, "0.25");
    const Animation& label = LastSpawn();
    EXPECT_EQ(label.Kind, AnimText);
    EXPECT_EQ(label.Text, "Entry 1");
    EXPECT_FLOAT_EQ(label.Position.x, 1);
    EXPECT_FLOAT_EQ(label.Position.y, 1);
    EXPECT_FLOAT_EQ(label.Position.z, 2.4f);
    EXPECT_EQ(label.Duration, 20);
    EXPECT_EQ(label.Style, 1);
    EXPECT_EQ(label.ItemFlags, FlagScreenSpace | FlagAlwaysVisible);
    EXPECT_EQ(label.Size, 7);  // shown whole at once
    EXPECT_EQ(label.ParentObject, -1);
}

TEST_F(GeometryEditor, TypedValueIsWrittenOnEnterAndShownTurningInFrontOfTheCamera) {
    Enter(1, "1.5");
    EXPECT_FLOAT_EQ(Model().Vertices[0].X, 1.5f);
    EXPECT_EQ(EditMode, 0);
    const Animation& shown = LastSpawn();
    EXPECT_EQ(shown.Kind, AnimText);
    EXPECT_EQ(shown.Text, "1.5");
    EXPECT_FLOAT_EQ(shown.Position.x, 0.5f);
    EXPECT_FLOAT_EQ(shown.Position.y, -0.8f);
    EXPECT_FLOAT_EQ(shown.Position.z, 2.4f);
    EXPECT_EQ(shown.Duration, 10);
    EXPECT_EQ(shown.Style, 2);
    EXPECT_EQ(shown.Spin.y, 5);
    EXPECT_EQ(shown.FadeArg, 4);
    EXPECT_EQ(shown.Size, 3);
    EXPECT_EQ(shown.ItemFlags, FlagScreenSpace | FlagAlwaysVisible);
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
    SelectedVertex = 1;
    SelectedTriangle = 1;
    SelectedGroup = 2;
    SelectedListSlot = 1;
    RangeCheck();
    ModelData& m = Model();
    JointState& joint = SceneObjects[0].Joints[2];
    const std::vector<std::pair<int, std::function<double()>>> singles = {
        {1, [&] { return m.Vertices[1].X; }},
        {2, [&] { return m.Vertices[1].Y; }},
        {3, [&] { return m.Vertices[1].Z; }},
        {4, [&] { return m.Vertices[1].NX; }},
        {5, [&] { return m.Vertices[1].NY; }},
        {6, [&] { return m.Vertices[1].NZ; }},
        {8, [&] { return m.Vertices[1].TU; }},
        {9, [&] { return m.Vertices[1].TV; }},
        {15, [&] { return m.Groups[2].GroupOffset.x; }},
        {16, [&] { return m.Groups[2].GroupOffset.y; }},
        {17, [&] { return m.Groups[2].GroupOffset.z; }},
        {18, [&] { return joint.LocalAngles.x; }},
        {19, [&] { return joint.LocalAngles.y; }},
        {20, [&] { return joint.LocalAngles.z; }},
    };
    for (const auto& [entry, field] : singles) {
        Enter(entry, "-2.75");
        EXPECT_EQ(field(), -2.75) << "entry " << entry;
    }
    const std::vector<std::pair<int, std::function<double()>>> wholes = {
        {11, [&] { return m.Indices[3]; }},
        {12, [&] { return m.Indices[4]; }},
        {13, [&] { return m.Indices[5]; }},
        {21, [&] { return m.Groups[2].FirstVertex; }},
        {22, [&] { return m.Groups[2].GroupVertexCount; }},
        {24, [&] { return m.GroupList[1]; }},
    };
    for (const auto& [entry, field] : wholes) {
        Enter(entry, "0.5");  // rounds to 0, the even neighbour
        EXPECT_EQ(field(), entry == 22 ? 1 : 0) << "entry " << entry;  // a group keeps a vertex
        Click(entry);
        EXPECT_EQ(EditText, entry == 22 ? "1" : "0") << "entry " << entry;
        Press(13);
    }
    EXPECT_FLOAT_EQ(m.Vertices[0].X, 0.25f);  // other vertices untouched
}

TEST_F(GeometryEditor, SelectionNumbersAreTypedToo) {
    Enter(0, "3.5");  // to even: 4
    EXPECT_EQ(SelectedVertex, 4);
    Enter(10, "2");
    EXPECT_EQ(SelectedTriangle, 2);
    Enter(14, "1");
    EXPECT_EQ(SelectedGroup, 1);
    Enter(23, "3");
    EXPECT_EQ(SelectedListSlot, 3);
    Enter(0, "600");  // past the end wraps to the start
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
    Type("1.5abcdefxG+ 2");
    EXPECT_EQ(EditText, "1.52");
    Press(8);
    Press(8);
    EXPECT_EQ(EditText, "1.");
    Press(8);
    Press(8);
    Press(8);  // past the empty text
    EXPECT_EQ(EditText, "");
    Type("1.");
    Press(13);
    EXPECT_FLOAT_EQ(Model().Vertices[0].X, 1.0f);
    Type("cxbvmnds");
    EXPECT_EQ(SelectedVertex, 0);
    EXPECT_EQ(SelectedTriangle, 0);
    EXPECT_EQ(SelectedGroup, 0);
    EXPECT_EQ(SelectedListSlot, 0);
}

TEST_F(GeometryEditor, AValueThatDoesNotFitItsFieldIsNotStored) {
    Enter(11, "40000");
    EXPECT_EQ(Model().Indices[0], 0);
    EXPECT_EQ(LastSpawn().Text, std::string(kNotStoredPrefix) + "40000");
    Enter(0, "99999999999");
    EXPECT_EQ(SelectedVertex, 0);
    Enter(1, "1E39");
    EXPECT_FLOAT_EQ(Model().Vertices[0].X, 0.25f);
    Enter(7, "123456789");
    EXPECT_EQ(Model().Vertices[0].Color, 0xFF000000u);
}

// --- selection keys and RangeCheck -------------------------------------------------------------

TEST_F(GeometryEditor, SelectionKeysWrapAroundBothEnds) {
    Press('X');
    EXPECT_EQ(SelectedVertex, 5);
    Press('C');
    EXPECT_EQ(SelectedVertex, 0);
    Press('V');
    EXPECT_EQ(SelectedTriangle, 2);
    Press('B');
    EXPECT_EQ(SelectedTriangle, 0);
    Press('N');
    EXPECT_EQ(SelectedGroup, 2);
    Press('M');
    EXPECT_EQ(SelectedGroup, 0);
    Press('S');
    EXPECT_EQ(SelectedListSlot, 3);
    Press('D');
    EXPECT_EQ(SelectedListSlot, 0);
    Type("CCB");
    EXPECT_EQ(SelectedVertex, 2);
    EXPECT_EQ(SelectedTriangle, 1);
}

TEST_F(GeometryEditor, InEditModeTheHexadecimalLettersAreTypedInsteadOfMoving) {
    Click(1);
    ClearEditText();
    Type("CBDXMNSV");
    EXPECT_EQ(EditText, "CBD");
    EXPECT_EQ(SelectedVertex, 0);
    EXPECT_EQ(SelectedTriangle, 0);
    EXPECT_EQ(SelectedListSlot, 0);
    EXPECT_EQ(SelectedGroup, 0);
}

TEST_F(GeometryEditor, LastTriangleIsFoundFromAnIndexCountThatIsNoMultipleOfThree) {
    Model().Indices.push_back(1);
    Model().IndexCount = 10;
    Press('V');
    EXPECT_EQ(SelectedTriangle, 2);
}

TEST_F(GeometryEditor, RangeCheckKeepsTheCurrentTriangleGroupAndSlotInsideTheModel) {
    ModelData& m = Model();
    SelectedTriangle = 1;
    SelectedGroup = 1;
    SelectedListSlot = 2;
    m.Indices[3] = -4;
    m.Indices[4] = 99;
    m.Indices[0] = 99;  // not the current triangle: left alone
    m.Groups[1].FirstVertex = 9;
    m.Groups[0].FirstVertex = 9;
    m.GroupList[2] = -7;
    m.GroupList[0] = 5;  // any slot above the last group is pulled down
    XForm::RangeCheck();
    EXPECT_EQ(m.Indices[3], 0);
    EXPECT_EQ(m.Indices[4], 5);
    EXPECT_EQ(m.Indices[0], 99);
    EXPECT_EQ(m.Groups[1].FirstVertex, 5);
    EXPECT_EQ(m.Groups[1].GroupVertexCount, 1);
    EXPECT_EQ(m.Groups[0].FirstVertex, 9);
    EXPECT_EQ(m.GroupList[2], -1);
    EXPECT_EQ(m.GroupList[0], 2);

    m.Groups[1].FirstVertex = -3;
    m.Groups[1].GroupVertexCount = 0;
    XForm::RangeCheck();
    EXPECT_EQ(m.Groups[1].FirstVertex, 0);
    EXPECT_EQ(m.Groups[1].GroupVertexCount, 1);
}

// --- structural edits ------------------------------------------------------------------------

TEST_F(GeometryEditor, InsertingAVertexCopiesTheCurrentOneAndMovesTheIndicesAbove) {
    SelectedVertex = 1;
    Click(EntryInsertVertex);
    const ModelData& m = Model();
    EXPECT_EQ(m.VertexCount, 7);
    EXPECT_FLOAT_EQ(m.Vertices[2].X, 1.25f);
    EXPECT_FLOAT_EQ(m.Vertices[3].X, 2.25f);
    EXPECT_FLOAT_EQ(m.Vertices[6].X, 5.25f);
    EXPECT_EQ(CountedIndices(), (std::vector<int16_t>{0, 1, 3, 3, 4, 5, 4, 5, 6}));
    EXPECT_EQ(EditMode, 0);
    EXPECT_EQ(SelectedVertex, 1);
}

TEST_F(GeometryEditor, DeletingVertexZeroKeepsTheSelectionAndLowersOnlyIndicesAboveTwo) {
    Click(EntryDeleteVertex);
    const ModelData& m = Model();
    EXPECT_EQ(m.VertexCount, 5);
    EXPECT_EQ(SelectedVertex, 0);
    EXPECT_FLOAT_EQ(m.Vertices[0].X, 1.25f);
    EXPECT_FLOAT_EQ(m.Vertices[4].X, 5.25f);
    EXPECT_EQ(CountedIndices(), (std::vector<int16_t>{0, 1, 2, 2, 2, 3, 2, 3, 4}));
    EXPECT_EQ(EditMode, 0);
}

TEST_F(GeometryEditor, AfterDeletingAVertexNothingPointsPastTheLastOne) {
    SelectedVertex = 5;
    Click(EntryDeleteVertex);
    const ModelData& m = Model();
    EXPECT_EQ(m.VertexCount, 5);
    EXPECT_EQ(SelectedVertex, 4);
    for (int16_t index : CountedIndices()) EXPECT_LT(index, 5);
    for (const ModelGroup& g : m.Groups) EXPECT_LE(g.FirstVertex + g.GroupVertexCount, 5);
}

TEST_F(GeometryEditor, InsertingAndDeletingTrianglesMovesWholeTriangles) {
    Click(EntryInsertTriangle);
    EXPECT_EQ(Model().IndexCount, 12);
    EXPECT_EQ(CountedIndices(), (std::vector<int16_t>{0, 1, 2, 0, 1, 2, 2, 3, 4, 3, 4, 5}));
    SelectedTriangle = 2;
    Click(EntryDeleteTriangle);
    EXPECT_EQ(Model().IndexCount, 9);
    EXPECT_EQ(CountedIndices(), (std::vector<int16_t>{0, 1, 2, 0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(SelectedTriangle, 1);
}

TEST_F(GeometryEditor, GroupEditsKeepOneJointStatePerGroupInEveryObjectOfTheModel) {
    ModelData other = SixVertexModel();
    other.GroupCount = 1;
    Models.push_back(other);
    SceneObjects.push_back(SceneObjects[1]);
    SceneObjects[2].ModelIndex = 1;
    SceneObjects[2].Joints.resize(1);
    SceneObjects[2].JointCount = 1;

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
    EXPECT_EQ(SceneObjects[2].JointCount, 1);  // another model's object is left alone

    SelectedGroup = 0;
    Click(EntryDeleteGroup);
    Click(EntryDeleteGroup);
    EXPECT_EQ(m.GroupCount, 2);
    EXPECT_EQ(m.Groups.size(), 2u);
    EXPECT_EQ(SceneObjects[0].JointCount, 2);
    EXPECT_EQ(SceneObjects[0].Joints.size(), 2u);
    EXPECT_EQ(SelectedGroup, 0);
    // Slots that named a deleted group now name the last one.
    EXPECT_EQ(std::vector<int16_t>(m.GroupList.begin(), m.GroupList.begin() + 4),
              (std::vector<int16_t>{0, 1, -1, 1}));
}

TEST_F(GeometryEditor, InsertingAndDeletingListSlots) {
    SelectedListSlot = 2;
    Click(EntryInsertListSlot);
    ModelData& m = Model();
    EXPECT_EQ(m.GroupListCount, 5);
    EXPECT_EQ(std::vector<int16_t>(m.GroupList.begin(), m.GroupList.begin() + 5),
              (std::vector<int16_t>{0, 1, -1, -1, 2}));
    SelectedListSlot = 0;
    Click(EntryDeleteListSlot);
    EXPECT_EQ(m.GroupListCount, 4);
    EXPECT_EQ(std::vector<int16_t>(m.GroupList.begin(), m.GroupList.begin() + 4),
              (std::vector<int16_t>{1, -1, -1, 2}));
    EXPECT_EQ(SelectedListSlot, 0);
}

TEST_F(GeometryEditor, TheLastVertexTriangleGroupAndSlotAreNeverDeleted) {
    ModelData& m = Model();
    m.VertexCount = 1;
    m.IndexCount = 3;
    m.Indices = {0, 0, 0};
    m.GroupCount = 1;
    m.Groups.resize(1);
    m.GroupListCount = 1;
    m.GroupList = {0};
    for (int entry :
         {EntryDeleteVertex, EntryDeleteTriangle, EntryDeleteGroup, EntryDeleteListSlot}) {
        Click(entry);
        EXPECT_EQ(EditMode, 0);
    }
    EXPECT_EQ(m.VertexCount, 1);
    EXPECT_EQ(m.IndexCount, 3);
    EXPECT_EQ(m.GroupCount, 1);
    EXPECT_EQ(m.GroupListCount, 1);
    EXPECT_EQ(SceneObjects[0].JointCount, 3);  // untouched by a refused delete
}

TEST_F(GeometryEditor, AVertexIsNotInsertedPastWhatTheVertexBufferHolds) {
    ModelData& m = Model();
    m.Vertices.resize(kModelBufferVertices);
    m.VertexCount = kModelBufferVertices;
    Click(EntryInsertVertex);
    EXPECT_EQ(m.VertexCount, kModelBufferVertices);
    EXPECT_EQ(m.Vertices.size(), static_cast<size_t>(kModelBufferVertices));
    EXPECT_EQ(LastSpawn().Text, kNoRoomForVertex);
    EXPECT_EQ(CountedIndices(), (std::vector<int16_t>{0, 1, 2, 2, 3, 4, 3, 4, 5}));
    m.VertexCount = kModelBufferVertices - 1;
    Click(EntryInsertVertex);
    EXPECT_EQ(m.VertexCount, kModelBufferVertices);
    EXPECT_EQ(LastSpawn().Text, "Entry 25");
}

TEST_F(GeometryEditor, ModelChangesAreCountedSoCopiesOfTheVerticesCanBeRefreshed) {
    const uint32_t before = EditedModelSerial;
    Enter(0, "2");   // a selection only
    Enter(18, "2");  // a joint state, not the model
    EXPECT_EQ(EditedModelSerial, before);
    Enter(1, "2");
    EXPECT_EQ(EditedModelSerial, before + 1);
    Click(EntryInsertVertex);
    EXPECT_EQ(EditedModelSerial, before + 2);
}

// --- clicks ----------------------------------------------------------------------------------

TEST_F(GeometryEditor, OfOverlappingEntriesTheLaterOneIsSelected) {
    ClickItems[9] = ClickItems[3];
    ClickItems[9].Label = "Later";
    Model().Vertices[0].TV = 0.75f;
    Click(3);
    EXPECT_EQ(SelectedItem, 9);
    EXPECT_EQ(LastSpawn().Text, "Later");
    EXPECT_EQ(EditText, "0.75");  // TV, not Z
}

TEST_F(GeometryEditor, TheEdgeOfAnEntryIsOutsideIt) {
    PointerPosition = D3DVECTOR{2, 0.5f, 1.2f};  // the border of entries 1 and 2
    XForm::Form_Click();
    EXPECT_EQ(SelectedItem, kNoMenuEntry);
    PointerPosition = D3DVECTOR{2.5f, 1, 1.2f};  // the top edge
    XForm::Form_Click();
    EXPECT_EQ(SelectedItem, kNoMenuEntry);
    EXPECT_EQ(NewAnimationCount, 0);
}

TEST_F(GeometryEditor, AMissWhileEditingRepeatsTheEntryAndOtherwiseSelectsNothing) {
    ClickNothing();
    EXPECT_EQ(SelectedItem, kNoMenuEntry);
    EXPECT_EQ(EditMode, 0);
    EXPECT_EQ(NewAnimationCount, 0);
    Click(2);
    Type("9");
    ClickNothing();
    EXPECT_EQ(SelectedItem, 2);
    EXPECT_EQ(EditText, "0");  // the value's text afresh
    EXPECT_EQ(NewAnimationCount, 2);
    EXPECT_EQ(LastSpawn().Text, "Entry 2");
}

TEST_F(GeometryEditor, MenuEntriesWithoutAMeaningOnlyStartEditMode) {
    ClickItems.push_back({"Spare", "", 0, 33, 1, 1, 1});
    Click(33);
    EXPECT_EQ(SelectedItem, 33);
    EXPECT_EQ(EditMode, -1);
    Type("12");
    Press(13);
    EXPECT_EQ(EditMode, 0);
    EXPECT_EQ(LastSpawn().Text, "12");  // shown, written nowhere
    EXPECT_FLOAT_EQ(Model().Vertices[0].X, 0.25f);
}

TEST_F(GeometryEditor, ASelectionPastTheMenuIsDropped) {
    Click(2);
    ClickItems.resize(2);  // the menu shrank under the selection
    ClickNothing();
    EXPECT_EQ(SelectedItem, kNoMenuEntry);
    EXPECT_EQ(NewAnimationCount, 1);
}

// --- models the editor meets without loading ---------------------------------------------------

TEST_F(GeometryEditor, AnEmptyModelIsEditedWithoutReachingOutsideItsLists) {
    ModelData& m = Model();
    m = ModelData{};
    m.Loaded = 1;
    SceneObjects[0].Joints.clear();
    SceneObjects[0].JointCount = 0;
    for (int entry = 0; entry <= 24; ++entry) {
        Enter(entry, "1");
        EXPECT_EQ(LastSpawn().Text.find(kNotStoredPrefix) == 0,
                  entry != 0 && entry != 10 && entry != 14 && entry != 23)
            << entry;
    }
    Type("XVNSCBDM");
    EXPECT_EQ(SelectedVertex, 0);
    EXPECT_EQ(SelectedTriangle, 0);
    EXPECT_EQ(SelectedGroup, 0);
    EXPECT_EQ(SelectedListSlot, 0);
    for (int entry = EntryInsertVertex; entry <= EntryDeleteListSlot; ++entry) Click(entry);
    EXPECT_EQ(m.VertexCount, 1);  // inserted; the only vertex is kept
    EXPECT_EQ(m.IndexCount, 0);   // no whole triangle to copy
    EXPECT_EQ(m.GroupCount, 1);   // the only group is kept
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
