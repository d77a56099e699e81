#include "cursor_shape.h"

#include <cstring>

namespace velda {
namespace {

// The image's height, or 0 when the shape is malformed.
uint32_t imageRows(const DXGI_OUTDUPL_POINTER_SHAPE_INFO& info, size_t size) {
    const bool monochrome = info.Type == DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MONOCHROME;
    const uint32_t rows = monochrome ? info.Height / 2 : info.Height;
    if (info.Width == 0 || rows == 0 || info.Width > kMaxPointerSide || rows > kMaxPointerSide) return 0;
    const uint64_t rowBytes = monochrome ? (info.Width + 7) / 8 : uint64_t{info.Width} * 4;
    const uint64_t shapeRows = monochrome ? uint64_t{rows} * 2 : rows;
    if (info.Pitch < rowBytes) return 0;
    // The last row needs only its own pixels, not a whole pitch.
    if ((shapeRows - 1) * info.Pitch + rowBytes > size) return 0;
    return rows;
}

bool maskBit(const uint8_t* bytes, uint32_t pitch, uint32_t row, uint32_t x) {
    return bytes[size_t{row} * pitch + x / 8] & (0x80u >> (x % 8));
}

void convertMonochrome(const DXGI_OUTDUPL_POINTER_SHAPE_INFO& info, const uint8_t* bytes, uint32_t rows,
                       uint32_t* out) {
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t x = 0; x < info.Width; ++x) {
            const bool andBit = maskBit(bytes, info.Pitch, r, x);
            const bool xorBit = maskBit(bytes, info.Pitch, rows + r, x);
            *out++ = xorBit ? 0xFFFFFFFFu : andBit ? 0x00000000u : 0xFF000000u;
        }
    }
}

uint32_t maskedColor(uint32_t v) {
    const uint32_t rgb = v & 0x00FFFFFFu;
    return (v & 0xFF000000u) == 0 || rgb != 0 ? rgb | 0xFF000000u : 0u;
}

void convertColor(const DXGI_OUTDUPL_POINTER_SHAPE_INFO& info, const uint8_t* bytes, uint32_t rows, uint32_t* out) {
    const bool masked = info.Type == DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MASKED_COLOR;
    for (uint32_t r = 0; r < rows; ++r) {
        const uint8_t* row = bytes + size_t{r} * info.Pitch;
        for (uint32_t x = 0; x < info.Width; ++x) {
            const uint8_t* p = row + size_t{x} * 4;
            const uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
            *out++ = masked ? maskedColor(v) : v;
        }
    }
}

}  // namespace

bool convertPointerShape(const DXGI_OUTDUPL_POINTER_SHAPE_INFO& info, const uint8_t* bytes, size_t size,
                         std::vector<uint32_t>& image, uint32_t& imageHeight) {
    const uint32_t rows = bytes ? imageRows(info, size) : 0;
    if (rows == 0) return false;
    image.assign(size_t{info.Width} * rows, 0u);
    if (info.Type == DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MONOCHROME) {
        convertMonochrome(info, bytes, rows, image.data());
    } else {
        convertColor(info, bytes, rows, image.data());
    }
    imageHeight = rows;
    return true;
}

}  // namespace velda
