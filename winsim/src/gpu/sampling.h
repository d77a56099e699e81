// Texel reads for the shader interpreter, 16 lanes at a time: clamp addressing, point or linear
// filtering within one mip (the view's most detailed mip plus the rounded lod), no mip blending.
// Unbound textures read as zero, as do fetches outside the texture.
#pragma once
#include <cstdint>

#include "gpu/draw.h"

namespace winsim::gpu {

constexpr int kSampleLanes = 16;

// `lod` may be null (lod 0 for every lane). out[0..3] receive red, green, blue and alpha.
void sampleLanes(const ShaderResource& texture, const SamplerDesc& sampler, const float* lod, const float* u,
                 const float* v, float* const out[4]);
void fetchLanes(const ShaderResource& texture, const int32_t* x, const int32_t* y, const int32_t* lod,
                float* const out[4]);

}  // namespace winsim::gpu
