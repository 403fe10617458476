// The scripted-input format shared by headless runs (--input) and recordings (--record):
//   N key NAME down|up    N key NAME down notype    N type TEXT    N mouse X Y    N click
// N is the pass before which the event applies; '#' starts a comment. A key down also types the
// key's character unless marked notype. Recordings mark the key downs of typing keys so and
// write each character the window received as typed text: only the live keyboard knows what a
// key typed (Shift, Caps Lock, the layout).
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

struct ScriptEvent {
    enum class Kind { KeyDown, KeyUp, Type, Mouse, Click };
    int pass = 0;
    Kind kind = Kind::Click;
    int key = 0;        // virtual-key code for KeyDown / KeyUp
    bool types = true;  // KeyDown: also delivers the key's character as a key press
    std::string text;   // Type: the characters to deliver as key presses
    int x = 0, y = 0;   // Mouse
};

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
// Formats one event as a script line (without the newline).
std::string FormatScriptEvent(const ScriptEvent& e);
