// The desktop on Windows: the screen through GDI, the system's message boxes, SDL's Windows
// video driver. <windows.h> comes in through SDL_syswm.h; no device header may follow it.
// clang-format off
#include "platform/host/Desktop.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
// clang-format on

#include <algorithm>

namespace {

std::wstring WideUtf8(const std::string& text) {
    if (text.empty()) return L"";
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

}  // namespace

std::string WindowVideoDrivers(std::string& tried) {
    tried = "the Windows desktop";
    return "windows";
}

// Windows itself manages every window.
bool HasWindowManager() {
    return true;
}

// The screen's device context copied into a memory bitmap of the size asked for, then read
// back as 32-bit pixels: a screen smaller than the picture leaves the rest black.
bool CaptureScreenPixels(int width, int height, std::vector<uint32_t>& pixels) {
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return false;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = memory != nullptr ? CreateCompatibleBitmap(screen, width, height) : nullptr;
    bool ok = false;
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        PatBlt(memory, 0, 0, width, height, BLACKNESS);
        const int w = std::min(width, GetDeviceCaps(screen, HORZRES));
        const int h = std::min(height, GetDeviceCaps(screen, VERTRES));
        ok = BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY) != 0;
        SelectObject(memory, old);
        if (ok) {
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = width;
            info.bmiHeader.biHeight = -height;  // top row first
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            pixels.assign(static_cast<size_t>(width) * height, 0);
            ok = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info,
                           DIB_RGB_COLORS) == height;
            for (uint32_t& p : pixels) p &= 0x00FFFFFFu;  // the fourth byte is not alpha
        }
        DeleteObject(bitmap);
    }
    if (memory != nullptr) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool ShowSystemMessageBox(SDL_Window* owner, const std::string& text, const std::string& title,
                          bool yesNo, bool error, bool& yes) {
    HWND window = nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (owner != nullptr && SDL_GetWindowWMInfo(owner, &info) &&
        info.subsystem == SDL_SYSWM_WINDOWS) {
        window = info.info.win.window;
    }
    UINT type = yesNo ? MB_YESNO : MB_OK;
    type |= error ? MB_ICONERROR : MB_ICONINFORMATION;
    // Before the window exists the box is the program's only window: bring it to the front.
    if (window == nullptr) type |= MB_SETFOREGROUND | MB_TASKMODAL;
    const int answer = MessageBoxW(window, WideUtf8(text).c_str(), WideUtf8(title).c_str(), type);
    yes = answer == IDYES;
    return answer != 0;
}

void QuietSoundLibrary() {}
