#include "d3d12/device.h"

#include <algorithm>

#include "d3d12/descriptor_heap.h"
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
    desc.Flags = D3D12_RESOURCE_FLAG_ALLOW_SIMULTANEOUS_ACCESS;
    if (shared.renderTarget) desc.Flags |= D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET;
    return desc;
}

}  // namespace

HRESULT Device::OpenSharedHandle(HANDLE handle, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (auto hr = fault("ID3D12Device::OpenSharedHandle")) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    auto shared = kernel::lookupAs<dxgi::SharedResource>(handle);
    if (!shared) return E_INVALIDARG;
    if (shared->adapter != adapter_) return E_INVALIDARG;  // a resource of another adapter
    // Shared resources start in COMMON, from which simultaneous access promotes them to any state.
    auto* resource = new Resource(Microsoft::WRL::ComPtr<Device>(this), shared->image, describe(*shared),
                                  D3D12_HEAP_TYPE_DEFAULT, D3D12_RESOURCE_STATE_COMMON);
    return com::handOut(resource, riid, object);
}

void Device::addHeap(DescriptorHeap* heap) {
    std::lock_guard lock(heapsMutex_);
    heaps_.push_back(heap);
}

void Device::removeHeap(DescriptorHeap* heap) {
    std::lock_guard lock(heapsMutex_);
    std::erase(heaps_, heap);
}

bool Device::withHeap(D3D12_CPU_DESCRIPTOR_HANDLE handle, const std::function<void(DescriptorHeap&)>& write) {
    std::lock_guard lock(heapsMutex_);
    auto it = std::find_if(heaps_.begin(), heaps_.end(), [&](DescriptorHeap* heap) { return heap->holds(handle); });
    if (it == heaps_.end()) return false;
    write(**it);
    return true;
}

}  // namespace winsim::d3d12

HRESULT WINAPI D3D12CreateDevice(IUnknown* adapterObject, D3D_FEATURE_LEVEL minimumFeatureLevel, REFIID riid,
                                 void** device) {
    if (device) *device = nullptr;
    if (auto hr = winsim::fault("D3D12CreateDevice")) return *hr;
    auto machine = winsim::currentMachine();
    std::shared_ptr<winsim::AdapterState> adapter;
    if (adapterObject) {
        auto* known = winsim::dxgi::adapterOf(adapterObject);
        if (!known) return E_INVALIDARG;
        adapter = known->state();
    } else {
        if (!machine || machine->adapters().empty()) return DXGI_ERROR_UNSUPPORTED;
        adapter = machine->adapters().front();
    }
    if (!adapter->config.supportsD3D12 || minimumFeatureLevel > D3D_FEATURE_LEVEL_12_1) return DXGI_ERROR_UNSUPPORTED;
    if (HRESULT hr = winsim::deviceCreatable(*adapter, winsim::Clock::now()); FAILED(hr)) return hr;
    if (!device) return S_FALSE;
    auto baseline = winsim::gpu::Allocation::make(adapter->ledger, winsim::d3d12::kDeviceBaselineBytes);
    if (!baseline) return E_OUTOFMEMORY;
    const bool validate = machine && machine->d3d12DebugLayer.load();
    return winsim::com::handOut(new winsim::d3d12::Device(std::move(adapter), std::move(baseline), validate), riid,
                                device);
}
