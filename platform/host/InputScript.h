// The scripted-input format shared by headless runs (--input) and recordings (--record):
//   N key NAME down|up    N type TEXT    N mouse X Y    N click
// N is the pass before which the event applies; '#' starts a comment.
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
    int key = 0;       // virtual-key code for KeyDown / KeyUp
    std::string text;  // Type: the characters to deliver as key presses
    int x = 0, y = 0;  // Mouse
};

// Parses a whole script; on a bad line returns nothing and sets error to "line N: reason".
std::optional<std::vector<ScriptEvent>> ParseInputScript(std::istream& in, std::string& error);

// Virtual-key code of a key name (A-Z 0-9 LEFT ... F12), or 0.
int KeyCodeFromName(const std::string& name);
// The name the script uses for a virtual-key code, or "" when it has none.
std::string KeyNameFromCode(int key);
// The character a key types (letters lower case unless shifted), or 0 for none.
int16_t CharacterOfKey(int key, bool shift);
// Formats one event as a script line (without the newline).
std::string FormatScriptEvent(const ScriptEvent& e);
