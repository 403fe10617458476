// The editor made visible. Its menu entries are invisible hot spots and the cursor is hidden,
// so F1 shows each entry's label where it can be clicked, marks the entry being edited, lists
// the current selections and draws a small pointer at the mouse. Off at start.
#pragma once

inline bool EditorOverlayVisible = false;

// The depth at which camera-space units are the pointer's units: the pointer is the point at
// depth 1.2 scaled by 1.33, and the projection widens x by 1.5 (and y by 2.0 over a 4:3 frame).
constexpr float kPointerDepth = 1.2f * 1.33f * 1.5f;

// Appends this frame's overlay items (screen-space text and quads) to the draw list while the
// overlay is shown and the first model is loaded.
void AddEditorOverlay();
