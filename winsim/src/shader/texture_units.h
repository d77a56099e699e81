// What the interpreter reads textures through: texture slots t0.. and sampler slots s0.., `lanes`
// lanes at a time (a multiple of sixteen: one group of invocations or several side by side).
// Whoever runs a program implements it over its own images.
#pragma once
#include <cstdint>

namespace winsim::shader {

class TextureUnits {
public:
    // Samples texture slot `texture` with sampler slot `sampler` at (u, v); `lod` may be null (lod 0
    // for every lane). out[0..3] receive red, green, blue and alpha of the lanes.
    virtual void sample(uint32_t texture, uint32_t sampler, const float* lod, const float* u, const float* v,
                        float* const out[4], int lanes) const = 0;
    // Reads texels (x, y) of mip `lod` of texture slot `texture`; outside the texture they read as zero.
    virtual void fetch(uint32_t texture, const int32_t* x, const int32_t* y, const int32_t* lod,
                       float* const out[4], int lanes) const = 0;

protected:
    ~TextureUnits() = default;
};

}  // namespace winsim::shader
