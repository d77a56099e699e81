#include "gpu/texture.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace winsim::gpu {
namespace {

float halfToFloat(uint16_t h) {
    const uint32_t sign = static_cast<uint32_t>(h & 0x8000) << 16;
    const uint32_t exponent = (h >> 10) & 0x1F;
    const uint32_t mantissa = h & 0x3FF;
    if (exponent == 0) {  // zero or subnormal
        const float value = std::ldexp(static_cast<float>(mantissa), -24);
        return sign ? -value : value;
    }
    if (exponent == 31) return std::bit_cast<float>(sign | 0x7F800000u | (mantissa << 13));
    return std::bit_cast<float>(sign | ((exponent + 112) << 23) | (mantissa << 13));
}

uint16_t floatToHalf(float f) {
    const uint32_t bits = std::bit_cast<uint32_t>(f);
    const uint16_t sign = static_cast<uint16_t>((bits >> 16) & 0x8000);
    const float magnitude = std::fabs(f);
    if (std::isnan(f)) return static_cast<uint16_t>(sign | 0x7E00);
    if (magnitude >= 65520.0f) return static_cast<uint16_t>(sign | 0x7C00);
    if (magnitude < 6.103515625e-05f) {  // subnormal half: round to nearest multiple of 2^-24
        return static_cast<uint16_t>(sign | static_cast<uint16_t>(std::nearbyint(std::ldexp(magnitude, 24))));
    }
    // Round to nearest even on the 13 dropped mantissa bits.
    uint32_t m = std::bit_cast<uint32_t>(magnitude);
    m += 0x0FFF + ((m >> 13) & 1);
    return static_cast<uint16_t>(sign | ((m - (112u << 23)) >> 13));
}

float unorm(uint32_t value, uint32_t max) { return static_cast<float>(value) / static_cast<float>(max); }

uint32_t toUnorm(float value, uint32_t max) {
    const float clamped = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
    return static_cast<uint32_t>(clamped * static_cast<float>(max) + 0.5f);
}

uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

}  // namespace

uint32_t bytesPerPixel(DXGI_FORMAT format) {
    switch (format) {
        case DXGI_FORMAT_R32G32B32A32_FLOAT: return 16;
        case DXGI_FORMAT_R16G16B16A16_FLOAT:
        case DXGI_FORMAT_R16G16B16A16_UNORM: return 8;
        case DXGI_FORMAT_R10G10B10A2_UNORM:
        case DXGI_FORMAT_R8G8B8A8_UNORM:
        case DXGI_FORMAT_R8G8B8A8_UNORM_SRGB:
        case DXGI_FORMAT_B8G8R8A8_UNORM:
        case DXGI_FORMAT_B8G8R8A8_TYPELESS:
        case DXGI_FORMAT_B8G8R8A8_UNORM_SRGB:
        case DXGI_FORMAT_R32_FLOAT: return 4;
        case DXGI_FORMAT_R8_UNORM: return 1;
        default: return 0;
    }
}

Float4 decodePixel(DXGI_FORMAT format, const uint8_t* p) {
    switch (format) {
        case DXGI_FORMAT_R32G32B32A32_FLOAT: {
            Float4 v;
            std::memcpy(&v, p, 16);
            return v;
        }
        case DXGI_FORMAT_R16G16B16A16_FLOAT:
        case DXGI_FORMAT_R16G16B16A16_UNORM: {
            uint16_t h[4];
            std::memcpy(h, p, 8);
            if (format == DXGI_FORMAT_R16G16B16A16_UNORM)
                return {unorm(h[0], 65535), unorm(h[1], 65535), unorm(h[2], 65535), unorm(h[3], 65535)};
            return {halfToFloat(h[0]), halfToFloat(h[1]), halfToFloat(h[2]), halfToFloat(h[3])};
        }
        case DXGI_FORMAT_R10G10B10A2_UNORM: {
            const uint32_t v = load32(p);
            return {unorm(v & 0x3FF, 1023), unorm((v >> 10) & 0x3FF, 1023), unorm((v >> 20) & 0x3FF, 1023),
                    unorm(v >> 30, 3)};
        }
        case DXGI_FORMAT_R8G8B8A8_UNORM:
        case DXGI_FORMAT_R8G8B8A8_UNORM_SRGB: return {unorm(p[0], 255), unorm(p[1], 255), unorm(p[2], 255), unorm(p[3], 255)};
        case DXGI_FORMAT_B8G8R8A8_UNORM:
        case DXGI_FORMAT_B8G8R8A8_TYPELESS:
        case DXGI_FORMAT_B8G8R8A8_UNORM_SRGB: return {unorm(p[2], 255), unorm(p[1], 255), unorm(p[0], 255), unorm(p[3], 255)};
        case DXGI_FORMAT_R32_FLOAT: {
            float r;
            std::memcpy(&r, p, 4);
            return {r, 0, 0, 1};
        }
        case DXGI_FORMAT_R8_UNORM: return {unorm(p[0], 255), 0, 0, 1};
        default: return {0, 0, 0, 0};
    }
}

