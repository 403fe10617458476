// The image decoder behind every texture and surface: any bytes either decode to a picture of
// the size it reports or fail with a DirectX error.
#include <cstdint>
#include <vector>

#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const RgbImage image = DecodeImage(std::vector<uint8_t>(data, data + size));
        if (image.width <= 0 || image.height <= 0) __builtin_trap();
        if (image.pixels.size() != static_cast<size_t>(image.width) * image.height)
            __builtin_trap();
    } catch (const DxError&) {
    }
    return 0;
}
