// Pointer shapes to BGRA images, including shapes whose description does not fit their bytes.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "cursor_shape.h"

using velda::convertPointerShape;

namespace {

DXGI_OUTDUPL_POINTER_SHAPE_INFO shape(UINT type, UINT width, UINT height, UINT pitch) {
    return DXGI_OUTDUPL_POINTER_SHAPE_INFO{type, width, height, pitch, POINT{0, 0}};
}

void setBit(std::vector<uint8_t>& bytes, UINT pitch, UINT row, UINT x) {
    bytes[row * pitch + x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
}

void putPixel(std::vector<uint8_t>& bytes, UINT pitch, UINT row, UINT x, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[row * pitch + x * 4 + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(PointerShape, MonochromeHalvesTheHeightAndMapsTheFourMaskCases) {
    const UINT pitch = 4, rows = 32;
    std::vector<uint8_t> bytes(pitch * rows * 2, 0);
    // Column 0: AND 0 XOR 0; column 1: AND 0 XOR 1; column 2: AND 1 XOR 0; column 9: AND 1 XOR 1.
    setBit(bytes, pitch, rows + 5, 1);
    setBit(bytes, pitch, 5, 2);
    setBit(bytes, pitch, 5, 9);
    setBit(bytes, pitch, rows + 5, 9);
    std::vector<uint32_t> image;
    uint32_t height = 0;
    ASSERT_TRUE(convertPointerShape(shape(1, 32, 64, pitch), bytes.data(), bytes.size(), image, height));
    EXPECT_EQ(height, 32u);
    ASSERT_EQ(image.size(), 32u * 32u);
    const uint32_t* row5 = &image[5 * 32];
    EXPECT_EQ(row5[0], 0xFF000000u);
    EXPECT_EQ(row5[1], 0xFFFFFFFFu);
    EXPECT_EQ(row5[2], 0x00000000u);
    EXPECT_EQ(row5[9], 0xFFFFFFFFu);
    EXPECT_EQ(image[0], 0xFF000000u) << "untouched rows are opaque black";
}

TEST(PointerShape, MaskedColorIsOpaqueUnlessTheMaskAloneIsSet) {
    const UINT pitch = 16;
    std::vector<uint8_t> bytes(pitch, 0);
    putPixel(bytes, pitch, 0, 0, 0xFF000000u);  // mask only: transparent
    putPixel(bytes, pitch, 0, 1, 0x7F123456u);  // colour: opaque whatever the top byte
    putPixel(bytes, pitch, 0, 2, 0x00000000u);  // nothing: opaque black
    putPixel(bytes, pitch, 0, 3, 0x00ABCDEFu);
    std::vector<uint32_t> image;
    uint32_t height = 0;
    ASSERT_TRUE(convertPointerShape(shape(4, 4, 1, pitch), bytes.data(), bytes.size(), image, height));
    EXPECT_EQ(image, (std::vector<uint32_t>{0u, 0xFF123456u, 0xFF000000u, 0xFFABCDEFu}));
}

TEST(PointerShape, ColorKeepsItsAlphaAndHonoursThePitch) {
    const UINT pitch = 12;  // two pixels and four bytes of padding a row
    std::vector<uint8_t> bytes(pitch + 8, 0xEE);
    putPixel(bytes, pitch, 0, 0, 0x80FF0000u);
    putPixel(bytes, pitch, 0, 1, 0x00000000u);
    putPixel(bytes, pitch, 1, 0, 0xFF00FF00u);
    putPixel(bytes, pitch, 1, 1, 0x12345678u);
    std::vector<uint32_t> image;
    uint32_t height = 0;
    ASSERT_TRUE(convertPointerShape(shape(2, 2, 2, pitch), bytes.data(), bytes.size(), image, height));
    EXPECT_EQ(height, 2u);
    EXPECT_EQ(image, (std::vector<uint32_t>{0x80FF0000u, 0u, 0xFF00FF00u, 0x12345678u}));
}

TEST(PointerShape, MalformedShapesAreRefusedAndLeaveTheImageAlone) {
    struct Case {
        const char* what;
        DXGI_OUTDUPL_POINTER_SHAPE_INFO info;
        size_t size;
    };
    constexpr UINT kHuge = std::numeric_limits<UINT>::max();
    const Case cases[] = {
        {"color pitch shorter than a row", shape(2, 32, 32, 64), 32 * 64},
        {"color rows beyond the buffer", shape(2, 32, 32, 128), 32 * 128 - 1},
        {"monochrome pitch shorter than a row", shape(1, 32, 64, 3), 64 * 3},
        {"monochrome masks beyond the buffer", shape(1, 32, 64, 4), 64 * 4 - 1},
        {"monochrome with one row", shape(1, 32, 1, 4), 4},
        {"zero width", shape(2, 0, 32, 128), 4096},
        {"absurd width", shape(2, kHuge, 1, kHuge), 4096},
        {"absurd height", shape(2, 1, kHuge, 4), 4096},
        {"pitch times rows overflowing 32 bits", shape(2, 1, 1024, 0x00500000), 4096},
        {"masked color pitch shorter than a row", shape(4, 8, 8, 31), 8 * 31},
    };
    for (const Case& c : cases) {
        // Exactly `size` bytes on the heap, so that a read past them trips AddressSanitizer.
        std::vector<uint8_t> bytes(c.size, 0x5A);
        std::vector<uint32_t> image{1, 2, 3};
        uint32_t height = 77;
        EXPECT_FALSE(convertPointerShape(c.info, bytes.data(), bytes.size(), image, height)) << c.what;
        EXPECT_EQ(image, (std::vector<uint32_t>{1, 2, 3})) << c.what;
        EXPECT_EQ(height, 77u) << c.what;
    }
    std::vector<uint32_t> image;
    uint32_t height = 0;
    EXPECT_FALSE(convertPointerShape(shape(2, 1, 1, 4), nullptr, 4, image, height));
}

TEST(PointerShape, ShapesThatExactlyFitTheirBytesAreRead) {
    // The last row needs only its own pixels, not a full pitch.
    std::vector<uint8_t> color(1 * 64 + 16, 0xFF);
    std::vector<uint32_t> image;
    uint32_t height = 0;
    EXPECT_TRUE(convertPointerShape(shape(2, 4, 2, 64), color.data(), color.size(), image, height));
    std::vector<uint8_t> mono(3 * 8 + 2, 0);
    EXPECT_TRUE(convertPointerShape(shape(1, 9, 4, 8), mono.data(), mono.size(), image, height));
    EXPECT_EQ(height, 2u);
}

}  // namespace
