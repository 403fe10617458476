// The 3D device on the back buffer and the state every frame starts from.
#pragma once

void SetUpDevice();
