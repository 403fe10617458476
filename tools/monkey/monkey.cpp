// monkey: prints an input script (for velmora --headless --input) in which a curious or careless
// person plays with the program: keys held and tapped in any combination, clicks anywhere and
// on the editor's menu entries, values typed that are huge, negative, hexadecimal, not numbers
// or empty, structural edits in bursts and in any order. The same seed gives the same script.
//
//   monkey [--seed N] [--passes N] [--res hi|lo] [--archive FILE]
//
// The menu entries are aimed at from the "CLICK" text of the archive (Data.kqx beside this
// program unless --archive says otherwise); without it the clicks land anywhere. Esc is never
// pressed, so the run lasts its --frames; every key held is let go by the last pass.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/Declarations.h"
#include "platform/host/System.h"
#include "resources/Archive.h"
#include "window/ClickMenu.h"

namespace {

constexpr int kExitUsage = 2;

const char* const kUsage =
    "usage: monkey [--seed N] [--passes N] [--res hi|lo] [--archive FILE]\n"
    "prints an input script of random play for velmora --headless --input\n";

struct Options {
    uint32_t seed = 1;
    int passes = 2000;
    bool hi = true;
    std::string archive;
};

struct Point {
    int x, y;
};

// Pixels of the frame that hit each menu entry, found the way the program maps the pointer.
std::vector<std::vector<Point>> EntryPixels(const std::string& archivePath, int width, int height) {
    std::vector<std::vector<Point>> pixels;
    std::vector<ClickItem> items;
    try {
        const Archive archive = ReadArchiveFile(archivePath);
        const int index = FindEntry(archive, "CLICK", EntryTypeText);
        if (index < 0) return pixels;
        const std::vector<uint8_t> bytes = ReadEntryBytes(archive, index);
        items = ParseClickItems(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
            EntrySource(archive, index));
    } catch (const RuntimeError& e) {
        std::cerr << "monkey: no menu entries to aim at (" << e.what() << ")\n";
        return pixels;
    }
    RenderWidth = width;
    RenderHeight = height;
    PixelScale = 2.0f / static_cast<float>(width);
    pixels.resize(items.size());
    for (int y = 0; y < height; y += 2) {
        for (int x = 0; x < width; x += 2) {
            const D3DVECTOR p = ScreenToWorldRounded(float(x), float(y), 2.4f);
            for (size_t i = 0; i < items.size(); ++i) {
                const ClickItem& c = items[i];
                if (c.X < p.x && p.x < c.X + c.Width && c.Y - c.Height < p.y && p.y < c.Y) {
                    pixels[i].push_back({x, y});
                }
            }
        }
    }
    return pixels;
}

class Monkey {
  public:
    Monkey(const Options& o, std::vector<std::vector<Point>> entries)
        : rng_(o.seed),
          passes_(o.passes),
          width_(o.hi ? 640 : 320),
          height_(o.hi ? 480 : 240),
          entries_(std::move(entries)) {}

    void Play() {
        // Now and then the built-in triangle instead of the palm: Ctrl and Shift at the start.
        if (Chance(0.15)) {
            Hold(1, "CTRL", 3 + Below(5));
            Hold(1, "SHIFT", 3 + Below(5));
        }
        for (int pass = 1; pass <= passes_; ++pass) {
            // Quiet stretches and busy ones, as a person plays.
            if (busyUntil_ < pass && Chance(0.01)) busyUntil_ = pass + 20 + Below(200);
            const double rate = pass <= busyUntil_ ? 0.5 : 0.08;
            if (Chance(rate)) Act(pass);
        }
        for (const auto& [pass, lines] : script_) {
            for (const std::string& l : lines) std::cout << pass << ' ' << l << '\n';
        }
    }

  private:
    std::mt19937 rng_;
    int passes_, width_, height_;
    std::vector<std::vector<Point>> entries_;
    std::map<int, std::vector<std::string>> script_;
    std::map<std::string, int> held_;  // key name -> the pass it is let go
    int busyUntil_ = 0;

