#include "gpu/sampling.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <immintrin.h>

#include "gpu/kernels.h"
#include "shader/isa.h"
#include "shader/lanes_maths.h"

namespace winsim::gpu {
namespace {

using shader::F4;

uint32_t mipFor(const ShaderResource& texture, float lod) {
    if (lod == 0.0f) return std::min(texture.mostDetailedMip, texture.image->mipLevels - 1);
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

// Where the 16 texels of a point sample are: a run of neighbours on one row, as a one-to-one
// copy reads them (at[] is set for every fourth lane only), or anywhere.
struct TexelAddresses {
    const uint8_t* at[kSampleLanes];
    bool row;
};

// Texels 4q .. 4q+3 (four halves each) turned into channels: rg holds red of the four then green,
// ba blue then alpha. Loads and shuffles only, no trip through memory.
struct HalfQuad {
    __m128i rg, ba;
};

[[gnu::always_inline]] inline HalfQuad halfQuad(const TexelAddresses& t, int q) {
    const auto pair = [&](int i) {  // texels i and i + 1
        if (t.row) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.at[i & ~3] + (i & 3) * 8));
        return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t.at[i])),
                                  _mm_loadl_epi64(reinterpret_cast<const __m128i*>(t.at[i + 1])));
    };
    const __m128i a = pair(4 * q), b = pair(4 * q + 2);                        // r0 g0 b0 a0 r1 g1 b1 a1, ...
    const __m128i c = _mm_unpacklo_epi16(a, b), d = _mm_unpackhi_epi16(a, b);  // r0 r2 g0 g2 b0 b2 a0 a2, ...
    return {_mm_unpacklo_epi16(c, d), _mm_unpackhi_epi16(c, d)};
}

// The processor's own conversion: the same values as shader::halvesToFloats.
__attribute__((target("avx,f16c"))) void pointHalfF16c(const TexelAddresses& t, float* const out[4]) {
    for (int q = 0; q < kSampleLanes / 4; ++q) {
        const HalfQuad h = halfQuad(t, q);
        _mm_storeu_ps(out[0] + 4 * q, _mm_cvtph_ps(h.rg));
        _mm_storeu_ps(out[1] + 4 * q, _mm_cvtph_ps(_mm_unpackhi_epi64(h.rg, h.rg)));
        _mm_storeu_ps(out[2] + 4 * q, _mm_cvtph_ps(h.ba));
        _mm_storeu_ps(out[3] + 4 * q, _mm_cvtph_ps(_mm_unpackhi_epi64(h.ba, h.ba)));
    }
}

void pointHalfSoftware(const TexelAddresses& t, float* const out[4]) {
    for (int q = 0; q < kSampleLanes / 4; ++q) {
        const HalfQuad h = halfQuad(t, q);
        shader::HalvesOf<F4> channels[4];  // red, green, blue, alpha of the four texels
        std::memcpy(channels, &h.rg, sizeof h.rg);
        std::memcpy(channels + 2, &h.ba, sizeof h.ba);
        F4 floats[4];
        shader::halfPairToFloats<F4>(channels, floats);
        shader::halfPairToFloats<F4>(channels + 2, floats + 2);
        for (int c = 0; c < 4; ++c) std::memcpy(out[c] + 4 * q, &floats[c], sizeof floats[c]);
    }
}

// The texels of the row ahead, which the next runs of a one-to-one copy read.
void prefetchRow(const uint8_t* texels) {
    __builtin_prefetch(texels + 1024);
    __builtin_prefetch(texels + 1024 + 64);
}

