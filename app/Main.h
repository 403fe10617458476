// The program's start: every start-up step once, in order, the main loop, and the one
// shutdown path that both a normal end and any error take.
#pragma once

#include <string>

// Runs the whole program on the active host; returns the process's exit status.
int Main();

// Puts every value a run changes back to how the program starts, so that a second run in the
// same process (the tests) starts from the same state as the first.
void ResetRunState();

// The folder of the running executable, with a trailing "/".
std::string ExecutableFolder();
