// The display: the screen-size question, the desktop picture, the flipping primary surface
// with its back buffer, and the single exit of the program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/dx/DirectDraw.h"
#include "platform/dx/Gdi.h"

inline RECT ScreenRect;
inline std::shared_ptr<DirectDraw7> DirectDraw;
inline DDCAPS HardwareCaps, EmulationCaps;
inline SurfacePtr PrimarySurface;
inline SurfacePtr BackBuffer;
inline std::shared_ptr<DirectDrawGammaControl> GammaControl;
inline DDGAMMARAMP GammaRamp;
inline DDSURFACEDESC2 SurfaceDesc;  // shared by all surface creation
inline GdiDC* DesktopDC = nullptr;
inline GdiBitmap* DesktopBitmap = nullptr;

// The window handle the cooperative levels name; there is one window.
constexpr int32_t WindowHandle = 1;

// An error that ends the program, as the shutdown reports it.
struct PendingError {
    bool pending = false;
    int32_t number = 0;
    std::string description;
};

// Puts every shared table back to its single empty element 0.
void ResetTables();
void StartDisplay();
// Releases everything, reports a pending error, and gives the process's exit status
// (0 after a normal end, 1 after an error).
int ShutDownDisplay(const PendingError& error);
