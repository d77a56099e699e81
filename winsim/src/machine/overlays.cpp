#include "machine/overlays.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "machine/sdr_view.h"

namespace winsim {
namespace {

struct Bgr {
    uint8_t b, g, r;
};

Bgr readSdr(const gpu::Image& picture, const uint8_t* pixel, float white) {
    const gpu::Float4 v = gpu::decodePixel(picture.format, pixel);
    return {sdrByte(picture.format, v.b, white), sdrByte(picture.format, v.g, white), sdrByte(picture.format, v.r, white)};
}

void writeSdr(const gpu::Image& picture, uint8_t* pixel, Bgr value, float white) {
    const gpu::Format f = picture.format;
    const gpu::Float4 v{desktopValue(f, value.r, white), desktopValue(f, value.g, white), desktopValue(f, value.b, white), 1};
    gpu::encodePixel(f, v, pixel);
}

uint8_t blend(uint8_t over, uint8_t under, uint32_t alpha) {
    return static_cast<uint8_t>((over * alpha + under * (255 - alpha) + 127) / 255);
}

// DXGI_OUTDUPL_POINTER_SHAPE_TYPE's page: a colour pointer is 32-bpp ARGB with alpha; a masked
// colour pointer replaces the screen pixel where its mask (alpha) is 0 and XORs it where the
// mask is 0xFF; a monochrome pointer is an AND mask over an XOR mask, one bit a pixel. Nothing
// where the pixel stays as it is.
std::optional<Bgr> pointerOver(const CursorShape& shape, uint32_t x, uint32_t y, uint32_t rows, Bgr under) {
    if (shape.type == DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MONOCHROME) {
        const uint8_t bit = static_cast<uint8_t>(0x80u >> (x % 8));
        const bool keep = shape.bytes[y * shape.pitch + x / 8] & bit;
        const bool flip = shape.bytes[(rows + y) * shape.pitch + x / 8] & bit;
        if (keep) return flip ? std::optional(Bgr{uint8_t(~under.b), uint8_t(~under.g), uint8_t(~under.r)}) : std::nullopt;
        return flip ? Bgr{255, 255, 255} : Bgr{0, 0, 0};
    }
    const uint8_t* p = &shape.bytes[y * shape.pitch + x * 4];
    if (shape.type == DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MASKED_COLOR) {
        if (p[3] == 0) return Bgr{p[0], p[1], p[2]};
        if ((p[0] | p[1] | p[2]) == 0) return std::nullopt;
        return Bgr{uint8_t(under.b ^ p[0]), uint8_t(under.g ^ p[1]), uint8_t(under.r ^ p[2])};
    }
    if (p[3] == 0) return std::nullopt;
    return Bgr{blend(p[0], under.b, p[3]), blend(p[1], under.g, p[3]), blend(p[2], under.r, p[3])};
}

// The shape's rows (a monochrome shape's image is half its height) and columns its bytes hold.
std::pair<uint32_t, uint32_t> drawable(const CursorShape& shape) {
    const bool mono = shape.type == DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MONOCHROME;
    const uint32_t stored = shape.pitch ? static_cast<uint32_t>(shape.bytes.size() / shape.pitch) : 0;
    const uint32_t half = shape.height / 2;  // a monochrome shape's XOR mask starts there
    const uint32_t rows = mono ? std::min(half, stored > half ? stored - half : 0) : std::min(shape.height, stored);
    return {rows, std::min(shape.width, mono ? shape.pitch * 8 : shape.pitch / 4)};
}

}  // namespace

void drawPointer(gpu::Image& picture, const CursorShape& shape, POINT topLeft, float white) {
    const auto [rows, columns] = drawable(shape);
    const uint32_t monoRows = shape.type == DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MONOCHROME ? shape.height / 2 : 0;
    for (uint32_t sy = 0; sy < rows; ++sy) {
        const int64_t y = int64_t{topLeft.y} + sy;
        if (y < 0 || y >= picture.height) continue;
        for (uint32_t sx = 0; sx < columns; ++sx) {
            const int64_t x = int64_t{topLeft.x} + sx;
            if (x < 0 || x >= picture.width) continue;
            uint8_t* pixel = picture.pixel(0, static_cast<uint32_t>(x), static_cast<uint32_t>(y));
            if (auto drawn = pointerOver(shape, sx, sy, monoRows, readSdr(picture, pixel, white)))
                writeSdr(picture, pixel, *drawn, white);
        }
    }
}

void blackOut(gpu::Image& picture, const RECT& area) {
    const LONG left = std::max<LONG>(area.left, 0), top = std::max<LONG>(area.top, 0);
    const LONG right = std::min<LONG>(area.right, static_cast<LONG>(picture.width));
    const LONG bottom = std::min<LONG>(area.bottom, static_cast<LONG>(picture.height));
    if (left >= right || top >= bottom) return;
    const size_t bpp = gpu::bytesPerPixel(picture.format);
    uint8_t black[16] = {};
    gpu::encodePixel(picture.format, {0.0f, 0.0f, 0.0f, 1.0f}, black);
    for (LONG y = top; y < bottom; ++y) {
        uint8_t* pixel = picture.pixel(0, static_cast<uint32_t>(left), static_cast<uint32_t>(y));
        for (LONG x = left; x < right; ++x, pixel += bpp) std::memcpy(pixel, black, bpp);
    }
}

}  // namespace winsim
