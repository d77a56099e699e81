// CheckFeatureSupport: what winsim's adapter does with the formats it stores.
#include "d3d12/device.h"
#include "formats/dxgi_format.h"

namespace winsim::d3d12 {
namespace {
constexpr const char* kCall = "ID3D12Device::CheckFeatureSupport";

D3D12_FORMAT_SUPPORT1 support(DXGI_FORMAT format) {
    if (format == DXGI_FORMAT_UNKNOWN) return D3D12_FORMAT_SUPPORT1_BUFFER;
    const gpu::Format stored = gpuFormat(format);
    if (stored == gpu::Format::Unknown) return D3D12_FORMAT_SUPPORT1_NONE;
    auto flags = D3D12_FORMAT_SUPPORT1_TEXTURE2D | D3D12_FORMAT_SUPPORT1_MIP;
    if (format == DXGI_FORMAT_B8G8R8A8_TYPELESS) return flags;  // views give it a type
    flags |= D3D12_FORMAT_SUPPORT1_BUFFER | D3D12_FORMAT_SUPPORT1_SHADER_LOAD | D3D12_FORMAT_SUPPORT1_SHADER_SAMPLE |
             D3D12_FORMAT_SUPPORT1_RENDER_TARGET | D3D12_FORMAT_SUPPORT1_BLENDABLE;
    if (format == DXGI_FORMAT_B8G8R8A8_UNORM || format == DXGI_FORMAT_R8G8B8A8_UNORM ||
        format == DXGI_FORMAT_R10G10B10A2_UNORM || format == DXGI_FORMAT_R16G16B16A16_FLOAT)
        flags |= D3D12_FORMAT_SUPPORT1_DISPLAY;
    return flags;
}

}  // namespace

HRESULT Device::CheckFeatureSupport(D3D12_FEATURE feature, void* data, UINT dataSize) {
    if (feature != D3D12_FEATURE_FORMAT_SUPPORT) return notModelled(kCall, "feature " + std::to_string(feature));
    if (!data || dataSize != sizeof(D3D12_FEATURE_DATA_FORMAT_SUPPORT))
        return refuse(kCall, "the data is not a D3D12_FEATURE_DATA_FORMAT_SUPPORT");
    auto& query = *static_cast<D3D12_FEATURE_DATA_FORMAT_SUPPORT*>(data);
    query.Support1 = support(query.Format);
    query.Support2 = D3D12_FORMAT_SUPPORT2_NONE;
    // As the runtime answers for a format the driver does not support at all.
    return query.Support1 == D3D12_FORMAT_SUPPORT1_NONE ? E_FAIL : S_OK;
}

}  // namespace winsim::d3d12
