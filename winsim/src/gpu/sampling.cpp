#include "gpu/sampling.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <immintrin.h>

#include "shader/lanes.h"

namespace winsim::gpu {
namespace {

using shader::F4;
using shader::U4;

uint32_t mipFor(const ShaderResource& texture, float lod) {
    const float level = static_cast<float>(texture.mostDetailedMip) + (std::isnan(lod) ? 0.0f : std::nearbyint(lod));
    const float last = static_cast<float>(texture.image->mipLevels - 1);
    return static_cast<uint32_t>(std::clamp(level, 0.0f, last));
}

// floor(t) clamped to 0..size-1; NaN gives 0.
int32_t texel(float t, uint32_t size) {
    if (!(t >= 0.0f)) return 0;
    if (t >= static_cast<float>(size)) return static_cast<int32_t>(size) - 1;
    return static_cast<int32_t>(t);
}

// Half floats to floats for 16 lanes: the 15 low bits shifted into place and rebased by 2^112
// (exact for normals, subnormals and zero), infinities and NaNs forced to exponent 255.
F4 halvesToFloats(U4 h) {
    const U4 magnitude = (h & 0x7FFF) << 13;
    U4 bits = shader::asUint(shader::asFloat<F4>(magnitude) * 5.192296858534828e33f);  // 2^112
    bits = (magnitude >= (0x7C00u << 13)) ? (bits | 0x7F800000u) : bits;
    return shader::asFloat<F4>(bits | (h & 0x8000) << 16);
}

bool hasF16c() {
    static const bool has = __builtin_cpu_supports("f16c") && __builtin_cpu_supports("avx");
    return has;
}

// The processor's own conversion, where it has one: the same values (NaNs stay NaNs).
__attribute__((target("avx,f16c"))) void halvesToFloatsF16c(const uint16_t* halves, float* out) {
    for (int i = 0; i < kSampleLanes; i += 8)
        _mm256_storeu_ps(out + i, _mm256_cvtph_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(halves + i))));
}

void pointHalf(const Image& image, uint32_t mip, const int32_t* xs, const int32_t* ys, float* const out[4]) {
    const uint8_t* base = image.mips[mip].data();
    const size_t pitch = image.rowPitch(mip);
    uint16_t texels[kSampleLanes][4];
    bool row = true;  // sixteen neighbours on one row, as a one-to-one copy reads them
    for (int i = 1; i < kSampleLanes; ++i) row = row && ys[i] == ys[0] && xs[i] == xs[0] + i;
    if (row) {
        std::memcpy(texels, base + static_cast<size_t>(ys[0]) * pitch + static_cast<size_t>(xs[0]) * 8, sizeof texels);
    } else {
        for (int i = 0; i < kSampleLanes; ++i)
            std::memcpy(texels[i], base + static_cast<size_t>(ys[i]) * pitch + static_cast<size_t>(xs[i]) * 8, 8);
    }
    for (int c = 0; c < 4; ++c) {
        uint16_t channel[kSampleLanes];
        for (int i = 0; i < kSampleLanes; ++i) channel[i] = texels[i][c];
        if (hasF16c()) {
            halvesToFloatsF16c(channel, out[c]);
            continue;
        }
        for (int quad = 0; quad < kSampleLanes; quad += 4) {
            const U4 h = {channel[quad], channel[quad + 1], channel[quad + 2], channel[quad + 3]};
            const F4 f = halvesToFloats(h);
            std::memcpy(out[c] + quad, &f, sizeof f);
        }
    }
}

// floor(t x size) clamped to 0..size-1 (NaN to 0) for 16 coordinates.
void pointCoordinates(const float* t, uint32_t size, int32_t* out) {
    const float last = static_cast<float>(size - 1);
    for (int quad = 0; quad < kSampleLanes; quad += 4) {
        F4 x;
        std::memcpy(&x, t + quad, sizeof x);
        x = shader::vfloor(x * static_cast<float>(size));
        x = shader::vmin(shader::vmax(x, shader::splat<F4>(0.0f)), shader::splat<F4>(last));
        const shader::I4 i = __builtin_convertvector(x, shader::I4);
        std::memcpy(out + quad, &i, sizeof i);
    }
}

Float4 read(const Image& image, uint32_t mip, int32_t x, int32_t y) {
    return decodePixel(image.format, image.mips[mip].data() + static_cast<size_t>(y) * image.rowPitch(mip) +
                                         static_cast<size_t>(x) * bytesPerPixel(image.format));
}

