#include "gpu/output.h"

#include <algorithm>
#include <cstring>

#include "gpu/kernels.h"
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

}  // namespace

void writeSpan(Image& target, const BlendDesc& blend, int32_t y, int32_t x, int count, const uint16_t* alive,
               const float* const rgba[4]) {
    const Format format = target.format;
    const uint32_t bpp = bytesPerPixel(format);
    uint8_t* row = target.pixel(0, static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    const bool opaque = !blend.enable && blend.writeMask == 0xF && format == Format::Bgra8Unorm;
    const Kernels& k = kernels();
    const bool unorm = !isFloat(format);
    for (int first = 0; first < count; first += shader::kLanes) {
        const uint32_t mask = alive[first / shader::kLanes];
        if (opaque && count - first >= shader::kLanes && mask == 0xFFFF) {
            const float* const block[4] = {rgba[0] + first, rgba[1] + first, rgba[2] + first, rgba[3] + first};
            k.writeBgra16(row + static_cast<size_t>(first) * 4, block);
            continue;
        }
        for (int i = first; i < count && i < first + shader::kLanes; ++i) {
            if (!(mask >> (i - first) & 1)) continue;
            uint8_t* pixel = row + static_cast<size_t>(i) * bpp;
            encodePixel(format, merge(blend, unorm, {rgba[0][i], rgba[1][i], rgba[2][i], rgba[3][i]}, pixel, format), pixel);
        }
    }
}

}  // namespace winsim::gpu
