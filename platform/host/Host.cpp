#include "platform/host/Host.h"

#include <algorithm>
#include <ctime>
#include <stdexcept>

#include "platform/host/System.h"

namespace {
Host* activeHost = nullptr;
}

Host& ActiveHost() {
    if (activeHost == nullptr) throw std::logic_error("no host set");
    return *activeHost;
}

void SetActiveHost(Host* host) {
    activeHost = host;
}

void Host::SetDisplayScale(int scale) {
    displayScale_ = std::clamp(scale, 1, kMaxDisplayScale);
}

uint32_t SecondsSinceMidnightNow() {
    const std::tm local = LocalTime(std::time(nullptr));
    return static_cast<uint32_t>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec);
}

double TimeOfDayAfter(double startSeconds, uint64_t elapsedMicros) {
    double t = startSeconds + static_cast<double>(elapsedMicros) / 1e6;
    while (t >= 86400.0) t -= 86400.0;
    return t;
}

// A plain desktop of the kind people have: a blue gradient with a task bar and a few icons.
RgbImage GeneratedDesktop(int width, int height) {
    RgbImage img;
    img.width = width;
    img.height = height;
    img.pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t r = 20 + 40 * y / std::max(height, 1);
            uint32_t g = 60 + 60 * y / std::max(height, 1);
            uint32_t b = 120 + 100 * y / std::max(height, 1);
            if (y >= height - 28) r = g = b = 190;  // task bar
            const bool icon =
                x >= 16 && x < 48 && (y % 64) >= 16 && (y % 64) < 48 && y < height - 40;
            if (icon) {
                r = 230;
                g = 220;
                b = 120;
            }
            img.pixels[static_cast<size_t>(y) * width + x] = r << 16 | g << 8 | b;
        }
    }
    return img;
}
