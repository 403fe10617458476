// "CLICK": the editor's 33 menu entries, one line each: label, colour (hex RRGGBB), then the
// hit rectangle's left, top, width and height in the pointer's units (x about -1.6 to 1.6, y
// about -1.2 to 1.2, y up). The entries form one column down each side of the view, leaving
// the middle free: vertex and triangle values on the left, group values on the right, each
// column ending with its insert and delete actions. Labels use only characters the font has.
#include <array>
#include <cstdio>
#include <string>

#include "tools/assetgen/ContentBuilders.h"

namespace {

struct MenuEntry {
    const char* label;
    const char* colour;
    int column;  // 0 left, 1 right
    int row;
};

constexpr const char* kVertexColour = "80FF80";
constexpr const char* kTriangleColour = "FFE070";
constexpr const char* kGroupColour = "70D0FF";
constexpr const char* kListColour = "C0A0FF";
constexpr const char* kInsertColour = "80FFC0";
constexpr const char* kDeleteColour = "FF8080";

// In entry order 0 to 32: the editor gives each number its meaning.
constexpr std::array<MenuEntry, 33> kMenu{{
    {"Vertex number", kVertexColour, 0, 0},
    {"Vertex X", kVertexColour, 0, 1},
    {"Vertex Y", kVertexColour, 0, 2},
    {"Vertex Z", kVertexColour, 0, 3},
    {"Normal X", kVertexColour, 0, 4},
    {"Normal Y", kVertexColour, 0, 5},
    {"Normal Z", kVertexColour, 0, 6},
    {"Colour (hex)", kVertexColour, 0, 7},
    {"Texture U", kVertexColour, 0, 8},
    {"Texture V", kVertexColour, 0, 9},
    {"Triangle number", kTriangleColour, 0, 10},
    {"Corner 1 vertex", kTriangleColour, 0, 11},
    {"Corner 2 vertex", kTriangleColour, 0, 12},
    {"Corner 3 vertex", kTriangleColour, 0, 13},
    {"Group number", kGroupColour, 1, 0},
    {"Group offset X", kGroupColour, 1, 1},
    {"Group offset Y", kGroupColour, 1, 2},
    {"Group offset Z", kGroupColour, 1, 3},
    {"Joint angle X", kGroupColour, 1, 4},
    {"Joint angle Y", kGroupColour, 1, 5},
    {"Joint angle Z", kGroupColour, 1, 6},
    {"Group first vertex", kGroupColour, 1, 7},
    {"Group vertex count", kGroupColour, 1, 8},
    {"List slot", kListColour, 1, 9},
    {"Slot group (-1 splits)", kListColour, 1, 10},
    {"Insert vertex", kInsertColour, 0, 14},
    {"Delete vertex", kDeleteColour, 0, 15},
    {"Insert triangle", kInsertColour, 0, 16},
    {"Delete triangle", kDeleteColour, 0, 17},
    {"Insert group", kInsertColour, 1, 11},
    {"Delete group", kDeleteColour, 1, 12},
    {"Insert slot", kInsertColour, 1, 13},
    {"Delete slot", kDeleteColour, 1, 14},
}};

constexpr float kColumnLeft[2] = {-1.58f, 0.96f};
constexpr float kColumnWidth = 0.62f;
constexpr float kFirstRowTop = 1.15f;
constexpr float kRowPitch = 0.13f;
constexpr float kRowHeight = 0.12f;  // a small gap keeps neighbouring entries apart

}  // namespace

std::string WriteClickMenu() {
    std::string text;
    for (const MenuEntry& e : kMenu) {
        char line[160];
        std::snprintf(line, sizeof line, "%s,%s,%.2f,%.2f,%.2f,%.2f\n", e.label, e.colour,
                      kColumnLeft[e.column], kFirstRowTop - e.row * kRowPitch, kColumnWidth,
                      kRowHeight);
        text += line;
    }
    return text;
}