    int Below(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
    template <typename T>
    const T& Pick(const std::vector<T>& v) {
        return v[static_cast<size_t>(Below(static_cast<int>(v.size())))];
    }

    void Line(int pass, const std::string& text) {
        script_[std::min(std::max(pass, 1), passes_)].push_back(text);
    }

    // Holds a key from pass for a number of passes; a key already held is left as it is.
    void Hold(int pass, const std::string& name, int length, bool types = true) {
        auto it = held_.find(name);
        if (it != held_.end() && it->second >= pass) return;
        const int until = std::min(pass + std::max(length, 0), passes_);
        Line(pass, "key " + name + (types ? " down" : " down notype"));
        Line(until, "key " + name + " up");
        held_[name] = until;
    }

    void ClickAt(int pass, Point p) {
        Line(pass, "mouse " + std::to_string(p.x) + " " + std::to_string(p.y));
        Line(pass, "click");
    }

    void ClickEntry(int pass, int entry) {
        if (entry < 0 || entry >= static_cast<int>(entries_.size()) ||
            entries_[static_cast<size_t>(entry)].empty()) {
            ClickAnywhere(pass);
            return;
        }
        ClickAt(pass, Pick(entries_[static_cast<size_t>(entry)]));
    }

    void ClickAnywhere(int pass) {
        // Mostly inside the frame, sometimes far outside it.
        if (Chance(0.8)) {
            ClickAt(pass, {Below(width_), Below(height_)});
        } else {
            ClickAt(pass, {Below(4 * width_) - 2 * width_, Below(4 * height_) - 2 * height_});
        }
    }

    std::string Value() {
        static const std::vector<std::string> odd = {
            "",           "-",          ".",     "-.",     "..--",     "E",         "1E",
            "1E400",      "-1E400",     "1D5",   "FF0000", "FFFFFFFF", "100000000", "7FFFFFFF",
            "80000000",   "-0",         "0.5",   "2.5",    "32767",    "32768",     "-32769",
            "2147483647", "2147483648", "1.5.5", "--1",
        };
        const std::string digits = "0123456789";
        const std::string hex = "0123456789ABCDEF";
        const std::string allowed = "0123456789.-ABCDEF";
        std::string v;
        switch (Below(7)) {
            case 0:
                return Pick(odd);
            case 1:  // huge
                for (int i = 0, n = 10 + Below(40); i < n; ++i) v += digits[Below(10)];
                return v;
            case 2:  // negative
                v = "-";
                for (int i = 0, n = 1 + Below(6); i < n; ++i) v += digits[Below(10)];
                if (Chance(0.5)) v += "." + std::string(1, digits[Below(10)]);
                return v;
            case 3:  // hexadecimal
                for (int i = 0, n = 1 + Below(10); i < n; ++i) v += hex[Below(16)];
                return v;
            case 4:  // anything the editor takes, in any order
                for (int i = 0, n = Below(12); i < n; ++i) v += allowed[Below(18)];
                return v;
            case 5:  // what it does not take: lower case, blanks, signs, punctuation
                for (int i = 0, n = 1 + Below(8); i < n; ++i) v += char(33 + Below(94));
                return v;
            default:  // a small, sensible number
                return std::to_string(Below(200) - 20);
        }
    }

    // The script's typed text: characters the format spells by name are written so.
    static std::string Escaped(const std::string& text) {
        std::string out;
        for (char c : text) {
            if (c == '#')
                out += "{HASH}";
            else if (c == '{')
                out += "{LBRACE}";
            else if (c == ' ')
                out += "{SPACE}";
            else
                out += c;
        }
        return out;
    }

    void TypeValue(int pass) {
        std::string text;
        for (int i = 0, n = Below(3); i < n; ++i) text += "{BACKSPACE}";
        text += Escaped(Value());
        if (Chance(0.2)) text += "{BACKSPACE}";
        if (Chance(0.15)) {
            // Shift+Enter keeps editing the same entry.
            Hold(pass, "SHIFT", 1, false);
            Line(pass, "type " + (text.empty() ? std::string("{ENTER}") : text + "{ENTER}"));
        } else if (Chance(0.9)) {
            Line(pass, "type " + text + "{ENTER}");
        } else if (!text.empty()) {
            Line(pass, "type " + text);  // left unconfirmed
        }
    }

    void Act(int pass) {
        static const std::vector<std::string> moving = {"LEFT", "RIGHT", "UP",   "DOWN", "A",
                                                        "Z",    "ALT",   "CTRL", "SHIFT"};
        static const std::vector<std::string> tapped = {"P",     "F1",    "F2",       "TAB",
                                                        "SPACE", "ENTER", "BACKSPACE"};
        static const std::vector<std::string> letters = {"C", "X", "B", "V", "M", "N", "D", "S"};
        static const std::vector<std::string> others = {"0", "5", "9", "E", "F", "Q", "F5", "F12"};
        const int roll = Below(100);
        if (roll < 24) {
            Hold(pass, Pick(moving), 1 + Below(Chance(0.2) ? 400 : 60));
        } else if (roll < 32) {
            Hold(pass, Pick(tapped), Below(3));
        } else if (roll < 44) {
            // The editor's selection keys: capitals with Shift, or typed straight.
            const std::string key = Pick(letters);
            if (Chance(0.5)) {
                Hold(pass, "SHIFT", 1 + Below(2), false);
                Hold(pass, key, Below(2));
            } else {
                std::string text;
                for (int i = 0, n = 1 + Below(Chance(0.1) ? 60 : 4); i < n; ++i) text += key;
                Line(pass, "type " + text);
            }
        } else if (roll < 47) {
            Hold(pass, Pick(others), Below(3));
        } else if (roll < 62) {
            ClickEntry(pass, Below(25));
            if (Chance(0.8)) TypeValue(pass + Below(3));
        } else if (roll < 70) {
            ClickAnywhere(pass);
        } else if (roll < 88) {
            TypeValue(pass);
        } else {
            // Structural edits, sometimes many in a row: whole groups or lists deleted.
            const int entry = 25 + Below(8);
            const int times = Chance(0.3) ? 1 + Below(150) : 1 + Below(3);
            for (int i = 0; i < times; ++i) ClickEntry(pass + i / 4, entry);
        }
    }
};

bool ParseNumber(const char* text, long long low, long long high, long long& out) {
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text || *end != 0 || v < low || v > high) return false;
    out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    o.archive = ExecutableFolderOfProcess() + "Data.kqx";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        long long n = 0;
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (a == "--seed" && v && ParseNumber(v, 0, 4294967295LL, n)) {
            o.seed = static_cast<uint32_t>(n);
        } else if (a == "--passes" && v && ParseNumber(v, 1, 100000000, n)) {
            o.passes = static_cast<int>(n);
        } else if (a == "--res" && v && (std::string(v) == "hi" || std::string(v) == "lo")) {
            o.hi = std::string(v) == "hi";
        } else if (a == "--archive" && v) {
            o.archive = v;
        } else {
            std::cerr << "monkey: wrong or incomplete option '" << a << "'\n" << kUsage;
            return kExitUsage;
        }
        ++i;
    }
    const int width = o.hi ? 640 : 320, height = o.hi ? 480 : 240;
    Monkey(o, EntryPixels(o.archive, width, height)).Play();
    return std::cout ? 0 : 1;
}
