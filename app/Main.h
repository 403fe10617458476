// The program's start: every start-up step once, in order, the main loop, and the one
// shutdown path that both a normal end and any error take.
#pragma once

#include <string>

// Runs the whole program on the active host; returns the process's exit status.
int Main();

// The folder of the running executable, with a trailing "/".
std::string ExecutableFolder();
