#include "platform/host/InputScript.h"

#include <cctype>
#include <map>
#include <sstream>

#include "platform/host/Host.h"

namespace {

struct NamedKey {
    const char* name;
    int code;
};

constexpr NamedKey kNamedKeys[] = {
    {"LEFT", vk::LEFT},   {"RIGHT", vk::RIGHT},  {"UP", vk::UP},        {"DOWN", vk::DOWN},
    {"SHIFT", vk::SHIFT}, {"CTRL", vk::CONTROL}, {"ALT", vk::MENU},     {"ESC", vk::ESCAPE},
    {"TAB", vk::TAB},     {"SPACE", vk::SPACE},  {"ENTER", vk::RETURN}, {"BACKSPACE", vk::BACK},
};

// Scripts are written by hand: "Click", "KEY A Down" read as their lower-case words.
std::string Lower(std::string word) {
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

// Expands {TAB} {ENTER} {BACKSPACE} {SPACE} {HASH} {LBRACE} into their characters.
bool ExpandTypedText(const std::string& raw, std::string& out) {
    out.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '{') {
            out += raw[i];
            continue;
        }
        const size_t close = raw.find('}', i);
        if (close == std::string::npos) return false;
        const std::string name = raw.substr(i + 1, close - i - 1);
        if (name == "TAB")
            out += '\t';
        else if (name == "ENTER")
            out += '\r';
        else if (name == "BACKSPACE")
            out += '\b';
        else if (name == "SPACE")
            out += ' ';
        else if (name == "HASH")
            out += '#';
        else if (name == "LBRACE")
            out += '{';
        else
            return false;
        i = close;
    }
    return true;
}

// A whole number written with digits only, within 0..high: no sign, no blank, no exponent.
bool Digits(const std::string& text, uint64_t high, uint64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > high) return false;
    out = v;
    return true;
}

}  // namespace

const char* const kKeyNameList =
    "A-Z 0-9 LEFT RIGHT UP DOWN SHIFT CTRL ALT ESC TAB SPACE ENTER BACKSPACE F1-F12";

int KeyCodeFromName(const std::string& written) {
    // Scripts are written by hand: "Left", "left" and "LEFT" are the same key.
    std::string name = written;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z') return name[0];
    if (name.size() == 1 && name[0] >= '0' && name[0] <= '9') return name[0];
    for (const auto& k : kNamedKeys) {
        if (name == k.name) return k.code;
    }
    if (name.size() >= 2 && name[0] == 'F') {
        try {
            const int n = std::stoi(name.substr(1));
            if (n >= 1 && n <= 12 && std::to_string(n) == name.substr(1)) return vk::F1 + n - 1;
        } catch (...) {
        }
    }
    return 0;
}

std::string KeyNameFromCode(int key) {
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, char(key));
    for (const auto& k : kNamedKeys) {
        if (key == k.code) return k.name;
    }
    if (key >= vk::F1 && key <= vk::F12) return "F" + std::to_string(key - vk::F1 + 1);
    return "";
}

int16_t CharacterOfKey(int key, bool shift) {
    if (key >= 'A' && key <= 'Z') return static_cast<int16_t>(shift ? key : key + 32);
    if (key >= '0' && key <= '9') return static_cast<int16_t>(key);
    switch (key) {
        case vk::SPACE:
            return 32;
        case vk::TAB:
            return 9;
        case vk::RETURN:
            return 13;
        case vk::BACK:
            return 8;
        default:
            return 0;
    }
}

