#include "gpu/output.h"

#include <algorithm>
#include <cstring>

#include "shader/lanes.h"

namespace winsim::gpu {
namespace {

using shader::F4;
using shader::U4;

bool isFloat(DXGI_FORMAT format) {
    return format == DXGI_FORMAT_R32G32B32A32_FLOAT || format == DXGI_FORMAT_R16G16B16A16_FLOAT ||
           format == DXGI_FORMAT_R32_FLOAT;
}

// D3D11_BLEND values; colour factors read alpha when they weight the alpha channel.
float factor(int blend, float src, float srcAlpha, float dst, float dstAlpha) {
    switch (blend) {
        case 1: return 0.0f;
        case 3: return src;
        case 4: return 1.0f - src;
        case 5: return srcAlpha;
        case 6: return 1.0f - srcAlpha;
        case 7: return dstAlpha;
        case 8: return 1.0f - dstAlpha;
        case 9: return dst;
        case 10: return 1.0f - dst;
        case 11: return std::min(srcAlpha, 1.0f - dstAlpha);
        case 15: return 1.0f;  // inverse of the blend factor, which draws leave at zero
        case 14: return 0.0f;
        default: return 1.0f;  // D3D11_BLEND_ONE
    }
}

float combine(int op, float s, float d) {  // D3D11_BLEND_OP values
    switch (op) {
        case 2: return s - d;
        case 3: return d - s;
        case 4: return std::min(s, d);
        case 5: return std::max(s, d);
        default: return s + d;
    }
}

float blendChannel(const BlendDesc& b, bool alpha, float s, float sa, float d, float da, float rawS, float rawD) {
    const int op = alpha ? b.blendOpAlpha : b.blendOp;
    if (op == 4 || op == 5) return combine(op, s, d);
    const float sf = factor(alpha ? b.srcBlendAlpha : b.srcBlend, rawS, sa, rawD, da);
    const float df = factor(alpha ? b.destBlendAlpha : b.destBlend, rawS, sa, rawD, da);
    return combine(op, s * sf, d * df);
}

Float4 merge(const BlendDesc& blend, bool unorm, Float4 src, const uint8_t* pixel, DXGI_FORMAT format) {
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

U4 toByte(const float* channel) {
    F4 v;
    std::memcpy(&v, channel, sizeof v);
    v = shader::vmin(shader::vmax(v, shader::splat<F4>(0.0f)), shader::splat<F4>(1.0f));  // NaN to 0
    return reinterpret_cast<U4>(__builtin_convertvector(v * 255.0f + 0.5f, shader::I4));
}

// Sixteen opaque writes into a B8G8R8A8 target, exactly as encodePixel rounds.
void writeBgra(uint8_t* out, const float* const rgba[4]) {
    for (int quad = 0; quad < shader::kLanes; quad += 4) {
        const U4 packed = toByte(rgba[2] + quad) | toByte(rgba[1] + quad) << 8 | toByte(rgba[0] + quad) << 16 |
                          toByte(rgba[3] + quad) << 24;
        std::memcpy(out + quad * 4, &packed, sizeof packed);
    }
}

}  // namespace

void writeSpan(Image& target, const BlendDesc& blend, int32_t y, int32_t x, int count, uint32_t alive,
               const float* const rgba[4]) {
    const DXGI_FORMAT format = target.format;
    const uint32_t bpp = bytesPerPixel(format);
    uint8_t* row = target.pixel(0, static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    if (count == shader::kLanes && alive == 0xFFFF && !blend.enable && blend.writeMask == 0xF &&
        (format == DXGI_FORMAT_B8G8R8A8_UNORM || format == DXGI_FORMAT_B8G8R8A8_TYPELESS))
        return writeBgra(row, rgba);
    const bool unorm = !isFloat(format);
    for (int i = 0; i < count; ++i) {
        if (!(alive >> i & 1)) continue;
        uint8_t* pixel = row + static_cast<size_t>(i) * bpp;
        encodePixel(format, merge(blend, unorm, {rgba[0][i], rgba[1][i], rgba[2][i], rgba[3][i]}, pixel, format), pixel);
    }
}

}  // namespace winsim::gpu
