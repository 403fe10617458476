// The program's only loop and its frame timer.
#pragma once

#include "core/LoopState.h"

void RunMainLoop();
void UpdateFrameTimer();
// One step of the P-key pause state machine.
void AdvancePauseState();
void ResetMainLoopState();
