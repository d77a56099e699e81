// DXGI formats in the back-end's terms: the one place where a DXGI_FORMAT becomes a gpu::Format,
// for every front-end and the machine. Formats that differ only in how views read them (UNORM,
// SRGB, TYPELESS) share one layout.
#pragma once
#include <cstdint>

#include <dxgiformat.h>

#include "gpu/texture.h"

namespace winsim {

// Unknown for a format the back-end does not store.
gpu::Format gpuFormat(DXGI_FORMAT format);
// What the GPU does with a format, as D3D11_FORMAT_SUPPORT bits (D3D12_FORMAT_SUPPORT1 has the
// same values): 0 for a format winsim does not know.
uint32_t formatSupport(DXGI_FORMAT format);

}  // namespace winsim

// The back-end's pixel helpers for callers that name DXGI formats.
namespace winsim::gpu {
inline uint32_t bytesPerPixel(DXGI_FORMAT format) { return bytesPerPixel(gpuFormat(format)); }
inline Float4 decodePixel(DXGI_FORMAT format, const uint8_t* pixel) { return decodePixel(gpuFormat(format), pixel); }
inline void encodePixel(DXGI_FORMAT format, const Float4& value, uint8_t* pixel) {
    encodePixel(gpuFormat(format), value, pixel);
}
inline uint64_t textureBytes(DXGI_FORMAT format, uint32_t width, uint32_t height, uint32_t mipLevels) {
    return textureBytes(gpuFormat(format), width, height, mipLevels);
}
}  // namespace winsim::gpu
