#include <algorithm>
#include <cstring>
#include <mutex>
#include <shared_mutex>

#include "gpu/ops.h"
#include "gpu/stream.h"

namespace winsim::gpu {
namespace {

// `bytes` from `from` to `to`, which must not overlap.
void copyBytes(uint8_t* to, const uint8_t* from, size_t bytes) {
    if (bytes >= kStreamBytes) streamCopy(to, from, bytes);
    else std::memcpy(to, from, bytes);
}

}  // namespace

void copyRegion(Image& dst, uint32_t dstMip, uint32_t x, uint32_t y, const Image& src, uint32_t srcMip, Rect box) {
    const std::unique_lock writing(dst.guard);
    std::shared_lock<std::shared_mutex> reading;
    if (&src != &dst) reading = std::shared_lock<std::shared_mutex>(src.guard);
    const size_t bpp = bytesPerPixel(src.format);
    const size_t rowBytes = box.width() * bpp;
    const size_t srcPitch = src.rowPitch(srcMip);
    const size_t dstPitch = dst.rowPitch(dstMip);
    const uint8_t* from = src.mips[srcMip].data() + box.top * srcPitch + box.left * bpp;
    uint8_t* to = dst.mips[dstMip].data() + y * dstPitch + x * bpp;
    if (rowBytes == srcPitch && rowBytes == dstPitch) {  // whole rows on both sides: one block
        if (&src == &dst) std::memmove(to, from, rowBytes * box.height());
        else copyBytes(to, from, rowBytes * box.height());
        return;
    }
    for (uint32_t row = 0; row < box.height(); ++row) std::memmove(to + row * dstPitch, from + row * srcPitch, rowBytes);
}

void writeRegion(Image& dst, uint32_t mip, Rect box, const uint8_t* data, size_t rowPitch) {
    const std::unique_lock writing(dst.guard);
    const size_t bpp = bytesPerPixel(dst.format);
    const size_t dstPitch = dst.rowPitch(mip);
    uint8_t* to = dst.mips[mip].data() + box.top * dstPitch + box.left * bpp;
    for (uint32_t row = 0; row < box.height(); ++row)
        std::memcpy(to + row * dstPitch, data + row * rowPitch, box.width() * bpp);
}

void readRegion(const Image& src, uint32_t mip, Rect box, uint8_t* data, size_t rowPitch) {
    const std::shared_lock reading(src.guard);
    const size_t bpp = bytesPerPixel(src.format);
    const size_t srcPitch = src.rowPitch(mip);
    const uint8_t* from = src.mips[mip].data() + box.top * srcPitch + box.left * bpp;
    for (uint32_t row = 0; row < box.height(); ++row)
        std::memcpy(data + row * rowPitch, from + row * srcPitch, box.width() * bpp);
}

void fillMip(Image& dst, uint32_t mip, const Float4& colour) {
    const std::unique_lock writing(dst.guard);
    const size_t bpp = bytesPerPixel(dst.format);
    uint8_t pixel[16];
    encodePixel(dst.format, colour, pixel);
    auto& bytes = dst.mips[mip];
    for (size_t offset = 0; offset + bpp <= bytes.size(); offset += bpp) std::memcpy(bytes.data() + offset, pixel, bpp);
}

}  // namespace winsim::gpu
