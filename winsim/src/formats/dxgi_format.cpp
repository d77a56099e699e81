#include "formats/dxgi_format.h"

namespace winsim {

gpu::Format gpuFormat(DXGI_FORMAT format) {
    using gpu::Format;
    switch (format) {
        case DXGI_FORMAT_R32G32B32A32_FLOAT: return Format::Rgba32Float;
        case DXGI_FORMAT_R16G16B16A16_FLOAT: return Format::Rgba16Float;
        case DXGI_FORMAT_R16G16B16A16_UNORM: return Format::Rgba16Unorm;
        case DXGI_FORMAT_R10G10B10A2_UNORM: return Format::Rgb10A2Unorm;
        case DXGI_FORMAT_R8G8B8A8_UNORM:
        case DXGI_FORMAT_R8G8B8A8_UNORM_SRGB: return Format::Rgba8Unorm;
        case DXGI_FORMAT_B8G8R8A8_UNORM:
        case DXGI_FORMAT_B8G8R8A8_TYPELESS:
        case DXGI_FORMAT_B8G8R8A8_UNORM_SRGB: return Format::Bgra8Unorm;
        case DXGI_FORMAT_R32_FLOAT: return Format::R32Float;
        case DXGI_FORMAT_R8_UNORM: return Format::R8Unorm;
        default: return Format::Unknown;
    }
}

uint32_t formatSupport(DXGI_FORMAT format) {
    constexpr uint32_t kTexture2D = 0x20, kShaderLoad = 0x100, kShaderSample = 0x200, kMip = 0x1000, kMipAutogen = 0x2000,
                       kRenderTarget = 0x4000, kBlendable = 0x8000, kCpuLockable = 0x20000, kDisplay = 0x80000;
    if (gpuFormat(format) == gpu::Format::Unknown) return 0;
    uint32_t bits = kTexture2D | kMip | kCpuLockable;
    if (format == DXGI_FORMAT_B8G8R8A8_TYPELESS) return bits;  // a view gives it a type
    bits |= kShaderLoad | kShaderSample | kMipAutogen | kRenderTarget | kBlendable;
    if (format == DXGI_FORMAT_B8G8R8A8_UNORM || format == DXGI_FORMAT_R8G8B8A8_UNORM ||
        format == DXGI_FORMAT_R10G10B10A2_UNORM || format == DXGI_FORMAT_R16G16B16A16_FLOAT)
        bits |= kDisplay;
    return bits;
}

}  // namespace winsim
