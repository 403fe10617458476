// The program's one window and its handlers for key-up, key-press and click events.
#pragma once

#include <cstdint>

#include "platform/host/Host.h"

class XForm : public WindowEvents {
  public:
    void KeyUp(int16_t& keyCode, int16_t shift) override { Form_KeyUp(keyCode, shift); }
    void KeyPress(int16_t& keyAscii) override { Form_KeyPress(keyAscii); }
    void Click() override { Form_Click(); }

    static void Form_KeyUp(int16_t& keyCode, int16_t shift);
    static void Form_KeyPress(int16_t& keyAscii);
    static void Form_Click();
};

XForm& TheForm();
