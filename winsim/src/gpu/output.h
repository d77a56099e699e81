// The output merger: a span of pixel-shader colours blended and written into mip 0 of a render
// target, converted to its format (UNORM with round-to-nearest).
#pragma once
#include <cstdint>

#include "gpu/draw.h"

namespace winsim::gpu {

// Writes those of pixels x .. x+count-1 of row y that are alive: pixel x+i when bit i % 16 of
// alive[i / 16] is set. rgba[c][i] is channel c of pixel x+i.
void writeSpan(Image& target, const BlendDesc& blend, int32_t y, int32_t x, int count, const uint16_t* alive,
               const float* const rgba[4]);

}  // namespace winsim::gpu
