#include "platform/dx/ImageBytes.h"

#include <algorithm>
#include <cstdlib>

namespace {

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint32_t LittleEndian32(const uint8_t* p) {
    return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}
uint16_t LittleEndian16(const uint8_t* p) {
    return static_cast<uint16_t>(p[1] << 8 | p[0]);
}

std::string PngProblem(std::span<const uint8_t> bytes) {
    size_t pos = 8;
    // Length, type, data, CRC; stop at IEND or where too little is left for a chunk to start.
    while (bytes.size() - pos >= 12) {
        const uint32_t length = BigEndian32(&bytes[pos]);
        const size_t room = bytes.size() - pos - 12;
        if (length > room) {
            return "PNG chunk at byte " + std::to_string(pos) + " declares " +
                   std::to_string(length) + " bytes, only " + std::to_string(room) + " follow";
        }
        const bool end = bytes[pos + 4] == 'I' && bytes[pos + 5] == 'E' && bytes[pos + 6] == 'N' &&
                         bytes[pos + 7] == 'D';
        pos += 12 + length;
        if (end) return "";
    }
    // A chunk header cut off by the end: the decoder reads the missing bytes as zeros and may
    // reserve room for whatever length that makes before it finds the data missing.
    if (pos < bytes.size()) {
        return "PNG ends inside the chunk header at byte " + std::to_string(pos);
    }
    return "";
}

std::string BmpProblem(std::span<const uint8_t> bytes) {
    if (bytes.size() < 26) return "";  // too short to describe rows; the decoder refuses it
    const uint32_t offset = LittleEndian32(&bytes[10]);
    const uint32_t headerSize = LittleEndian32(&bytes[14]);
    int64_t width = 0, height = 0;
    uint32_t bits = 0, compression = 0;
    if (headerSize == 12) {
        width = static_cast<int16_t>(LittleEndian16(&bytes[18]));
        height = static_cast<int16_t>(LittleEndian16(&bytes[20]));
        bits = LittleEndian16(&bytes[24]);
    } else if (headerSize >= 40 && bytes.size() >= 34) {
        width = static_cast<int32_t>(LittleEndian32(&bytes[18]));
        height = static_cast<int32_t>(LittleEndian32(&bytes[22]));
        bits = LittleEndian16(&bytes[28]);
        compression = LittleEndian32(&bytes[30]);
    } else {
        return "";
    }
    // Only uncompressed rows have a size known in advance; absurd sizes are refused later.
    constexpr int64_t kLargest = 1 << 20;
    if ((compression != 0 && compression != 3) || bits == 0 || bits > 32) return "";
    width = std::llabs(width);
    height = std::llabs(height);
    if (width > kLargest || height > kLargest) return "";
    const int64_t row = (width * bits + 31) / 32 * 4;
    const int64_t needed = static_cast<int64_t>(offset) + row * height;
    if (needed > static_cast<int64_t>(bytes.size())) {
        return "BMP rows need " + std::to_string(needed) + " bytes, the image has " +
               std::to_string(bytes.size());
    }
    return "";
}

}  // namespace

std::string ImageStructureProblem(std::span<const uint8_t> bytes) {
    static constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (bytes.size() >= 8 && std::equal(kPngSignature, kPngSignature + 8, bytes.begin())) {
        return PngProblem(bytes);
    }
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return BmpProblem(bytes);
    return "";
}
