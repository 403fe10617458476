// Kept apart from the rest: the X11 headers define macros (None, Status, Bool) that clash with
// ordinary names.
// clang-format off
#include "platform/host/SdlHost.h"

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

}  // namespace

bool CaptureX11Desktop(int width, int height, RgbImage& out) {
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
    out.width = width;
    out.height = height;
    out.pixels.assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            out.pixels[static_cast<size_t>(y) * width + x] = Channel(p, image->red_mask) << 16 |
                                                             Channel(p, image->green_mask) << 8 |
                                                             Channel(p, image->blue_mask);
        }
    }
    XDestroyImage(image);
    XCloseDisplay(display);
    return true;
}

// A window manager that follows the desktop conventions announces itself on the root window.
bool X11HasWindowManager() {
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
