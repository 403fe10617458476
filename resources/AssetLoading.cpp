#include "resources/AssetLoading.h"

// The load sequence arrives with the archive and its readers.
void LoadAssets() {}
