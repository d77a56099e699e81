// Turning a pointer shape, as desktop duplication hands it out, into a BGRA image.
#pragma once
#include <dxgi1_2.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velda {

// Cursor images larger than this on either side are taken as malformed.
constexpr uint32_t kMaxPointerSide = 1024;

// Converts `size` bytes of shape data described by `info` into `image`: imageHeight rows of
// info.Width pixels, each a 0xAARRGGBB word with straight alpha. A monochrome shape holds an AND
// and an XOR mask, so its image is half as high as the shape. Returns false, and leaves `image`
// and `imageHeight` alone, when the description does not fit the bytes (a pitch too small for a
// row, rows beyond the buffer, an empty or absurd size).
bool convertPointerShape(const DXGI_OUTDUPL_POINTER_SHAPE_INFO& info, const uint8_t* bytes, size_t size,
                         std::vector<uint32_t>& image, uint32_t& imageHeight);

}  // namespace velda
