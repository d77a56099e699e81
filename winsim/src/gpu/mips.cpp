// Mip generation. Each level is filtered from the one above it. Along a dimension that halves
// exactly, a destination pixel averages two source pixels; along an odd one (5 -> 2) it takes a
// 1-2-1 tent over three, and a dimension of 1 stays 1. Weights are kept in sixteenths so that
// 8-bit formats are filtered in integers with exact rounding to nearest.
#include <mutex>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "gpu/kernels.h"
#include "gpu/ops.h"

namespace winsim::gpu {
namespace {

struct Taps {
    uint32_t index[3];
    uint32_t weight[3];  // out of 4
    int count;
};

Taps tapsFor(uint32_t srcSize, uint32_t d) {
    if (srcSize == 1) return {{0, 0, 0}, {4, 0, 0}, 1};
    if (srcSize % 2 == 0) return {{2 * d, 2 * d + 1, 0}, {2, 2, 0}, 2};
    return {{2 * d, 2 * d + 1, 2 * d + 2}, {1, 2, 1}, 3};
}

std::vector<Taps> tapsAlong(uint32_t srcSize, uint32_t dstSize) {
    std::vector<Taps> taps(dstSize);
    for (uint32_t d = 0; d < dstSize; ++d) taps[d] = tapsFor(srcSize, d);
    return taps;
}

bool isFourBytes(Format format) { return format == Format::Bgra8Unorm || format == Format::Rgba8Unorm; }

// Four 8-bit channels, both dimensions halving exactly: (a + b + c + d + 2) >> 2 per channel.
void halveRow(const uint8_t* row0, const uint8_t* row1, uint8_t* out, uint32_t dstWidth) {
    uint32_t x = kernels().halveRow(row0, row1, out, dstWidth);
    for (; x < dstWidth; ++x)
        for (int c = 0; c < 4; ++c)
            out[4 * x + c] = static_cast<uint8_t>((row0[8 * x + c] + row0[8 * x + 4 + c] + row1[8 * x + c] + row1[8 * x + 4 + c] + 2) >> 2);
}

// Row y of mip `mip` from two rows of the mip above, and with every second row the row of the mip
// below it too, up to mip `last`: each level's rows are filtered again while they are still in
// the cache, so that the chain reads the first level from memory once.
void halveRows(Image& image, uint32_t mip, uint32_t y, uint32_t last) {
    const size_t srcPitch = image.rowPitch(mip - 1), dstPitch = image.rowPitch(mip);
    const uint8_t* row0 = image.mips[mip - 1].data() + 2 * y * srcPitch;
    halveRow(row0, row0 + srcPitch, image.mips[mip].data() + y * dstPitch, image.mipWidth(mip));
    if (mip < last && y % 2 == 1) halveRows(image, mip + 1, y / 2, last);
}

// The first of mips first+1 .. last whose level above does not halve exactly.
uint32_t evenChainEnd(const Image& image, uint32_t first, uint32_t last) {
    uint32_t mip = first;
    while (mip < last && image.mipWidth(mip) % 2 == 0 && image.mipHeight(mip) % 2 == 0) ++mip;
    return mip;
}

// The rows of a vertical filter summed with their weights into 16-bit values, one per byte.
void filterColumns(const uint8_t* const rows[3], const uint16_t w[3], std::vector<uint16_t>& column) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i w0 = _mm_set1_epi16(static_cast<int16_t>(w[0])), w1 = _mm_set1_epi16(static_cast<int16_t>(w[1])),
                  w2 = _mm_set1_epi16(static_cast<int16_t>(w[2]));
    const auto weigh = [&](__m128i a, __m128i b, __m128i c) {
        return _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(a, w0), _mm_mullo_epi16(b, w1)), _mm_mullo_epi16(c, w2));
    };
    const auto load = [&](int j) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[j] + i)); };
    for (; i + 16 <= column.size(); i += 16) {
        const __m128i a = load(0), b = load(1), c = load(2);
        auto* out = reinterpret_cast<__m128i*>(column.data() + i);
        _mm_storeu_si128(out, weigh(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(c, zero)));
        _mm_storeu_si128(out + 1, weigh(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(c, zero)));
    }
#endif
    for (; i < column.size(); ++i) column[i] = static_cast<uint16_t>(w[0] * rows[0][i] + w[1] * rows[1][i] + w[2] * rows[2][i]);
}

// One destination pixel from the summed columns of its horizontal taps, rounded to nearest.
void filterAcross(const uint16_t* column, const Taps& t, uint8_t* out) {
#if defined(__SSE2__)
    __m128i sum = _mm_set1_epi16(8);
    for (int i = 0; i < t.count; ++i) {
        const __m128i texel = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(column + t.index[i] * 4));
        sum = _mm_add_epi16(sum, _mm_mullo_epi16(texel, _mm_set1_epi16(static_cast<int16_t>(t.weight[i]))));
    }
    sum = _mm_srli_epi16(sum, 4);
    const int32_t packed = _mm_cvtsi128_si32(_mm_packus_epi16(sum, sum));
    std::memcpy(out, &packed, 4);
