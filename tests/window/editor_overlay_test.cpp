#include <gtest/gtest.h>

#include <vector>

#include "tests/support/EditorFixture.h"
#include "window/EditorOverlay.h"

namespace {

class EditorOverlay : public EditorFixture {
  protected:
    void SetUp() override {
        EditorFixture::SetUp();
        // The menu as the archive lays it out: short boxes for long labels.
        for (size_t i = 0; i < ClickItems.size(); ++i) {
            ClickItems[i].X = -1.58f + 0.02f * static_cast<float>(i % 2);
            ClickItems[i].Y = 1.15f - 0.13f * static_cast<float>(i);
            ClickItems[i].Width = 0.62f;
            ClickItems[i].Height = 0.12f;
        }
        ClickItems[4].Label = "Group vertex count";  // the longest label
        NameSquare("SQUARE");
        EditorOverlayVisible = true;
    }
    static void ClickEntry(size_t i) {
        const ClickItem& e = ClickItems[i];
        PointerPosition = D3DVECTOR{e.X + e.Width / 2, e.Y - e.Height / 2, 1.2f};
        XForm::Form_Click();
        ASSERT_EQ(SelectedItem, i);
    }
    static void NameSquare(const char* name) {
        GeometrySets[static_cast<size_t>(CommonSets[0])].Parts[1].PartName = name;
    }
    static std::vector<const DrawItem*> Items(uint8_t kind) {
        std::vector<const DrawItem*> found;
        for (int32_t n = 1; n <= DrawItemCount; ++n) {
            if (Item(n).Kind == kind) found.push_back(&Item(n));
        }
        return found;
    }
    static const DrawItem* TextItem(const std::string& text) {
        for (const DrawItem* item : Items(ItemText)) {
            if (item->Text == text) return item;
        }
        return nullptr;
    }
};

TEST_F(EditorOverlay, DrawsEveryLabelOverItsHotSpotInOneSizeThatFitsTheLongest) {
    EditorOverlayVisible = false;
    AddEditorOverlay();
    EditorOverlayVisible = true;
    Models[0].Loaded = 0;
    AddEditorOverlay();
    EXPECT_EQ(DrawItemCount, 0);  // hidden, then no model yet
    Models[0].Loaded = 1;
    AddEditorOverlay();
    const float scale = TextItem("Group vertex count")->Scale.x;
    EXPECT_LT(scale, 1);
    EXPECT_LE(11 * 0.005f * scale * 18, 0.62f);
    for (size_t i = 0; i < ClickItems.size(); ++i) {
        const ClickItem& e = ClickItems[i];
        const DrawItem* label = TextItem(e.Label);
        ASSERT_NE(label, nullptr) << e.Label;
        EXPECT_EQ(label->Flags, FlagScreenSpace | FlagAlwaysVisible);
        EXPECT_FLOAT_EQ(label->Scale.x, scale);
        EXPECT_FLOAT_EQ(label->Position.z, kPointerDepth);
        EXPECT_GT(label->Position.x, e.X);
        EXPECT_LT(label->Position.x, e.X + 0.05f);
        EXPECT_LE(label->Position.y, e.Y);
        EXPECT_GE(label->Position.y - 12 * 0.005f * scale, e.Y - e.Height);
        EXPECT_FLOAT_EQ(label->Material.diffuse.g, ((e.Colour >> 8) & 0xFF) / 255.0f) << e.Label;
    }
}

TEST_F(EditorOverlay, MarksTheEntryBeingEditedListsTheSelectionsAndDrawsThePointer) {
    SelectedVertex = 2;
    SelectedGroup = 1;
    ClickEntry(3);
    PointerPosition = D3DVECTOR{0.25f, -0.5f, 1.2f};
    ClearEditText();
    Type("4");
    AddEditorOverlay();
    ASSERT_NE(TextItem("Vertex 2/6  Triangle 0/3  Group 1/3  Slot 0/4"), nullptr);
    ASSERT_NE(TextItem(ClickItems[3].Label + ": 4_"), nullptr);
    const std::vector<const DrawItem*> quads = Items(ItemTriangleList);
    ASSERT_EQ(quads.size(), 3u);  // the box behind entry 3, the pointer's rim and dot
    const ClickItem& e = ClickItems[3];
    EXPECT_FLOAT_EQ(quads[0]->Position.x, e.X + e.Width / 2);
    EXPECT_FLOAT_EQ(quads[0]->Position.y, e.Y - e.Height / 2);
    EXPECT_FLOAT_EQ(quads[0]->Scale.x, e.Width);
    EXPECT_FLOAT_EQ(quads[0]->Scale.y, e.Height);
    EXPECT_NE(quads[0]->AlphaBlendEnable, 0);
    for (const DrawItem* pointer : {quads[1], quads[2]}) {
        EXPECT_FLOAT_EQ(pointer->Position.x, 0.25f);
        EXPECT_FLOAT_EQ(pointer->Position.y, -0.5f);
        EXPECT_LT(pointer->Scale.x, 0.1f);
    }
    EXPECT_GT(quads[1]->Scale.x, quads[2]->Scale.x);  // the dot lies inside its rim

    Press(13);
    ResetDrawList();
    AddEditorOverlay();
    EXPECT_EQ(Items(ItemTriangleList).size(), 2u);  // no entry is being edited
}

TEST_F(EditorOverlay, WithoutTheUnitSquareOnlyTextIsDrawn) {
    NameSquare("P");
    ClickEntry(3);
    AddEditorOverlay();
    EXPECT_TRUE(Items(ItemTriangleList).empty());
    EXPECT_EQ(Items(ItemText).size(), ClickItems.size() + 2);
}

}  // namespace
