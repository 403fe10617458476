// The live geometry editor: clicking a menu entry selects one value of the first model (or of
// the first scene object's joints) and puts its text into an edit buffer, typing and Enter write
// it back; some entries insert or delete a vertex, triangle, group or group-list slot at once;
// letter keys move the selections. Everything stays in memory.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dx/DxTypes.h"

// SelectedItem when no menu entry is selected.
constexpr uint8_t kNoMenuEntry = 255;

// Menu entry numbers that mean something: 0 to 24 are values, 25 to 32 structural edits.
enum EditorEntry : uint8_t {
    EntryVertexNumber = 0,
    EntryVertexX,
    EntryVertexY,
    EntryVertexZ,
    EntryNormalX,
    EntryNormalY,
    EntryNormalZ,
    EntryVertexColour,
    EntryTextureU,
    EntryTextureV,
    EntryTriangleNumber,
    EntryCorner1,
    EntryCorner2,
    EntryCorner3,
    EntryGroupNumber,
    EntryGroupOffsetX,
    EntryGroupOffsetY,
    EntryGroupOffsetZ,
    EntryJointAngleX,
    EntryJointAngleY,
    EntryJointAngleZ,
    EntryFirstVertex,
    EntryGroupVertexCount,
    EntryListSlotNumber,
    EntryListSlotGroup,
    EntryInsertVertex,
    EntryDeleteVertex,
    EntryInsertTriangle,
    EntryDeleteTriangle,
    EntryInsertGroup,
    EntryDeleteGroup,
    EntryInsertListSlot,
    EntryDeleteListSlot,
};

inline uint8_t SelectedItem = 0;
inline int16_t EditMode = 0;  // -1 while a value is being typed
inline std::string EditText;
inline int32_t SelectedVertex = 0;
inline int32_t SelectedTriangle = 0;  // its corners are Indices 3T, 3T + 1 and 3T + 2
inline int32_t SelectedGroup = 0;
inline int32_t SelectedListSlot = 0;

// The label shown instead of the entry's own when a vertex cannot be inserted.
constexpr const char* kNoRoomForVertex = "No room: 512 vertices at most";
// Shown instead of the typed text when the value cannot be stored where it goes.
constexpr const char* kNotStoredPrefix = "Not stored: ";

// Selections back to 0, edit mode off, no menu entry, empty edit text.
void ResetEditorState();

// A click at the pointer (camera-space units): selects the last menu entry that holds it, shows
// its label, and either starts editing its value or makes its structural edit at once.
void EditorClick(const D3DVECTOR& pointer);
// Typing into the edit text, Backspace, and Enter, which shows the text and writes the value
// (Shift held keeps edit mode on for another value).
void EditorTyping(int16_t keyAscii);
// The selection letters C/X (vertex), B/V (triangle), M/N (group) and D/S (list slot); only
// outside edit mode, where C, B and D are not typed as digits.
void EditorSelectionKeys(int16_t keyAscii);
// Keeps the selections inside the model's lists (wrapping around) and the current triangle,
// group and list slot consistent with the sizes.
void RangeCheck();

// The text of the value a menu entry stands for; empty for an entry without a value or a
// selection outside its list.
std::string EditorValueText(int entry);
// Writes text as the value of a menu entry; false when there is nothing to write to or the
// number does not fit the field.
bool WriteEditorValue(int entry, const std::string& text);