#else
    for (int c = 0; c < 4; ++c) {
        uint32_t sum = 8;
        for (int i = 0; i < t.count; ++i) sum += t.weight[i] * column[t.index[i] * 4 + c];
        out[c] = static_cast<uint8_t>(sum >> 4);
    }
#endif
}

// Along an even row every destination pixel is the pair of summed columns 2x, 2x + 1 with the
// same weight: (2a + 2b + 8) >> 4 = (a + b + 4) >> 3, two pixels at a time. Returns how many it
// wrote.
uint32_t filterAcrossPairs(const uint16_t* column, uint32_t dstWidth, uint8_t* out) {
    uint32_t x = 0;
#if defined(__SSE2__)
    for (; x + 2 <= dstWidth; x += 2) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(column + 8 * x));  // columns of pixels 2x, 2x + 1
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(column + 8 * x + 8));
        const __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(a, b), _mm_unpackhi_epi64(a, b));
        const __m128i pixels = _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(4)), 3);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * x), _mm_packus_epi16(pixels, pixels));
    }
#endif
    return x;
}

// Four 8-bit channels, any sizes: down the columns into 16-bit sums, then across them. Every
// sum stays below 16 x 255 + 8, and the result is the same as weighting each tap at once.
void filterBytes(const Image& image, uint32_t mip, uint8_t* dst) {
    const uint32_t srcW = image.mipWidth(mip), srcH = image.mipHeight(mip);
    const uint32_t dstW = image.mipWidth(mip + 1), dstH = image.mipHeight(mip + 1);
    const uint8_t* src = image.mips[mip].data();
    const size_t pitch = image.rowPitch(mip);
    const auto across = tapsAlong(srcW, dstW);
    std::vector<uint16_t> column(static_cast<size_t>(srcW) * 4);
    for (uint32_t y = 0; y < dstH; ++y) {
        const Taps down = tapsFor(srcH, y);
        const uint8_t* rows[3];
        uint16_t w[3];
        for (int j = 0; j < 3; ++j) {  // missing taps read the first row with no weight
            rows[j] = src + (j < down.count ? down.index[j] : down.index[0]) * pitch;
            w[j] = static_cast<uint16_t>(j < down.count ? down.weight[j] : 0);
        }
        filterColumns(rows, w, column);
        uint8_t* out = dst + static_cast<size_t>(y) * dstW * 4;
        const uint32_t first = srcW % 2 == 0 ? filterAcrossPairs(column.data(), dstW, out) : 0;
        for (uint32_t x = first; x < dstW; ++x) filterAcross(column.data(), across[x], out + 4 * x);
    }
}

// Any other format, through linear float.
void filterFloat(Image& image, uint32_t mip) {
    const uint32_t srcW = image.mipWidth(mip), srcH = image.mipHeight(mip);
    const uint32_t dstW = image.mipWidth(mip + 1), dstH = image.mipHeight(mip + 1);
    const auto across = tapsAlong(srcW, dstW);
    for (uint32_t y = 0; y < dstH; ++y) {
        const Taps down = tapsFor(srcH, y);
        for (uint32_t x = 0; x < dstW; ++x) {
            Float4 sum{0, 0, 0, 0};
            for (int j = 0; j < down.count; ++j)
                for (int i = 0; i < across[x].count; ++i) {
                    const Float4 p = decodePixel(image.format, image.pixel(mip, across[x].index[i], down.index[j]));
                    const float w = static_cast<float>(down.weight[j] * across[x].weight[i]) / 16.0f;
                    sum = {sum.r + w * p.r, sum.g + w * p.g, sum.b + w * p.b, sum.a + w * p.a};
                }
            encodePixel(image.format, sum, image.pixel(mip + 1, x, y));
        }
    }
}

}  // namespace

void generateMips(Image& image, uint32_t first, uint32_t last) {
    const std::unique_lock writing(image.guard);
    for (uint32_t mip = first; mip < last;) {
        const uint32_t end = isFourBytes(image.format) ? evenChainEnd(image, mip, last) : mip;
        if (end > mip) {
            for (uint32_t y = 0; y < image.mipHeight(mip + 1); ++y) halveRows(image, mip + 1, y, end);
            mip = end;
        } else {
            if (isFourBytes(image.format)) filterBytes(image, mip, image.mips[mip + 1].data());
            else filterFloat(image, mip);
            ++mip;
        }
    }
}

}  // namespace winsim::gpu
