// The program's one window and its handlers for key-up, key-press and click events.
#pragma once

#include <cstdint>

#include "platform/host/Host.h"

class XForm : public WindowEvents {
  public:
    void KeyUp(int16_t& keyCode, int16_t shift) override { Form_KeyUp(keyCode, shift); }
    void KeyPress(int16_t& keyAscii) override { Form_KeyPress(keyAscii); }
    void Click() override { Form_Click(); }

    // F2 flips the wireframe pass once the scene exists; F1 shows or hides the editor overlay.
    static void Form_KeyUp(int16_t& keyCode, int16_t shift);
    // TAB restores the camera, SPACE starts the screenshot fade, everything else goes to the
    // geometry editor. Nothing happens before the first model is loaded.
    static void Form_KeyPress(int16_t& keyAscii);
    // A click on the geometry editor's menu at this frame's pointer.
    static void Form_Click();
    // Keeps the editor's selections and edited values in range.
    static void RangeCheck();
};

XForm& TheForm();
