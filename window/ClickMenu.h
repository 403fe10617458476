// The editor's on-screen menu: one entry per line of the archive's "CLICK" text, each a hit
// rectangle in the pointer's camera-space units (y grows upwards, Y is the top edge) with the
// label shown when it is clicked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resources/BinaryIo.h"

struct ClickItem {
    std::string Label;
    std::string Name;  // the label again; the menu itself reads only Label
    int32_t Colour = 0;
    float X = 0, Y = 0;
    float Width = 0, Height = 0;
};

// Entries in file order from index 0; empty when the archive has no menu.
inline std::vector<ClickItem> ClickItems;

// The characters the editor accepts while a value is typed; the asset loading sets them.
constexpr std::string_view kEditCharacters = "0123456789.-ABCDEF";
inline std::string EditCharacters;

// Reads the menu text: per line six comma-separated items (label, colour as hexadecimal digits,
// X, Y, Width, Height), an item in double quotes keeping its commas and blanks. Blank lines are
// skipped. A line with another number of items, or a colour or size that fits no Long or Single,
// is a RuntimeError naming source and the line.
std::vector<ClickItem> ParseClickItems(std::string_view text, const DataSource& source);
