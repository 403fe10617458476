#include "platform/host/PageKeys.h"

#include <cctype>
#include <string>

#include "platform/host/Host.h"

int VirtualKeyOfPageKey(std::string_view key, std::string_view code) {
    // Letters by the layout, as the desktop reads them; the rest by the key's place.
    if (key.size() == 1 && std::isalpha(static_cast<unsigned char>(key[0]))) {
        return std::toupper(static_cast<unsigned char>(key[0]));
    }
    if (code.size() == 4 && code.substr(0, 3) == "Key" && code[3] >= 'A' && code[3] <= 'Z') {
        return code[3];
    }
    if (code.size() == 6 && code.substr(0, 5) == "Digit" && code[5] >= '0' && code[5] <= '9') {
        return code[5];
    }
    if (code.size() >= 2 && code.size() <= 3 && code[0] == 'F' &&
        code.find_first_not_of("0123456789", 1) == code.npos) {
        const int n = std::stoi(std::string(code.substr(1)));
        if (n >= 1 && n <= 12) return vk::F1 + n - 1;
        return 0;
    }
    struct Named {
        std::string_view code;
        int key;
    };
    static constexpr Named kNamed[] = {
        {"ArrowLeft", vk::LEFT},      {"ArrowRight", vk::RIGHT},     {"ArrowUp", vk::UP},
        {"ArrowDown", vk::DOWN},      {"ShiftLeft", vk::SHIFT},      {"ShiftRight", vk::SHIFT},
        {"ControlLeft", vk::CONTROL}, {"ControlRight", vk::CONTROL}, {"AltLeft", vk::MENU},
        {"AltRight", vk::MENU},       {"Escape", vk::ESCAPE},        {"Tab", vk::TAB},
        {"Space", vk::SPACE},         {"Enter", vk::RETURN},         {"NumpadEnter", vk::RETURN},
        {"Backspace", vk::BACK},
    };
    for (const Named& n : kNamed) {
        if (n.code == code) return n.key;
    }
    return 0;
}
