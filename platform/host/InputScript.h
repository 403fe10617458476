// The scripted-input format shared by headless runs (--input) and recordings (--record):
//   N key NAME down|up    N key NAME down notype    N type TEXT    N mouse X Y    N click
//   N time MICROSECONDS   session SECONDS   answer yes|no   scale N
// N is the pass before which the event applies; '#' starts a comment. A key down also types the
// key's character unless marked notype. Recordings mark the key downs of typing keys so and
// write each character the window received as typed text: only the live keyboard knows what a
// key typed (Shift, Caps Lock, the layout).
//
// "N time US": the frame of pass N was shown US microseconds after the one before it (pass 1:
// after the start); passes without one take the run's fixed step. "session S" makes the script
// a recorded session that began S seconds after midnight (the time of day the random source is
// seeded from): its N is the pass after whose frame the event came, so its typing, clicks and
// key-up handlers run after frame N and its key state counts from pass N + 1 on, in the order
// written; N may be 0 (before the first frame). "answer" is the display question's answer and
// "scale" the internal resolution at the start: a recording keeps both, as they shape the frames.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

struct ScriptEvent {
    enum class Kind { KeyDown, KeyUp, Type, Mouse, Click, Time, Session, Answer, Scale };
    int pass = 0;
    Kind kind = Kind::Click;
    int key = 0;           // virtual-key code for KeyDown / KeyUp
    bool types = true;     // KeyDown: also delivers the key's character as a key press
    std::string text;      // Type: the characters to deliver as key presses
    int x = 0, y = 0;      // Mouse
    uint64_t micros = 0;   // Time: how long the pass took
    uint32_t seconds = 0;  // Session: its start, seconds after midnight
    bool yes = true;       // Answer
    int scale = 1;         // Scale: 1 to 4
};

// The longest pass a script may time: a day.
constexpr uint64_t kMaxPassMicros = 86'400'000'000ull;

// Parses a whole script; on a bad line returns nothing and sets error to "line N: reason".
std::optional<std::vector<ScriptEvent>> ParseInputScript(std::istream& in, std::string& error);

// The key names a script may use, for messages.
extern const char* const kKeyNameList;
// Virtual-key code of a key name (A-Z 0-9 LEFT ... F12) in any case, or 0.
int KeyCodeFromName(const std::string& name);
// The name the script uses for a virtual-key code, or "" when it has none.
std::string KeyNameFromCode(int key);
// The character a key types on a plain US layout (letters lower case unless shifted), or 0.
int16_t CharacterOfKey(int key, bool shift);
// The control character a window key types (Tab, Enter, Backspace, Esc), or 0: printable
// characters come from the system's text input.
int16_t ControlCharacterOfKey(int key);
// The shift argument of a key-up handler from the keys held: Shift 1, Ctrl 2, Alt 4.
int16_t ShiftStateOf(const bool keyDown[]);
// Formats one event as a script line (without the newline).
std::string FormatScriptEvent(const ScriptEvent& e);