void store(float* const out[4], int i, const Float4& v) {
    out[0][i] = v.r;
    out[1][i] = v.g;
    out[2][i] = v.b;
    out[3][i] = v.a;
}

Float4 bilinear(const Image& image, uint32_t mip, float fu, float fv) {
    const uint32_t w = image.mipWidth(mip), h = image.mipHeight(mip);
    const float fx = fu * static_cast<float>(w) - 0.5f, fy = fv * static_cast<float>(h) - 0.5f;
    const float x0f = std::isnan(fx) ? 0.0f : std::floor(std::clamp(fx, -1.0f, static_cast<float>(w)));
    const float y0f = std::isnan(fy) ? 0.0f : std::floor(std::clamp(fy, -1.0f, static_cast<float>(h)));
    const float tx = std::isnan(fx) ? 0.0f : std::clamp(fx - x0f, 0.0f, 1.0f);
    const float ty = std::isnan(fy) ? 0.0f : std::clamp(fy - y0f, 0.0f, 1.0f);
    const int32_t x0 = texel(x0f, w), x1 = texel(x0f + 1, w), y0 = texel(y0f, h), y1 = texel(y0f + 1, h);
    const Float4 a = read(image, mip, x0, y0), b = read(image, mip, x1, y0);
    const Float4 c = read(image, mip, x0, y1), d = read(image, mip, x1, y1);
    const auto mix = [&](float p, float q, float r, float s) {
        return (p * (1 - tx) + q * tx) * (1 - ty) + (r * (1 - tx) + s * tx) * ty;
    };
    return {mix(a.r, b.r, c.r, d.r), mix(a.g, b.g, c.g, d.g), mix(a.b, b.b, c.b, d.b), mix(a.a, b.a, c.a, d.a)};
}

void zero(float* const out[4]) {
    for (int c = 0; c < 4; ++c) std::fill(out[c], out[c] + kSampleLanes, 0.0f);
}

}  // namespace

void sampleLanes(const ShaderResource& texture, const SamplerDesc& sampler, const float* lod, const float* u,
                 const float* v, float* const out[4]) {
    if (!texture.image || texture.mostDetailedMip >= texture.image->mipLevels) return zero(out);
    const Image& image = *texture.image;
    if (sampler.linear) {
        for (int i = 0; i < kSampleLanes; ++i) store(out, i, bilinear(image, mipFor(texture, lod ? lod[i] : 0), u[i], v[i]));
        return;
    }
    int32_t xs[kSampleLanes], ys[kSampleLanes];
    uint32_t mips[kSampleLanes];
    const uint32_t first = mipFor(texture, lod ? lod[0] : 0);
    bool sameMip = true;
    for (int i = 0; i < kSampleLanes; ++i) {
        mips[i] = lod ? mipFor(texture, lod[i]) : first;
        sameMip = sameMip && mips[i] == first;
    }
    if (sameMip) {
        pointCoordinates(u, image.mipWidth(first), xs);
        pointCoordinates(v, image.mipHeight(first), ys);
    } else {
        for (int i = 0; i < kSampleLanes; ++i) {
            xs[i] = texel(std::floor(u[i] * static_cast<float>(image.mipWidth(mips[i]))), image.mipWidth(mips[i]));
            ys[i] = texel(std::floor(v[i] * static_cast<float>(image.mipHeight(mips[i]))), image.mipHeight(mips[i]));
        }
    }
    if (sameMip && image.format == DXGI_FORMAT_R16G16B16A16_FLOAT) return pointHalf(image, mips[0], xs, ys, out);
    for (int i = 0; i < kSampleLanes; ++i) store(out, i, read(image, mips[i], xs[i], ys[i]));
}

void fetchLanes(const ShaderResource& texture, const int32_t* x, const int32_t* y, const int32_t* lod,
                float* const out[4]) {
    if (!texture.image) return zero(out);
    const Image& image = *texture.image;
    for (int i = 0; i < kSampleLanes; ++i) {
        const int64_t mip = static_cast<int64_t>(texture.mostDetailedMip) + lod[i];
        const bool inside = mip >= 0 && mip < image.mipLevels && x[i] >= 0 && y[i] >= 0 &&
                            static_cast<uint32_t>(x[i]) < image.mipWidth(static_cast<uint32_t>(mip)) &&
                            static_cast<uint32_t>(y[i]) < image.mipHeight(static_cast<uint32_t>(mip));
        store(out, i, inside ? read(image, static_cast<uint32_t>(mip), x[i], y[i]) : Float4{0, 0, 0, 0});
    }
}

}  // namespace winsim::gpu
