// The desktop as an SDR application sees it: an FP16 desktop's linear scRGB with its SDR white at
// 255, sRGB-encoded and brighter values clipped; the other formats' gamma-encoded values as they
// are, in 8 bits. Images a duplication hands out in B8G8R8A8 of a deeper desktop show this, and
// the pointer the compositor draws is blended in it.
#pragma once
#include <cstdint>
#include <vector>

#include "gpu/texture.h"

namespace winsim {

// One channel of a desktop of `format` (scRGB with SDR white at `white` for FP16) as an 8-bit SDR
// value, and an 8-bit SDR value as that channel.
uint8_t sdrByte(gpu::Format format, float value, float white);
float desktopValue(gpu::Format format, uint8_t sdr, float white);

class SdrView {
public:
    // Writes `desktop` into `bgra`, a B8G8R8A8 image of the same size, as an SDR application sees
    // it, opaque. Leaves `bgra` alone when the sizes or its format do not fit.
    void convert(const gpu::Image& desktop, gpu::Image& bgra, float white);

private:
    // The 8-bit SDR value of every half-float value at `white`.
    const std::vector<uint8_t>& halfTable(float white);

    std::vector<uint8_t> table_;
    float tableWhite_ = -1.0f;
};

}  // namespace winsim
