#include "gpu/output.h"

#include <algorithm>
#include <cstring>

#include <immintrin.h>

#include "shader/lanes.h"

namespace winsim::gpu {
namespace {

// Colour factors read alpha when they weight the alpha channel.
float factor(BlendFactor blend, float src, float srcAlpha, float dst, float dstAlpha) {
    switch (blend) {
        case BlendFactor::Zero: return 0.0f;
        case BlendFactor::SrcColor: return src;
        case BlendFactor::InvSrcColor: return 1.0f - src;
        case BlendFactor::SrcAlpha: return srcAlpha;
        case BlendFactor::InvSrcAlpha: return 1.0f - srcAlpha;
        case BlendFactor::DestAlpha: return dstAlpha;
        case BlendFactor::InvDestAlpha: return 1.0f - dstAlpha;
        case BlendFactor::DestColor: return dst;
        case BlendFactor::InvDestColor: return 1.0f - dst;
        case BlendFactor::SrcAlphaSaturate: return std::min(srcAlpha, 1.0f - dstAlpha);
        case BlendFactor::Constant: return 0.0f;  // the constant factor, which draws leave at zero
        case BlendFactor::InvConstant:
        case BlendFactor::One: return 1.0f;
    }
    return 1.0f;
}

float combine(BlendOp op, float s, float d) {
    switch (op) {
        case BlendOp::Subtract: return s - d;
        case BlendOp::RevSubtract: return d - s;
        case BlendOp::Min: return std::min(s, d);
        case BlendOp::Max: return std::max(s, d);
        case BlendOp::Add: return s + d;
    }
    return s + d;
}

float blendChannel(const BlendDesc& b, bool alpha, float s, float sa, float d, float da, float rawS, float rawD) {
    const BlendOp op = alpha ? b.blendOpAlpha : b.blendOp;
    if (op == BlendOp::Min || op == BlendOp::Max) return combine(op, s, d);
    const float sf = factor(alpha ? b.srcBlendAlpha : b.srcBlend, rawS, sa, rawD, da);
    const float df = factor(alpha ? b.destBlendAlpha : b.destBlend, rawS, sa, rawD, da);
    return combine(op, s * sf, d * df);
}

Float4 merge(const BlendDesc& blend, bool unorm, Float4 src, const uint8_t* pixel, Format format) {
    if (unorm) {
        for (float* c : {&src.r, &src.g, &src.b, &src.a}) *c = std::clamp(*c, 0.0f, 1.0f);
    }
    if (!blend.enable && blend.writeMask == 0xF) return src;
    const Float4 dst = decodePixel(format, pixel);
    Float4 out = src;
    if (blend.enable) {
        out.r = blendChannel(blend, false, src.r, src.a, dst.r, dst.a, src.r, dst.r);
        out.g = blendChannel(blend, false, src.g, src.a, dst.g, dst.a, src.g, dst.g);
        out.b = blendChannel(blend, false, src.b, src.a, dst.b, dst.a, src.b, dst.b);
        out.a = blendChannel(blend, true, src.a, src.a, dst.a, dst.a, src.a, dst.a);
    }
    if (!(blend.writeMask & 1)) out.r = dst.r;
    if (!(blend.writeMask & 2)) out.g = dst.g;
    if (!(blend.writeMask & 4)) out.b = dst.b;
    if (!(blend.writeMask & 8)) out.a = dst.a;
    return out;
}

// Clamped to 0..1 (NaN to 0: max returns its second operand then), scaled and rounded.
__m128i toByte(const float* channel) {
    const __m128 v = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(channel), _mm_setzero_ps()), _mm_set1_ps(1.0f));
    return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(v, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f)));
}

// Sixteen opaque writes into a B8G8R8A8 target, exactly as encodePixel rounds.
void writeBgra(uint8_t* out, const float* const rgba[4]) {
    for (int quad = 0; quad < shader::kLanes; quad += 4) {
        const __m128i packed = _mm_or_si128(_mm_or_si128(toByte(rgba[2] + quad), _mm_slli_epi32(toByte(rgba[1] + quad), 8)),
                                            _mm_or_si128(_mm_slli_epi32(toByte(rgba[0] + quad), 16),
                                                         _mm_slli_epi32(toByte(rgba[3] + quad), 24)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + quad * 4), packed);
    }
    __builtin_prefetch(out + 512, 1);  // the row ahead, for writing
}

// GCC 12's AVX-512 intrinsics start from an "undefined" vector that its own warnings object to.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

__attribute__((target("avx512f"), always_inline)) inline __m512i toByte16(const float* channel) {
    const __m512 v = _mm512_min_ps(_mm512_max_ps(_mm512_loadu_ps(channel), _mm512_setzero_ps()), _mm512_set1_ps(1.0f));
    return _mm512_cvttps_epi32(_mm512_add_ps(_mm512_mul_ps(v, _mm512_set1_ps(255.0f)), _mm512_set1_ps(0.5f)));
}

// The same sixteen writes in one AVX-512 step.
__attribute__((target("avx512f"))) void writeBgraAvx512(uint8_t* out, const float* const rgba[4]) {
    const __m512i packed = _mm512_or_si512(_mm512_or_si512(toByte16(rgba[2]), _mm512_slli_epi32(toByte16(rgba[1]), 8)),
                                           _mm512_or_si512(_mm512_slli_epi32(toByte16(rgba[0]), 16),
                                                           _mm512_slli_epi32(toByte16(rgba[3]), 24)));
    _mm512_storeu_si512(out, packed);
    __builtin_prefetch(out + 512, 1);  // the row ahead, for writing
}

#pragma GCC diagnostic pop

}  // namespace

void writeSpan(Image& target, const BlendDesc& blend, int32_t y, int32_t x, int count, uint32_t alive,
               const float* const rgba[4]) {
    const Format format = target.format;
    const uint32_t bpp = bytesPerPixel(format);
    uint8_t* row = target.pixel(0, static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    if (count == shader::kLanes && alive == 0xFFFF && !blend.enable && blend.writeMask == 0xF &&
        format == Format::Bgra8Unorm) {
        static const bool fast = __builtin_cpu_supports("avx512f");
        return fast ? writeBgraAvx512(row, rgba) : writeBgra(row, rgba);
    }
    const bool unorm = !isFloat(format);
    for (int i = 0; i < count; ++i) {
        if (!(alive >> i & 1)) continue;
        uint8_t* pixel = row + static_cast<size_t>(i) * bpp;
        encodePixel(format, merge(blend, unorm, {rgba[0][i], rgba[1][i], rgba[2][i], rgba[3][i]}, pixel, format), pixel);
    }
}

}  // namespace winsim::gpu
