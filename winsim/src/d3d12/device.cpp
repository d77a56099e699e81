#include "d3d12/device.h"

#include "d3d12/resource.h"
#include "dxgi/objects.h"
#include "dxgi/shared_resource.h"
#include "machine/faults.h"
#include "winsim/control.h"

namespace winsim {
uint64_t d3d12DeviceBaselineBytes() { return d3d12::kDeviceBaselineBytes; }
}  // namespace winsim

namespace winsim::d3d12 {

namespace {

D3D12_RESOURCE_DESC describe(const dxgi::SharedResource& shared) {
    D3D12_RESOURCE_DESC desc{};
    desc.Dimension = D3D12_RESOURCE_DIMENSION_TEXTURE2D;
    desc.Width = shared.image->width;
    desc.Height = shared.image->height;
    desc.DepthOrArraySize = 1;
    desc.MipLevels = static_cast<UINT16>(shared.image->mipLevels);
    desc.Format = shared.format;
    desc.SampleDesc = DXGI_SAMPLE_DESC{1, 0};
    desc.Layout = D3D12_TEXTURE_LAYOUT_UNKNOWN;
    int flags = D3D12_RESOURCE_FLAG_ALLOW_SIMULTANEOUS_ACCESS;
    if (shared.renderTarget) flags |= D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET;
    desc.Flags = static_cast<D3D12_RESOURCE_FLAGS>(flags);
    return desc;
}

}  // namespace

HRESULT Device::OpenSharedHandle(HANDLE handle, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (auto hr = fault("ID3D12Device::OpenSharedHandle")) return *hr;
    auto shared = kernel::lookupAs<dxgi::SharedResource>(handle);
    if (!shared) return E_INVALIDARG;
    if (shared->adapter != adapter_) return E_INVALIDARG;  // a resource of another adapter
    return com::handOut(new Resource(Microsoft::WRL::ComPtr<Device>(this), shared->image, describe(*shared)), riid,
                        object);
}

}  // namespace winsim::d3d12

HRESULT WINAPI D3D12CreateDevice(IUnknown* adapterObject, D3D_FEATURE_LEVEL minimumFeatureLevel, REFIID riid,
                                 void** device) {
    if (device) *device = nullptr;
    if (auto hr = winsim::fault("D3D12CreateDevice")) return *hr;
    std::shared_ptr<winsim::AdapterState> adapter;
    if (adapterObject) {
        auto* known = winsim::dxgi::adapterOf(adapterObject);
        if (!known) return E_INVALIDARG;
        adapter = known->state();
    } else {
        auto machine = winsim::currentMachine();
        if (!machine || machine->adapters().empty()) return DXGI_ERROR_UNSUPPORTED;
        adapter = machine->adapters().front();
    }
    if (!adapter->config.supportsD3D12 || minimumFeatureLevel > D3D_FEATURE_LEVEL_12_1) return DXGI_ERROR_UNSUPPORTED;
    if (!device) return S_FALSE;
    auto baseline = winsim::gpu::Allocation::make(adapter->ledger, winsim::d3d12::kDeviceBaselineBytes);
    if (!baseline) return E_OUTOFMEMORY;
    return winsim::com::handOut(new winsim::d3d12::Device(std::move(adapter), std::move(baseline)), riid, device);
}
