// The pixel layouts the back-end stores and how it reads them. Front-ends name their formats in
// their own terms and translate them into these in one place.
#pragma once
#include <cstdint>

namespace winsim::gpu {

enum class Format : uint8_t {
    Unknown,
    Rgba32Float,
    Rgba16Float,
    Rgba16Unorm,
    Rgb10A2Unorm,
    Rgba8Unorm,
    Bgra8Unorm,
    R32Float,
    R8Unorm,
};

// Bytes per pixel of a format (0 for Unknown).
constexpr uint32_t bytesPerPixel(Format format) {
    switch (format) {
        case Format::Rgba32Float: return 16;
        case Format::Rgba16Float:
        case Format::Rgba16Unorm: return 8;
        case Format::Rgb10A2Unorm:
        case Format::Rgba8Unorm:
        case Format::Bgra8Unorm:
        case Format::R32Float: return 4;
        case Format::R8Unorm: return 1;
        default: return 0;
    }
}
// True for the formats whose channels hold floats rather than normalised integers.
constexpr bool isFloat(Format format) {
    return format == Format::Rgba32Float || format == Format::Rgba16Float || format == Format::R32Float;
}

}  // namespace winsim::gpu
