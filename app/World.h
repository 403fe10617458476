// The world: built on the first pass, then updated every pass before the frame is drawn.
#pragma once

void UpdateWorld();
