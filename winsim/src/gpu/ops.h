// The GPU back-end's operations on images: copies, uploads, clears and mip generation.
// They run on a device's queue, which orders them; nothing here locks.
#pragma once
#include <cstdint>
#include <memory>

#include "gpu/texture.h"

namespace winsim::gpu {

struct Rect {
    uint32_t left = 0, top = 0, right = 0, bottom = 0;
    uint32_t width() const { return right - left; }
    uint32_t height() const { return bottom - top; }
};

// Copies `box` of mip `srcMip` of `src` to (x, y) of mip `dstMip` of `dst`. The formats have the
// same pixel size, and box and destination lie inside their mips (the front-end checks).
void copyRegion(Image& dst, uint32_t dstMip, uint32_t x, uint32_t y, const Image& src, uint32_t srcMip, Rect box);
// Writes rows of `rowPitch` bytes from `data` into `box` of mip `mip`.
void writeRegion(Image& dst, uint32_t mip, Rect box, const uint8_t* data, size_t rowPitch);
// Reads `box` of mip `mip` into rows of `rowPitch` bytes at `data`.
void readRegion(const Image& src, uint32_t mip, Rect box, uint8_t* data, size_t rowPitch);
// Fills mip `mip` with one colour.
void fillMip(Image& dst, uint32_t mip, const Float4& colour);
// Fills mips first+1 .. last from mip `first`, each from the one above: a 2x2 box filter, and
// along an odd dimension a 1-2-1 tent so that the last row or column is taken in too.
void generateMips(Image& image, uint32_t first, uint32_t last);

}  // namespace winsim::gpu
