// The back-end's pixel loops that run on vectors, built once for each instruction set that
// shader/isa.h names: output packing, the FP16 point sample along a row, mip halving. Every build
// writes the same bits.
#pragma once
#include <cstddef>
#include <cstdint>

namespace winsim::gpu {

struct Kernels {
    // Sixteen opaque writes into a B8G8R8A8 row, rounded as encodePixel rounds.
    void (*writeBgra16)(uint8_t* out, const float* const rgba[4]);
    // A point sample of an FP16 mip (floor(t x size) clamped, NaN to 0) over `lanes` lanes, in
    // blocks of 16 that each read neighbours on one row, as a one-to-one copy does. Returns how
    // many lanes it wrote: it stops before the first block of any other pattern.
    int (*pointHalfRow)(const uint8_t* base, size_t pitch, uint32_t width, uint32_t height, const float* u,
                        const float* v, float* const out[4], int lanes);
    // The first pixels of a row of a 2x2 box filter of four 8-bit channels, (a + b + c + d + 2) >> 2,
    // from rows row0 and row1; returns how many it wrote, a multiple of the vector width.
    uint32_t (*halveRow)(const uint8_t* row0, const uint8_t* row1, uint8_t* out, uint32_t dstWidth);
};

// The kernels of the path in use.
const Kernels& kernels();

const Kernels& kernelsSse2();
const Kernels& kernelsAvx2();
const Kernels& kernelsAvx512();

}  // namespace winsim::gpu
