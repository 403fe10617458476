#include "core/LoopState.h"

#include "platform/host/Host.h"

bool KeyDown(int key) {
    return ActiveHost().GetAsyncKeyState(key) < -1;
}

bool KeyReleased(int key) {
    return ActiveHost().GetAsyncKeyState(key) == 0;
}
