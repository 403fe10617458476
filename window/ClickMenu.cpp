#include "window/ClickMenu.h"

#include <optional>

#include "core/RuntimeError.h"
#include "window/ValueText.h"

namespace {

constexpr size_t kItemsPerEntry = 6;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Splits one line into items by the list-input rules: blanks around an item are dropped; a
// quoted item ends at its closing quote and anything after it up to the comma is ignored.
std::vector<std::string> SplitItems(std::string_view line) {
    std::vector<std::string> items;
    size_t i = 0;
    for (;;) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        std::string item;
        if (i < line.size() && line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            const size_t end = close == std::string_view::npos ? line.size() : close;
            item = std::string(line.substr(i + 1, end - i - 1));
            i = end;
            while (i < line.size() && line[i] != ',') ++i;
        } else {
            const size_t comma = line.find(',', i);
            const size_t end = comma == std::string_view::npos ? line.size() : comma;
            size_t last = end;
            while (last > i && IsBlank(line[last - 1])) --last;
            item = std::string(line.substr(i, last - i));
            i = end;
        }
        items.push_back(std::move(item));
        if (i >= line.size()) break;
        ++i;  // past the comma: a trailing comma leaves one more, empty item
    }
    return items;
}

}  // namespace

std::vector<ClickItem> ParseClickItems(std::string_view text, const DataSource& source) {
    std::vector<ClickItem> entries;
    size_t start = 0;
    int lineNumber = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;

        const std::vector<std::string> items = SplitItems(line);
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (items.size() != kItemsPerEntry) {
            ThrowDataError(
                items.size() < kItemsPerEntry ? rt::InputPastEndOfFile : rt::InvalidFileFormat,
                source, where + std::to_string(items.size()) + " items where a menu entry has 6");
        }
        ClickItem entry;
        entry.Label = entry.Name = items[0];
        const std::optional<int32_t> colour = ToLong(Val("&H" + items[1]));
        if (!colour) ThrowDataError(rt::Overflow, source, where + "colour " + items[1]);
        entry.Colour = *colour;
        float* fields[] = {&entry.X, &entry.Y, &entry.Width, &entry.Height};
        for (size_t f = 0; f < 4; ++f) {
            const std::optional<float> v = ToSingle(Val(items[2 + f]));
            if (!v) ThrowDataError(rt::Overflow, source, where + "number " + items[2 + f]);
            *fields[f] = *v;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}
