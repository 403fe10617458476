// A live session's input as an input script, so the same session can be replayed headless.
// Events carry the pass the headless host would apply them in: presented frames + 1.
//
// Every key down and up and every character the window receives is handed in. Key downs of
// typing keys are written "notype" and every character as typed text: what a key types depends
// on Shift, Caps Lock, Ctrl and the layout, which only the live keyboard knows. Characters a script
// cannot hold (other control characters than Tab, Enter and Backspace) are left out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "platform/dx/DxTypes.h"
#include "platform/host/InputScript.h"

struct InputRecording {
    std::vector<ScriptEvent> events;
    size_t written = 0;      // events already handed to the file; they no longer change
    POINTAPI mouse{-1, -1};  // the position last recorded
};

void RecordKeyDown(InputRecording& r, int pass, int key);
void RecordKeyUp(InputRecording& r, int pass, int key);
// A character the window received as a key press.
void RecordCharacter(InputRecording& r, int pass, int16_t character);
// Recorded only when the position changed; several moves in one pass leave the last.
void RecordMouse(InputRecording& r, int pass, POINTAPI position);
void RecordClick(InputRecording& r, int pass);
// Writes the events not yet written, one script line each, and flushes.
void WriteNewEvents(InputRecording& r, std::ostream& out);
