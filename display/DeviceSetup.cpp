#include "display/DeviceSetup.h"

// The software 3D device is set up here once it exists; the frame so far is a cleared
// back buffer, which needs no device.
void SetUpDevice() {}
