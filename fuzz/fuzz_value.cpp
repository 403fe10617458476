// The editor's numbers: Val's reading of any text, the hexadecimal and shortest-text writing,
// the conversions to Long, Integer and Single, and every value entry of the editor written with
// any text, followed by the selection keys and the range check.
//   byte 0: menu entry; byte 1: selection key; the rest: the typed text.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/host/HeadlessHost.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "window/GeometryEditor.h"
#include "window/ValueText.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static HeadlessHost host{HeadlessOptions{}};
    SetActiveHost(&host);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int entry = data[0];
    const int16_t key = data[1];
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    const double v = Val(text);
    if (std::isnan(v)) __builtin_trap();
    if (const auto l = ToLong(v)) {
        if (std::fabs(static_cast<double>(*l) - v) > 0.5) __builtin_trap();
        // Hex of a Long reads back as the same Long.
        if (Val("&H" + HexText(static_cast<uint32_t>(*l))) != *l) __builtin_trap();
    }
    if (const auto i = ToInteger(v)) {
        if (std::fabs(static_cast<double>(*i) - v) > 0.5) __builtin_trap();
    }
    if (const auto f = ToSingle(v)) {
        // The shortest text of a Single reads back as that Single.
        const auto back = ToSingle(Val(SingleText(*f)));
        if (!back || *back != *f) __builtin_trap();
    }
    // Any four bytes of the text as a Single: its text reads back exactly, when finite.
    if (text.size() >= 4) {
        float f;
        std::memcpy(&f, text.data(), 4);
        if (std::isfinite(f)) {
            const auto back = ToSingle(Val(SingleText(f)));
            if (!back || *back != f) __builtin_trap();
        }
    }

    ResetModelTables();
    Models[0] = BuiltInTriangle();
    Models[0].Loaded = 1;
    ResetSceneObjectTables();
    CreateSceneObject(Models[0].Name, D3DMATERIAL7{}, {}, {}, {1, 1, 1}, "Char1", "0", 0, 0, -1);
    ResetEditorState();
    if (WriteEditorValue(entry, text)) {
        // What was written shows as text that writes the same value again.
        const std::string shown = EditorValueText(entry);
        if (!shown.empty()) {
            if (!WriteEditorValue(entry, shown)) __builtin_trap();
            if (EditorValueText(entry) != shown) __builtin_trap();
        }
    }
    EditorSelectionKeys(key);
    RangeCheck();
    const ModelData& m = Models[0];
    if (SelectedVertex < 0 || SelectedVertex >= m.VertexCount) __builtin_trap();
    if (SelectedGroup < 0 || SelectedGroup >= m.GroupCount) __builtin_trap();
    if (SelectedListSlot < 0 || SelectedListSlot >= m.GroupListCount) __builtin_trap();
    for (size_t e = 0; e <= EntryListSlotGroup; ++e) EditorValueText(static_cast<int>(e));
    return 0;
}
