#include "app/World.h"

// The scene set-up and its per-frame update arrive with the living world; until then the
// world is empty and every frame shows the cleared back buffer.
void UpdateWorld() {}
