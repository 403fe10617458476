// Script events built in code, for tests that drive a host without a script file.
#pragma once

#include "platform/host/InputScript.h"

inline ScriptEvent ScriptKey(int pass, int key, bool down) {
    ScriptEvent e;
    e.pass = pass;
    e.kind = down ? ScriptEvent::Kind::KeyDown : ScriptEvent::Kind::KeyUp;
    e.key = key;
    return e;
}
