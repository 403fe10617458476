// The page's key names as the program reads them, on every build (the page's included).
#include <gtest/gtest.h>

#include "platform/host/Host.h"
#include "platform/host/PageKeys.h"

TEST(PageKeys, NameTheKeysTheProgramReads) {
    // Letters follow the layout (an AZERTY "a" sits where QWERTY has Q), with or without Shift.
    EXPECT_EQ(VirtualKeyOfPageKey("a", "KeyQ"), 'A');
    EXPECT_EQ(VirtualKeyOfPageKey("W", "KeyW"), 'W');
    // A letter key whose layout types no letter (Cyrillic, a dead key) by its place.
    EXPECT_EQ(VirtualKeyOfPageKey("ф", "KeyA"), 'A');
    EXPECT_EQ(VirtualKeyOfPageKey("Dead", "KeyE"), 'E');
    // Digits by their place, whatever Shift makes them type.
    EXPECT_EQ(VirtualKeyOfPageKey("!", "Digit1"), '1');
    EXPECT_EQ(VirtualKeyOfPageKey("0", "Digit0"), '0');
    EXPECT_EQ(VirtualKeyOfPageKey("F1", "F1"), vk::F1);
    EXPECT_EQ(VirtualKeyOfPageKey("F12", "F12"), vk::F12);
    EXPECT_EQ(VirtualKeyOfPageKey("ArrowUp", "ArrowUp"), vk::UP);
    EXPECT_EQ(VirtualKeyOfPageKey("ArrowLeft", "ArrowLeft"), vk::LEFT);
    EXPECT_EQ(VirtualKeyOfPageKey("Shift", "ShiftRight"), vk::SHIFT);
    EXPECT_EQ(VirtualKeyOfPageKey("Control", "ControlLeft"), vk::CONTROL);
    EXPECT_EQ(VirtualKeyOfPageKey("Alt", "AltRight"), vk::MENU);
    EXPECT_EQ(VirtualKeyOfPageKey("Escape", "Escape"), vk::ESCAPE);
    EXPECT_EQ(VirtualKeyOfPageKey(" ", "Space"), vk::SPACE);
    EXPECT_EQ(VirtualKeyOfPageKey("Enter", "NumpadEnter"), vk::RETURN);
    EXPECT_EQ(VirtualKeyOfPageKey("Backspace", "Backspace"), vk::BACK);
    EXPECT_EQ(VirtualKeyOfPageKey("Tab", "Tab"), vk::TAB);
}

TEST(PageKeys, UnknownAndMalformedNamesAreNoKey) {
    EXPECT_EQ(VirtualKeyOfPageKey("F13", "F13"), 0);
    EXPECT_EQ(VirtualKeyOfPageKey("", "F0"), 0);
    EXPECT_EQ(VirtualKeyOfPageKey("", "F99999999999999999999"), 0);  // no overflow
    EXPECT_EQ(VirtualKeyOfPageKey("", "F"), 0);
    EXPECT_EQ(VirtualKeyOfPageKey("", "Key"), 0);
    EXPECT_EQ(VirtualKeyOfPageKey("", "Keya"), 0);
    EXPECT_EQ(VirtualKeyOfPageKey("Unidentified", ""), 0);
    EXPECT_EQ(VirtualKeyOfPageKey("PageDown", "PageDown"), 0);
}