void pointHalf(const Image& image, uint32_t mip, const int32_t* xs, const int32_t* ys, float* const out[4]) {
    const uint8_t* base = image.mips[mip].data();
    const size_t pitch = image.rowPitch(mip);
    TexelAddresses t;
    t.row = true;
    for (int i = 1; i < kSampleLanes; ++i) t.row = t.row && ys[i] == ys[0] && xs[i] == xs[0] + i;
    for (int i = 0; i < kSampleLanes; i += t.row ? 4 : 1)
        t.at[i] = base + static_cast<size_t>(ys[i]) * pitch + static_cast<size_t>(xs[i]) * 8;
    if (t.row) prefetchRow(t.at[0]);
    if (shader::activeIsa() != shader::Isa::Sse2) return pointHalfF16c(t, out);
    pointHalfSoftware(t, out);
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

void zero(float* const out[4], int lanes) {
    for (int c = 0; c < 4; ++c) std::fill(out[c], out[c] + lanes, 0.0f);
}

// One block of 16 lanes.
void sampleBlock(const ShaderResource& texture, const SamplerDesc& sampler, const float* lod, const float* u, const float* v,
                 float* const out[4]) {
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
        mips[i] = lod && i ? mipFor(texture, lod[i]) : first;
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
    if (sameMip && image.format == Format::Rgba16Float) return pointHalf(image, mips[0], xs, ys, out);
    for (int i = 0; i < kSampleLanes; ++i) store(out, i, read(image, mips[i], xs[i], ys[i]));
}

}  // namespace

void sampleLanes(const ShaderResource& texture, const SamplerDesc& sampler, const float* lod, const float* u,
                 const float* v, float* const out[4], int lanes) {
    if (!texture.image || texture.mostDetailedMip >= texture.image->mipLevels) return zero(out, lanes);
    const Image& image = *texture.image;
    // A point sample of FP16 at lod 0 whose blocks read neighbours on one row, as a one-to-one
    // copy does, takes the kernel; any other block the general path.
    const bool row = !sampler.linear && !lod && image.format == Format::Rgba16Float;
    const Kernels& k = kernels();
    const uint32_t mip = mipFor(texture, 0);
    for (int i = 0; i < lanes; i += kSampleLanes) {
        if (row) {
            float* const rest[4] = {out[0] + i, out[1] + i, out[2] + i, out[3] + i};
            i += k.pointHalfRow(image.mips[mip].data(), image.rowPitch(mip), image.mipWidth(mip), image.mipHeight(mip), u + i, v + i,
                                rest, lanes - i);
            if (i == lanes) return;
        }
        float* const block[4] = {out[0] + i, out[1] + i, out[2] + i, out[3] + i};
        sampleBlock(texture, sampler, lod ? lod + i : nullptr, u + i, v + i, block);
    }
}

void fetchLanes(const ShaderResource& texture, const int32_t* x, const int32_t* y, const int32_t* lod,
                float* const out[4], int lanes) {
    if (!texture.image) return zero(out, lanes);
    const Image& image = *texture.image;
    for (int i = 0; i < lanes; ++i) {
        const int64_t mip = static_cast<int64_t>(texture.mostDetailedMip) + lod[i];
        const bool inside = mip >= 0 && mip < image.mipLevels && x[i] >= 0 && y[i] >= 0 &&
                            static_cast<uint32_t>(x[i]) < image.mipWidth(static_cast<uint32_t>(mip)) &&
                            static_cast<uint32_t>(y[i]) < image.mipHeight(static_cast<uint32_t>(mip));
        store(out, i, inside ? read(image, static_cast<uint32_t>(mip), x[i], y[i]) : Float4{0, 0, 0, 0});
    }
}

const ShaderResource& Bindings::resource(uint32_t texture) const {
    static const ShaderResource none;
    return texture < resources_.size() ? resources_[texture] : none;
}

void Bindings::sample(uint32_t texture, uint32_t sampler, const float* lod, const float* u, const float* v,
                      float* const out[4], int lanes) const {
    sampleLanes(resource(texture), samplers_[sampler < samplers_.size() ? sampler : 0], lod, u, v, out, lanes);
}

void Bindings::fetch(uint32_t texture, const int32_t* x, const int32_t* y, const int32_t* lod,
                     float* const out[4], int lanes) const {
    fetchLanes(resource(texture), x, y, lod, out, lanes);
}

}  // namespace winsim::gpu
