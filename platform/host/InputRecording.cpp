#include "platform/host/InputRecording.h"

#include <algorithm>

namespace {

ScriptEvent Event(int pass, ScriptEvent::Kind kind) {
    ScriptEvent e;
    e.pass = pass;
    e.kind = kind;
    return e;
}

void Add(InputRecording& r, ScriptEvent e) {
    r.events.push_back(std::move(e));
}

// The last event while it is still open to change, or nothing.
ScriptEvent* Open(InputRecording& r, int pass, ScriptEvent::Kind kind) {
    if (r.events.size() <= r.written) return nullptr;
    ScriptEvent& last = r.events.back();
    return last.pass == pass && last.kind == kind ? &last : nullptr;
}

}  // namespace

void RecordSession(InputRecording& r, uint32_t startSeconds) {
    ScriptEvent e = Event(0, ScriptEvent::Kind::Session);
    e.seconds = startSeconds % 86400;
    Add(r, e);
}

void RecordAnswer(InputRecording& r, bool yes) {
    ScriptEvent e = Event(0, ScriptEvent::Kind::Answer);
    e.yes = yes;
    Add(r, e);
}

void RecordScale(InputRecording& r, int scale) {
    ScriptEvent e = Event(0, ScriptEvent::Kind::Scale);
    e.scale = scale;
    Add(r, e);
}

void RecordPassTime(InputRecording& r, int pass, uint64_t micros) {
    ScriptEvent e = Event(pass, ScriptEvent::Kind::Time);
    e.micros = std::min(micros, kMaxPassMicros);
    Add(r, e);
}

void RecordKeyDown(InputRecording& r, int pass, int key) {
    if (KeyNameFromCode(key).empty()) return;
    ScriptEvent e = Event(pass, ScriptEvent::Kind::KeyDown);
    e.key = key;
    // The characters arrive on their own; a key that types nothing needs no mark.
    e.types = CharacterOfKey(key, false) == 0;
    Add(r, e);
}

void RecordKeyUp(InputRecording& r, int pass, int key) {
    if (KeyNameFromCode(key).empty()) return;
    ScriptEvent e = Event(pass, ScriptEvent::Kind::KeyUp);
    e.key = key;
    Add(r, e);
}

void RecordCharacter(InputRecording& r, int pass, int16_t character) {
    const bool writable = (character >= 32 && character <= 126) || character == '\t' ||
                          character == '\r' || character == '\b';
    if (!writable) return;
    const char c = static_cast<char>(character);
    if (ScriptEvent* open = Open(r, pass, ScriptEvent::Kind::Type)) {
        open->text += c;
        return;
    }
    ScriptEvent e = Event(pass, ScriptEvent::Kind::Type);
    e.text = std::string(1, c);
    Add(r, e);
}

void RecordMouse(InputRecording& r, int pass, POINTAPI position) {
    if (position.x == r.mouse.x && position.y == r.mouse.y) return;
    r.mouse = position;
    if (ScriptEvent* open = Open(r, pass, ScriptEvent::Kind::Mouse)) {
        open->x = position.x;
        open->y = position.y;
        return;
    }
    ScriptEvent e = Event(pass, ScriptEvent::Kind::Mouse);
    e.x = position.x;
    e.y = position.y;
    Add(r, e);
}

void RecordClick(InputRecording& r, int pass) {
    Add(r, Event(pass, ScriptEvent::Kind::Click));
}

void WriteNewEvents(InputRecording& r, std::ostream& out) {
    for (; r.written < r.events.size(); ++r.written) {
        out << FormatScriptEvent(r.events[r.written]) << '\n';
    }
    out.flush();
}