void encodePixel(DXGI_FORMAT format, const Float4& v, uint8_t* p) {
    switch (format) {
        case DXGI_FORMAT_R32G32B32A32_FLOAT: std::memcpy(p, &v, 16); return;
        case DXGI_FORMAT_R16G16B16A16_FLOAT: {
            const uint16_t h[4] = {floatToHalf(v.r), floatToHalf(v.g), floatToHalf(v.b), floatToHalf(v.a)};
            std::memcpy(p, h, 8);
            return;
        }
        case DXGI_FORMAT_R16G16B16A16_UNORM: {
            const uint16_t h[4] = {static_cast<uint16_t>(toUnorm(v.r, 65535)), static_cast<uint16_t>(toUnorm(v.g, 65535)),
                                   static_cast<uint16_t>(toUnorm(v.b, 65535)), static_cast<uint16_t>(toUnorm(v.a, 65535))};
            std::memcpy(p, h, 8);
            return;
        }
        case DXGI_FORMAT_R10G10B10A2_UNORM:
            store32(p, toUnorm(v.r, 1023) | toUnorm(v.g, 1023) << 10 | toUnorm(v.b, 1023) << 20 | toUnorm(v.a, 3) << 30);
            return;
        case DXGI_FORMAT_R8G8B8A8_UNORM:
        case DXGI_FORMAT_R8G8B8A8_UNORM_SRGB:
            p[0] = static_cast<uint8_t>(toUnorm(v.r, 255));
            p[1] = static_cast<uint8_t>(toUnorm(v.g, 255));
            p[2] = static_cast<uint8_t>(toUnorm(v.b, 255));
            p[3] = static_cast<uint8_t>(toUnorm(v.a, 255));
            return;
        case DXGI_FORMAT_B8G8R8A8_UNORM:
        case DXGI_FORMAT_B8G8R8A8_TYPELESS:
        case DXGI_FORMAT_B8G8R8A8_UNORM_SRGB:
            p[0] = static_cast<uint8_t>(toUnorm(v.b, 255));
            p[1] = static_cast<uint8_t>(toUnorm(v.g, 255));
            p[2] = static_cast<uint8_t>(toUnorm(v.r, 255));
            p[3] = static_cast<uint8_t>(toUnorm(v.a, 255));
            return;
        case DXGI_FORMAT_R32_FLOAT: std::memcpy(p, &v.r, 4); return;
        case DXGI_FORMAT_R8_UNORM: p[0] = static_cast<uint8_t>(toUnorm(v.r, 255)); return;
        default: return;
    }
}

uint64_t textureBytes(DXGI_FORMAT format, uint32_t width, uint32_t height, uint32_t mipLevels) {
    uint64_t total = 0;
    for (uint32_t mip = 0; mip < mipLevels; ++mip) {
        const uint64_t w = std::max(1u, width >> mip);
        const uint64_t h = std::max(1u, height >> mip);
        const uint64_t pitch = (w * bytesPerPixel(format) + 255) / 256 * 256;
        total += pitch * h;
    }
    return total;
}

}  // namespace winsim::gpu
