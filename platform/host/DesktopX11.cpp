// The desktop on Linux: X11 and Wayland. Kept apart from the rest: the X11 headers define macros
// (None, Status, Bool) that clash with ordinary names.
// clang-format off
#include "platform/host/Desktop.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
// clang-format on

namespace {

int ShiftOf(unsigned long mask) {
    int s = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++s;
    }
    return s;
}

uint32_t Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    const unsigned long v = (pixel & mask) >> ShiftOf(mask);
    const unsigned long max = mask >> ShiftOf(mask);
    return static_cast<uint32_t>(v * 255 / max);
}

std::string EnvText(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

// The video drivers that show a window: X11 and Wayland, where the environment points at a
// server. SDL would otherwise fall back to drivers that draw nowhere, and the program would run
// on with nothing on any screen.
std::string WindowVideoDrivers(std::string& tried) {
    std::string drivers;
    const std::string x11 = EnvText("DISPLAY"), wayland = EnvText("WAYLAND_DISPLAY");
    if (!x11.empty()) {
        drivers = "x11";
        tried = "the X display \"" + x11 + "\" (DISPLAY)";
    }
    if (!wayland.empty()) {
        drivers += drivers.empty() ? "wayland" : ",wayland";
        tried += (tried.empty() ? "" : " and ") + std::string("the Wayland display \"") + wayland +
                 "\" (WAYLAND_DISPLAY)";
    }
    if (drivers.empty()) tried = "no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
    return drivers;
}

bool CaptureScreenPixels(int width, int height, std::vector<uint32_t>& pixels) {
    if (std::getenv("DISPLAY") == nullptr) return false;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attrs;
    XGetWindowAttributes(display, root, &attrs);
    const int w = std::min(width, attrs.width), h = std::min(height, attrs.height);
    XImage* image = w > 0 && h > 0 ? XGetImage(display, root, 0, 0, static_cast<unsigned>(w),
                                               static_cast<unsigned>(h), AllPlanes, ZPixmap)
                                   : nullptr;
    if (image == nullptr) {
        XCloseDisplay(display);
        return false;
    }
    pixels.assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            pixels[static_cast<size_t>(y) * width + x] = Channel(p, image->red_mask) << 16 |
                                                         Channel(p, image->green_mask) << 8 |
                                                         Channel(p, image->blue_mask);
        }
    }
    XDestroyImage(image);
    XCloseDisplay(display);
    return true;
}

// A window manager that follows the desktop conventions announces itself on the root window.
bool HasWindowManager() {
    if (std::getenv("DISPLAY") == nullptr) return false;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    bool found = false;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check != None) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                               &type, &format, &count, &after, &data) == Success) {
            found = type == XA_WINDOW && count == 1;
        }
        if (data != nullptr) XFree(data);
    }
    XCloseDisplay(display);
    return found;
}

// SDL shows its own boxes on X11 (and Wayland).
bool ShowSystemMessageBox(SDL_Window*, const std::string&, const std::string&, bool, bool, bool&) {
    return false;
}

// The ALSA library prints every failed probe of a sound card on standard error, eight lines on a
// machine without one. SDL loads that library itself when it looks for a sound device; loading it
// first and giving it a silent error printer keeps the terminal clean. The library stays loaded
// (SDL shares the same copy).
void QuietSoundLibrary() {
    static bool done = false;
    if (done) return;
    done = true;
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (alsa == nullptr) return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (set != nullptr) set(IgnoreAlsaError);
}
