// Read-back of texture pixels for tests and tools.
#include <d3d11.h>
#include <wrl/client.h>

#include <shared_mutex>

#include "d3d11/resources.h"
#include "d3d12/resource.h"
#include "winsim/gpu.h"

namespace winsim {
namespace {

std::shared_ptr<gpu::Image> imageOf(IUnknown* object) {
    if (!object) return nullptr;
    Microsoft::WRL::ComPtr<ID3D12Resource> resource;
    if (SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(resource.GetAddressOf()))))
        if (auto* known = dynamic_cast<d3d12::Resource*>(resource.Get())) return known->image();
    Microsoft::WRL::ComPtr<ID3D11Texture2D> texture;
    if (SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(texture.GetAddressOf()))))
        if (auto* known = dynamic_cast<d3d11::Texture*>(texture.Get())) return known->image();
    return nullptr;
}

template <class Pixel, class Convert>
std::vector<Pixel> readBack(IUnknown* object, uint32_t mip, Convert convert) {
    auto image = imageOf(object);
    if (!image || mip >= image->mipLevels) return {};
    const std::shared_lock reading(image->guard);
    std::vector<Pixel> pixels;
    pixels.reserve(static_cast<size_t>(image->mipWidth(mip)) * image->mipHeight(mip));
    for (uint32_t y = 0; y < image->mipHeight(mip); ++y)
        for (uint32_t x = 0; x < image->mipWidth(mip); ++x) pixels.push_back(convert(gpu::decodePixel(image->format, image->pixel(mip, x, y))));
    return pixels;
}

}  // namespace

std::vector<PixelF> readBackFloat(IUnknown* resource, uint32_t mip) {
    return readBack<PixelF>(resource, mip, [](const gpu::Float4& v) { return PixelF{v.r, v.g, v.b, v.a}; });
}

std::vector<uint8_t> readBackRgba8(IUnknown* resource, uint32_t mip) {
    auto pixels = readBack<std::array<uint8_t, 4>>(resource, mip, [](const gpu::Float4& v) {
        std::array<uint8_t, 4> out{};
        gpu::encodePixel(DXGI_FORMAT_R8G8B8A8_UNORM, v, out.data());
        return out;
    });
    std::vector<uint8_t> bytes;
    bytes.reserve(pixels.size() * 4);
    for (const auto& p : pixels) bytes.insert(bytes.end(), p.begin(), p.end());
    return bytes;
}

std::vector<uint8_t> readBackRowRgba8(IUnknown* resource, uint32_t row) {
    auto image = imageOf(resource);
    if (!image || row >= image->height) return {};
    const std::shared_lock reading(image->guard);
    std::vector<uint8_t> bytes(static_cast<size_t>(image->width) * 4);
    for (uint32_t x = 0; x < image->width; ++x)
        gpu::encodePixel(DXGI_FORMAT_R8G8B8A8_UNORM, gpu::decodePixel(image->format, image->pixel(0, x, row)), &bytes[x * 4]);
    return bytes;
}

}  // namespace winsim
