// The display: the screen-size question, the desktop picture, the flipping primary surface
// with its back buffer, and the single exit of the program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/DirectXObjects.h"
#include "platform/dx/DirectDraw.h"
#include "platform/dx/Gdi.h"

inline RECT ScreenRect;
inline DDCAPS HardwareCaps, EmulationCaps;
inline SurfacePtr PrimarySurface;
inline SurfacePtr BackBuffer;
inline std::shared_ptr<DirectDrawGammaControl> GammaControl;
inline DDGAMMARAMP GammaRamp;
inline GdiDC* DesktopDC = nullptr;
inline GdiBitmap* DesktopBitmap = nullptr;

// An error that ends the program, as the shutdown reports it.
struct PendingError {
    bool pending = false;
    int32_t number = 0;
    std::string description;
};

void StartDisplay();
// Releases everything, reports a pending error, and gives the process's exit status
// (0 after a normal end, 1 after an error).
int ShutDownDisplay(const PendingError& error);
// Releases the device and its enumerations, in the shutdown's order.
void ReleaseDevice();
