// The editor's menu text ("CLICK"): any text is either refused naming its line or read into
// entries whose numbers are finite, one per non-blank line; and clicks anywhere on whatever menu
// it makes, with any number of entries, select only entries that exist.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "animation/Animations.h"
#include "platform/host/HeadlessHost.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "window/ClickMenu.h"
#include "window/GeometryEditor.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A click shows the entry's label as floating text, which reads the host's clock.
    static HeadlessHost host{HeadlessOptions{}};
    SetActiveHost(&host);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const DataSource source{"fuzz.kqx", "CLICK", 1};
    std::vector<ClickItem> items;
    try {
        items = ParseClickItems(text, source);
    } catch (const RuntimeError& e) {
        if (std::string_view(e.what()).find("line ") == std::string_view::npos) __builtin_trap();
        return 0;
    }
    size_t lines = 0;
    for (char c : text) lines += c == '\n';
    if (items.size() > lines + 1) __builtin_trap();
    for (const ClickItem& c : items) {
        if (!std::isfinite(c.X) || !std::isfinite(c.Y) || !std::isfinite(c.Width) ||
            !std::isfinite(c.Height) || c.Label != c.Name) {
            __builtin_trap();
        }
    }

    // The menu in the editor: a click at each entry's middle, then Enter on what it selected.
    ResetModelTables();
    Models[0] = BuiltInTriangle();
    Models[0].Loaded = 1;
    ResetSceneObjectTables();
    // Each click's floating label is an animation that only frames would retire; without a
    // reset they pile up run after run until the table no longer fits in memory.
    ResetAnimationTables();
    CreateSceneObject(Models[0].Name, D3DMATERIAL7{}, {}, {}, {1, 1, 1}, "Char1", "0", 0, 0, -1);
    ClickItems = items;
    ResetEditorState();
    for (size_t i = 0; i < items.size() && i < 300; ++i) {
        const ClickItem& c = items[i];
        EditorClick(D3DVECTOR{c.X + c.Width / 2, c.Y - c.Height / 2, 2.4f});
        if (SelectedItem != kNoMenuEntry && SelectedItem >= ClickItems.size()) __builtin_trap();
        EditorTyping('1');
        EditorTyping(13);
        RangeCheck();
    }
    ClickItems.clear();
    return 0;
}
