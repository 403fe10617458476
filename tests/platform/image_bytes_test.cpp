#include <gtest/gtest.h>

#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxError.h"
#include "platform/dx/ImageBytes.h"
#include "stb_image_write.h"

namespace {

void Append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

std::vector<uint8_t> Png() {
    const uint8_t pixels[2 * 2 * 3] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
    std::vector<uint8_t> out;
    stbi_write_png_to_func(Append, &out, 2, 2, 3, pixels, 6);
    return out;
}

std::vector<uint8_t> Bmp() {
    std::vector<uint8_t> pixels(5 * 3 * 3, 0x40);
    std::vector<uint8_t> out;
    stbi_write_bmp_to_func(Append, &out, 5, 3, 3, pixels.data());
    return out;
}

TEST(ImageBytesTest, WholeImagesPassAndStillDecode) {
    EXPECT_EQ(ImageStructureProblem(Png()), "");
    EXPECT_EQ(ImageStructureProblem(Bmp()), "");
    EXPECT_EQ(DecodeImage(Png()).width, 2);
    EXPECT_EQ(DecodeImage(Bmp()).height, 3);
}

TEST(ImageBytesTest, PngChunkLongerThanTheDataIsRefusedBeforeDecoding) {
    // The first chunk after IHDR claims 0x31000000 bytes: the decoder would have reserved that.
    std::vector<uint8_t> png = Png();
    const size_t idat = 8 + 12 + 13;
    png[idat] = 0x31;
    EXPECT_NE(ImageStructureProblem(png).find("PNG chunk at byte 33 declares 822083"),
              std::string::npos)
        << ImageStructureProblem(png);
    EXPECT_THROW(DecodeImage(png), DxError);
}

TEST(ImageBytesTest, PngCutInsideAChunkHeaderIsRefusedAndBytesAfterTheEndAreNot) {
    // Without IEND, six bytes of a header: a length of 0x40000000 and half a type. The decoder
    // would read the rest as zeros and reserve a gigabyte for that chunk.
    std::vector<uint8_t> png = Png();
    png.resize(png.size() - 12);
    const size_t cut = png.size();
    png.insert(png.end(), {0x40, 0x00, 0x00, 0x00, 'I', 'D'});
    EXPECT_EQ(ImageStructureProblem(png),
              "PNG ends inside the chunk header at byte " + std::to_string(cut));
    EXPECT_THROW(DecodeImage(png), DxError);

    std::vector<uint8_t> trailing = Png();
    trailing.insert(trailing.end(), {1, 2, 3});
    EXPECT_EQ(ImageStructureProblem(trailing), "");
}

TEST(ImageBytesTest, BmpWithoutAllItsRowsIsRefused) {
    std::vector<uint8_t> bmp = Bmp();
    bmp.resize(bmp.size() - 1);  // 3 rows of 16 bytes (15 padded) after a 54-byte header
    EXPECT_EQ(ImageStructureProblem(bmp), "BMP rows need 102 bytes, the image has 101");
    EXPECT_THROW(DecodeImage(bmp), DxError);
}

}  // namespace
