// Texel reads for the shader interpreter, in blocks of 16 lanes: clamp addressing, point or linear
// filtering within one mip (the view's most detailed mip plus the rounded lod), no mip blending.
// Unbound textures read as zero, as do fetches outside the texture.
#pragma once
#include <cstdint>

#include "gpu/draw.h"
#include "shader/texture_units.h"

namespace winsim::gpu {

constexpr int kSampleLanes = 16;

// `lanes` (a multiple of 16) lanes; `lod` may be null (lod 0 for every lane). out[0..3] receive
// red, green, blue and alpha.
void sampleLanes(const ShaderResource& texture, const SamplerDesc& sampler, const float* lod, const float* u,
                 const float* v, float* const out[4], int lanes);
void fetchLanes(const ShaderResource& texture, const int32_t* x, const int32_t* y, const int32_t* lod,
                float* const out[4], int lanes);

// A draw's texture and sampler slots as the interpreter reads them. A texture slot out of range
// reads as unbound, a sampler slot out of range as s0.
class Bindings final : public shader::TextureUnits {
public:
    Bindings(const std::array<ShaderResource, 2>& resources, const std::array<SamplerDesc, 2>& samplers)
        : resources_(resources), samplers_(samplers) {}
    void sample(uint32_t texture, uint32_t sampler, const float* lod, const float* u, const float* v,
                float* const out[4], int lanes) const override;
    void fetch(uint32_t texture, const int32_t* x, const int32_t* y, const int32_t* lod,
               float* const out[4], int lanes) const override;

private:
    const ShaderResource& resource(uint32_t texture) const;
    std::array<ShaderResource, 2> resources_;
    std::array<SamplerDesc, 2> samplers_;
};

}  // namespace winsim::gpu
