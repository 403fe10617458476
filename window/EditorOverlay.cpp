#include "window/EditorOverlay.h"

#include <algorithm>
#include <optional>
#include <string>

#include "render/DrawList.h"
#include "render/RenderGlobals.h"
#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "window/ClickMenu.h"
#include "window/GeometryEditor.h"

namespace {

constexpr uint8_t kFlags = FlagScreenSpace | FlagAlwaysVisible;
constexpr uint8_t kBlendZero = 1, kBlendOne = 2;
constexpr int16_t kTrue = -1;
constexpr int32_t kWhite = 0xFFFFFF;
constexpr int32_t kBlack = 0;
// Text of size 1 in camera units: the advance and height of one glyph.
constexpr float kGlyphAdvance = 11 * 0.005f;
constexpr float kGlyphHeight = 12 * 0.005f;
// Below this the labels stop being readable; a crowded menu then overflows its boxes instead.
constexpr float kSmallestText = 0.5f;
constexpr float kLabelIndent = 0.01f;
// The status lines sit in the free middle below the view's centre.
constexpr float kStatusTop = -1.06f;
constexpr float kEditLineTop = -0.94f;
constexpr float kPointerSize = 0.025f, kPointerRim = 0.01f;

struct PartRef {
    int32_t set = 0, part = 0;
};

// The COMMON set's unit square; a set without one gets text only.
std::optional<PartRef> UnitSquare() {
    if (CommonSets.empty()) return std::nullopt;
    const int32_t set = CommonSets.front();
    if (set < 0 || static_cast<size_t>(set) >= GeometrySets.size()) return std::nullopt;
    const std::vector<GeometryPart>& parts = GeometrySets[static_cast<size_t>(set)].Parts;
    for (size_t p = 0; p < parts.size(); ++p) {
        std::string name = parts[p].PartName;
        name.erase(name.find_last_not_of(' ') + 1);
        if (name == "SQUARE") return PartRef{set, static_cast<int32_t>(p)};
    }
    return std::nullopt;
}

size_t ReachableEntries() {
    return std::min<size_t>(ClickItems.size(), kNoMenuEntry);
}

// One size for every label: the largest at which each fits its box.
float LabelScale() {
    float scale = 1;
    for (size_t i = 0; i < ReachableEntries(); ++i) {
        const ClickItem& e = ClickItems[i];
        if (e.Label.empty()) continue;
        const float needed = kGlyphAdvance * static_cast<float>(e.Label.size());
        scale = std::min(scale, (e.Width - 2 * kLabelIndent) / needed);
    }
    return std::max(scale, kSmallestText);
}

void AddText(const std::string& text, float x, float top, float scale, int32_t colour) {
    const int32_t n = AddTextItem(text, x, top, kPointerDepth, colour, 0, 0, 0, 1, kBlendOne,
                                  kBlendOne, -1, kTrue, kTrue, kFlags, -1, 0);
    DrawList[static_cast<size_t>(n)].Scale = D3DVECTOR{scale, scale, 1};
}

void AddCentredText(const std::string& text, float top, float scale, int32_t colour) {
    const float width = kGlyphAdvance * scale * static_cast<float>(text.size());
    AddText(text, -width / 2, top, scale, colour);
}

void AddBox(const PartRef& square, float centreX, float centreY, float width, float height,
            int32_t colour, bool additive) {
    MeshItemParams p;
    p.x = centreX;
    p.y = centreY;
    p.z = kPointerDepth;
    p.setIndex = square.set;
    p.partIndex = square.part;
    p.srcBlend = kBlendOne;
    p.destBlend = additive ? kBlendOne : kBlendZero;
    p.alphaBlend = additive ? kTrue : 0;
    p.flags = kFlags;
    p.sx = width;
    p.sy = height;
    p.colour = colour;
    AddMeshItem(p);
}

int32_t Dimmed(int32_t colour) {
    return (colour >> 1) & 0x7F7F7F;
}

std::string SelectionLine() {
    const ModelData& m = Models.front();
    auto of = [](int64_t selected, int64_t count) {
        return std::to_string(selected) + "/" + std::to_string(count);
    };
    return "Vertex " + of(SelectedVertex, m.VertexCount) + "  Triangle " +
           of(SelectedTriangle, m.IndexCount / 3) + "  Group " + of(SelectedGroup, m.GroupCount) +
           "  Slot " + of(SelectedListSlot, m.GroupListCount);
}

}  // namespace

void AddEditorOverlay() {
    if (!EditorOverlayVisible || Models.empty() || Models.front().Loaded == 0) return;
    const std::optional<PartRef> square = UnitSquare();
    const float scale = LabelScale();
    const bool editing = EditMode != 0 && SelectedItem < ReachableEntries();

    if (editing && square) {
        const ClickItem& e = ClickItems[SelectedItem];
        AddBox(*square, e.X + e.Width / 2, e.Y - e.Height / 2, e.Width, e.Height, Dimmed(e.Colour),
               true);
    }
    for (size_t i = 0; i < ReachableEntries(); ++i) {
        const ClickItem& e = ClickItems[i];
        const float top = e.Y - std::max(0.0f, (e.Height - kGlyphHeight * scale) / 2);
        AddText(e.Label, e.X + kLabelIndent, top, scale, e.Colour);
    }

    AddCentredText(SelectionLine(), kStatusTop, scale, kWhite);
    if (editing) {
        AddCentredText(ClickItems[SelectedItem].Label + ": " + EditText + "_", kEditLineTop, scale,
                       kWhite);
    }

    if (square) {
        AddBox(*square, PointerPosition.x, PointerPosition.y, kPointerSize + 2 * kPointerRim,
               kPointerSize + 2 * kPointerRim, kBlack, false);
        AddBox(*square, PointerPosition.x, PointerPosition.y, kPointerSize, kPointerSize, kWhite,
               false);
    }
}
