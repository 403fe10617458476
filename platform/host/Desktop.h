// The desktop the window lives on, in the form each system has it: which SDL video drivers show
// a window, whether a window manager answers full-screen requests, the picture of the screen,
// the system's own message boxes and the sound library's chatter. One header, a source file
// per system (DesktopX11.cpp, DesktopWin32.cpp), chosen by the build; no device header here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SDL_Window;

// The SDL video drivers that show a real window here, comma-separated, and in `tried` the
// displays by name for messages; "" with the reason in `tried` when there is none.
std::string WindowVideoDrivers(std::string& tried);

// Whether a window manager that can make a window full screen runs on the display.
bool HasWindowManager();

// Reads the top-left width x height pixels of the screen as 0x00RRGGBB, row by row, width x
// height of them (what lies beyond the screen black); false where no screen can be read.
bool CaptureScreenPixels(int width, int height, std::vector<uint32_t>& pixels);

// The system's own message box, where the system has one that SDL does not already show:
// true with `yes` set from the answer (false for No or a closed box); false to let SDL ask.
bool ShowSystemMessageBox(SDL_Window* owner, const std::string& text, const std::string& title,
                          bool yesNo, bool error, bool& yes);

// Keeps the system's sound library from printing its probes on standard error.
void QuietSoundLibrary();
