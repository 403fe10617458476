// Every run starts from the same state: the module tables back to their single empty element 0
// (as the display start-up needs them) and the loop, world, camera and render state of a fresh
// run. Each module owns its own reset; this is the one place that calls them, in start-up order.
#pragma once

// Puts every shared table back to its single empty element 0.
void ResetTables();
// Puts every value a run changes back to how the program starts, so that a second run in the
// same process (the tests) starts from the same state as the first.
void ResetRunState();
