// A live session's input as an input script, so the same session can be replayed headless.
// Events carry the pass the headless host would apply them in: presented frames + 1.
//
// Every key down and up and every character the window receives is handed in. A script's "key
// down" also types the key's character, so the character that the key just pressed types on
// replay is not recorded again. The replay types what the key types on a
// plain US layout; a key whose live character differs (Caps Lock, another layout) is replayed
// with both. '#' and '{' cannot be written in a script and are left out; the program reacts to
// neither.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "platform/dx/DxTypes.h"
#include "platform/host/InputScript.h"

struct InputRecording {
    std::vector<ScriptEvent> events;
    size_t written = 0;          // events already handed to the file; they no longer change
    int16_t typedByKeyDown = 0;  // the character the last key-down types on replay
    POINTAPI mouse{-1, -1};      // the position last recorded
};

void RecordKeyDown(InputRecording& r, int pass, int key, bool shift);
void RecordKeyUp(InputRecording& r, int pass, int key);
// A character the window received as a key press.
void RecordCharacter(InputRecording& r, int pass, int16_t character);
// Recorded only when the position changed; several moves in one pass leave the last.
void RecordMouse(InputRecording& r, int pass, POINTAPI position);
void RecordClick(InputRecording& r, int pass);
// Writes the events not yet written, one script line each, and flushes.
void WriteNewEvents(InputRecording& r, std::ostream& out);