std::optional<std::vector<ScriptEvent>> ParseInputScript(std::istream& in, std::string& error) {
    std::vector<ScriptEvent> events;
    std::string line;
    int lineNo = 0;
    int sessionLine = 0;
    std::map<int, int> timeLines;  // pass -> the line that timed it
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        return std::nullopt;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        // Editors on some systems start a UTF-8 file with a byte-order mark.
        if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream ls(line);
        std::string passText;
        if (!(ls >> passText)) continue;
        ScriptEvent e;
        const std::string word = Lower(passText);
        if (word == "session") {
            if (sessionLine != 0) {
                return fail("a second session line (the first is line " +
                            std::to_string(sessionLine) + ")");
            }
            std::string value, extra;
            uint64_t seconds = 0;
            if (!(ls >> value) || !Digits(value, 86399, seconds)) {
                return fail("session needs its start in seconds after midnight, 0 to 86399");
            }
            if (ls >> extra) return fail("unexpected '" + extra + "'");
            e.kind = ScriptEvent::Kind::Session;
            e.seconds = static_cast<uint32_t>(seconds);
            sessionLine = lineNo;
            events.push_back(e);
            continue;
        }
        if (word == "answer" || word == "scale") {
            const bool answer = word == "answer";
            e.kind = answer ? ScriptEvent::Kind::Answer : ScriptEvent::Kind::Scale;
            for (const ScriptEvent& earlier : events) {
                if (earlier.kind == e.kind) return fail("a second " + word + " line");
            }
            std::string value, extra;
            ls >> value;
            uint64_t scale = 0;
            if (answer && Lower(value) != "yes" && Lower(value) != "no") {
                return fail("answer needs yes or no");
            }
            if (!answer && (!Digits(value, kMaxDisplayScale, scale) || scale < 1)) {
                return fail("scale needs a number from 1 to " + std::to_string(kMaxDisplayScale));
            }
            if (ls >> extra) return fail("unexpected '" + extra + "'");
            e.yes = !answer || Lower(value) == "yes";
            e.scale = answer ? 1 : static_cast<int>(scale);
            events.push_back(e);
            continue;
        }
        // A recorded session also has the events that came before its first frame, as pass 0.
        const int lowest = sessionLine != 0 ? 0 : 1;
        const std::string passRule = sessionLine != 0
                                         ? "pass must be a number from 0"
                                         : "pass must be a number from 1 (0 after a session line)";
        try {
            size_t used = 0;
            e.pass = std::stoi(passText, &used);
            if (used != passText.size() || e.pass < lowest) return fail(passRule);
        } catch (...) {
            return fail(passRule);
        }
        std::string verb;
        ls >> verb;
        const std::string written = verb;
        verb = Lower(verb);
        if (verb == "key") {
            std::string name, dir, extra;
            ls >> name >> dir;
            dir = Lower(dir);
            e.key = KeyCodeFromName(name);
            if (e.key == 0) {
                return fail("unknown key '" + name + "' (names: " + std::string(kKeyNameList) +
                            ")");
            }
            if (dir == "down")
                e.kind = ScriptEvent::Kind::KeyDown;
            else if (dir == "up")
                e.kind = ScriptEvent::Kind::KeyUp;
            else
                return fail("key needs down or up");
            if (ls >> extra) {
                if (Lower(extra) != "notype" || e.kind != ScriptEvent::Kind::KeyDown)
                    return fail("unexpected '" + extra + "'");
                e.types = false;
                if (ls >> extra) return fail("unexpected '" + extra + "'");
            }
        } else if (verb == "type") {
            std::string rest;
            std::getline(ls, rest);
            if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
            // Blanks before a comment or the line end are layout, not typing: a typed space
            // would start a screenshot fade. Spaces at the end are written {SPACE}.
            const size_t last = rest.find_last_not_of(" \t\r");
            rest.erase(last == std::string::npos ? 0 : last + 1);
            e.kind = ScriptEvent::Kind::Type;
            if (!ExpandTypedText(rest, e.text)) return fail("bad {NAME} in typed text");
            if (e.text.empty()) return fail("type needs text");
        } else if (verb == "mouse") {
            e.kind = ScriptEvent::Kind::Mouse;
            std::string extra;
            if (!(ls >> e.x >> e.y)) return fail("mouse needs X and Y");
            if (ls >> extra) return fail("unexpected '" + extra + "'");
        } else if (verb == "click") {
            e.kind = ScriptEvent::Kind::Click;
            std::string extra;
            if (ls >> extra) return fail("unexpected '" + extra + "'");
        } else if (verb == "time") {
            e.kind = ScriptEvent::Kind::Time;
            std::string value, extra;
            if (e.pass < 1) return fail("time needs a pass from 1: pass 0 has no frame");
            if (!(ls >> value) || !Digits(value, kMaxPassMicros, e.micros)) {
                return fail("time needs whole microseconds from 0 to " +
                            std::to_string(kMaxPassMicros));
            }
            if (ls >> extra) return fail("unexpected '" + extra + "'");
            if (const auto [at, fresh] = timeLines.emplace(e.pass, lineNo); !fresh) {
                return fail("pass " + std::to_string(e.pass) + " has a time already (line " +
                            std::to_string(at->second) + ")");
            }
        } else {
            if (written.empty())
                return fail("no event after the pass (key, type, mouse, click or time)");
            return fail("unknown event '" + written + "'");
        }
        events.push_back(e);
    }
    return events;
}

std::string FormatScriptEvent(const ScriptEvent& e) {
    std::string s = std::to_string(e.pass) + " ";
    switch (e.kind) {
        case ScriptEvent::Kind::KeyDown:
            return s + "key " + KeyNameFromCode(e.key) + (e.types ? " down" : " down notype");
        case ScriptEvent::Kind::KeyUp:
            return s + "key " + KeyNameFromCode(e.key) + " up";
        case ScriptEvent::Kind::Mouse:
            return s + "mouse " + std::to_string(e.x) + " " + std::to_string(e.y);
        case ScriptEvent::Kind::Click:
            return s + "click";
        case ScriptEvent::Kind::Time:
            return s + "time " + std::to_string(e.micros);
        case ScriptEvent::Kind::Session:
            return "session " + std::to_string(e.seconds);
        case ScriptEvent::Kind::Answer:
            return std::string("answer ") + (e.yes ? "yes" : "no");
        case ScriptEvent::Kind::Scale:
            return "scale " + std::to_string(e.scale);
        case ScriptEvent::Kind::Type: {
            std::string t;
            for (char c : e.text) {
                if (c == '\t')
                    t += "{TAB}";
                else if (c == '\r')
                    t += "{ENTER}";
                else if (c == '\b')
                    t += "{BACKSPACE}";
                else if (c == ' ')
                    t += "{SPACE}";
                else if (c == '#')
                    t += "{HASH}";
                else if (c == '{')
                    t += "{LBRACE}";
                else
                    t += c;
            }
            return s + "type " + t;
        }
    }
    return s;
}

int16_t ControlCharacterOfKey(int key) {
    if (key == vk::TAB || key == vk::RETURN || key == vk::BACK) return CharacterOfKey(key, false);
    return key == vk::ESCAPE ? 27 : 0;
}

int16_t ShiftStateOf(const bool keyDown[]) {
    return static_cast<int16_t>((keyDown[vk::SHIFT] ? 1 : 0) | (keyDown[vk::CONTROL] ? 2 : 0) |
                                (keyDown[vk::MENU] ? 4 : 0));
}
