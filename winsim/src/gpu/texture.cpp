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

Float4 decodePixel(Format format, const uint8_t* p) {
    switch (format) {
        case Format::Rgba32Float: {
            Float4 v;
            std::memcpy(&v, p, 16);
            return v;
        }
        case Format::Rgba16Float:
        case Format::Rgba16Unorm: {
            uint16_t h[4];
            std::memcpy(h, p, 8);
            if (format == Format::Rgba16Unorm)
                return {unorm(h[0], 65535), unorm(h[1], 65535), unorm(h[2], 65535), unorm(h[3], 65535)};
            return {halfToFloat(h[0]), halfToFloat(h[1]), halfToFloat(h[2]), halfToFloat(h[3])};
        }
        case Format::Rgb10A2Unorm: {
            const uint32_t v = load32(p);
            return {unorm(v & 0x3FF, 1023), unorm((v >> 10) & 0x3FF, 1023), unorm((v >> 20) & 0x3FF, 1023),
                    unorm(v >> 30, 3)};
        }
        case Format::Rgba8Unorm: return {unorm(p[0], 255), unorm(p[1], 255), unorm(p[2], 255), unorm(p[3], 255)};
        case Format::Bgra8Unorm: return {unorm(p[2], 255), unorm(p[1], 255), unorm(p[0], 255), unorm(p[3], 255)};
        case Format::R32Float: {
            float r;
            std::memcpy(&r, p, 4);
            return {r, 0, 0, 1};
        }
        case Format::R8Unorm: return {unorm(p[0], 255), 0, 0, 1};
        default: return {0, 0, 0, 0};
    }
}

void encodePixel(Format format, const Float4& v, uint8_t* p) {
    switch (format) {
        case Format::Rgba32Float: std::memcpy(p, &v, 16); return;
        case Format::Rgba16Float: {
            const uint16_t h[4] = {floatToHalf(v.r), floatToHalf(v.g), floatToHalf(v.b), floatToHalf(v.a)};
            std::memcpy(p, h, 8);
            return;
        }
        case Format::Rgba16Unorm: {
            const uint16_t h[4] = {static_cast<uint16_t>(toUnorm(v.r, 65535)), static_cast<uint16_t>(toUnorm(v.g, 65535)),
                                   static_cast<uint16_t>(toUnorm(v.b, 65535)), static_cast<uint16_t>(toUnorm(v.a, 65535))};
            std::memcpy(p, h, 8);
            return;
        }
        case Format::Rgb10A2Unorm:
            store32(p, toUnorm(v.r, 1023) | toUnorm(v.g, 1023) << 10 | toUnorm(v.b, 1023) << 20 | toUnorm(v.a, 3) << 30);
            return;
        case Format::Rgba8Unorm:
            p[0] = static_cast<uint8_t>(toUnorm(v.r, 255));
            p[1] = static_cast<uint8_t>(toUnorm(v.g, 255));
            p[2] = static_cast<uint8_t>(toUnorm(v.b, 255));
            p[3] = static_cast<uint8_t>(toUnorm(v.a, 255));
            return;
        case Format::Bgra8Unorm:
            p[0] = static_cast<uint8_t>(toUnorm(v.b, 255));
            p[1] = static_cast<uint8_t>(toUnorm(v.g, 255));
            p[2] = static_cast<uint8_t>(toUnorm(v.r, 255));
            p[3] = static_cast<uint8_t>(toUnorm(v.a, 255));
            return;
        case Format::R32Float: std::memcpy(p, &v.r, 4); return;
        case Format::R8Unorm: p[0] = static_cast<uint8_t>(toUnorm(v.r, 255)); return;
        default: return;
    }
}

uint64_t textureBytes(Format format, uint32_t width, uint32_t height, uint32_t mipLevels) {
    uint64_t total = 0;
    for (uint32_t mip = 0; mip < mipLevels; ++mip) {
        const uint64_t w = std::max(1u, width >> mip);
        const uint64_t h = std::max(1u, height >> mip);
        const uint64_t pitch = (w * bytesPerPixel(format) + 255) / 256 * 256;
        total += pitch * h;
    }
    return total;
}

std::shared_ptr<Image> makeImage(const TextureDesc& desc, std::shared_ptr<Allocation> allocation, Contents contents) {
    auto image = std::make_shared<Image>();
    image->format = desc.format;
    image->width = desc.width;
    image->height = desc.height;
    image->mipLevels = desc.mipLevels;
    image->allocation = std::move(allocation);
    image->mips.reserve(desc.mipLevels);
    for (uint32_t mip = 0; mip < desc.mipLevels; ++mip)
        image->mips.emplace_back(static_cast<size_t>(image->rowPitch(mip)) * image->mipHeight(mip), contents);
    return image;
}

std::shared_ptr<Image> allocateImage(std::shared_ptr<Ledger> ledger, const TextureDesc& desc) {
    auto allocation =
        Allocation::make(std::move(ledger), textureBytes(desc.format, desc.width, desc.height, desc.mipLevels));
    return allocation ? makeImage(desc, std::move(allocation)) : nullptr;
}

}  // namespace winsim::gpu
