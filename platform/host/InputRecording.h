// A live session's input as an input script, so the same session can be replayed headless.
// The script is a session (see InputScript.h): it begins with the time of day the session
// started, each event carries the frames presented before it came, and each pass its time.
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

// The session's start, seconds after midnight: the first line.
void RecordSession(InputRecording& r, uint32_t startSeconds);
// The display question's answer, and the internal resolution at the start.
void RecordAnswer(InputRecording& r, bool yes);
void RecordScale(InputRecording& r, int scale);
// Pass's frame was shown micros after the one before (clamped to the longest a script holds).
void RecordPassTime(InputRecording& r, int pass, uint64_t micros);
void RecordKeyDown(InputRecording& r, int pass, int key);
void RecordKeyUp(InputRecording& r, int pass, int key);
// A character the window received as a key press.
void RecordCharacter(InputRecording& r, int pass, int16_t character);
// Recorded only when the position changed; several moves in one pass leave the last.
void RecordMouse(InputRecording& r, int pass, POINTAPI position);
void RecordClick(InputRecording& r, int pass);
// Writes the events not yet written, one script line each, and flushes.
void WriteNewEvents(InputRecording& r, std::ostream& out);
