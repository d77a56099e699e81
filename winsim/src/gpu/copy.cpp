#include <algorithm>
#include <cstring>
#include <mutex>
#include <shared_mutex>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "gpu/ops.h"

namespace winsim::gpu {
namespace {

// From this size on a copy streams its destination past the caches: a whole ring slot or desktop
// image is not read back by the copying thread, so the reads for ownership of its lines are work
// for nothing. Smaller copies (cursor shapes, rows of a region) keep their lines cached.
constexpr size_t kStreamBytes = size_t{1} << 20;

// `bytes` from `from` to `to`, which must not overlap.
void copyBytes(uint8_t* to, const uint8_t* from, size_t bytes) {
#if defined(__SSE2__)
    if (bytes >= kStreamBytes) {
        const size_t head = (16 - reinterpret_cast<uintptr_t>(to) % 16) % 16;  // to the first aligned line
        std::memcpy(to, from, head);
        size_t at = head;
        for (; at + 64 <= bytes; at += 64) {
            const auto* in = reinterpret_cast<const __m128i*>(from + at);
            auto* out = reinterpret_cast<__m128i*>(to + at);
            const __m128i a = _mm_loadu_si128(in), b = _mm_loadu_si128(in + 1), c = _mm_loadu_si128(in + 2),
                          d = _mm_loadu_si128(in + 3);
            _mm_stream_si128(out, a);
            _mm_stream_si128(out + 1, b);
            _mm_stream_si128(out + 2, c);
            _mm_stream_si128(out + 3, d);
        }
        _mm_sfence();  // the streamed stores are ordered before whatever the queue does next
        std::memcpy(to + at, from + at, bytes - at);
        return;
    }
#endif
    std::memcpy(to, from, bytes);
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
