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

}  // namespace winsim
