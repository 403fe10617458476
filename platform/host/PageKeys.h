// The names a web page gives keys, turned into the program's (Windows' virtual keys).
#pragma once

#include <string_view>

// The program's key for a page's key event: `key` as the layout names it (a letter, "Enter")
// and `code` for the key's place ("KeyA", "ArrowLeft", "ShiftRight"). Letters follow the
// layout, as on the desktop; 0 for keys the program has no name for.
int VirtualKeyOfPageKey(std::string_view key, std::string_view code);
