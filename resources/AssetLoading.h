// Loads every asset from the archive beside the executable, in a fixed order.
#pragma once

void LoadAssets();
