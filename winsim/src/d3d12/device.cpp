#include "d3d12/device.h"

#include <algorithm>
#include <map>
#include <mutex>

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
    // Direct3D 12's sharing with Direct3D 11 is documented for single-mip textures only
    // ("Direct3D 11 on 12" and OpenSharedHandle's remarks); some drivers refuse mip chains.
    if (shared->image->mipLevels > 1 && adapter_->variants.d3d12SingleMipSharing) return E_INVALIDARG;
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

namespace winsim::d3d12 {
namespace {

// Direct3D 12 devices are singletons per adapter: D3D12CreateDevice's remarks and "Creating a
// device" say that a second call on the same adapter returns the device that already exists
// there. The registry holds plain pointers; a device leaves it when it is destroyed, and one whose
// last reference is going is not handed out again. A removed device stays the adapter's device
// until then, so an application must release it before it can make a new one.
struct Singletons {
    std::mutex mutex;
    std::map<const AdapterState*, Device*> devices;
};

Singletons& singletons() {
    static auto* registry = new Singletons;
    return *registry;
}

// The adapter's device with one more reference, else a new one made by `make` (null: its error
// in `hr`), under the registry's lock so that two threads never make two devices.
template <class Make>
Microsoft::WRL::ComPtr<Device> adapterDevice(const std::shared_ptr<AdapterState>& adapter, HRESULT& hr, Make&& make) {
    std::lock_guard lock(singletons().mutex);
    Microsoft::WRL::ComPtr<Device> device;
    auto it = singletons().devices.find(adapter.get());
    if (it != singletons().devices.end() && it->second->tryAddRef()) {
        device.Attach(it->second);
        return device;
    }
    device = make(hr);
    if (device) singletons().devices[adapter.get()] = device.Get();
    return device;
}

}  // namespace

Device::~Device() {
    std::lock_guard lock(singletons().mutex);
    auto it = singletons().devices.find(adapter_.get());
    if (it != singletons().devices.end() && it->second == this) singletons().devices.erase(it);
}

}  // namespace winsim::d3d12

HRESULT WINAPI D3D12CreateDevice(IUnknown* adapterObject, D3D_FEATURE_LEVEL minimumFeatureLevel, REFIID riid,
                                 void** device) {
    using namespace winsim;
    if (device) *device = nullptr;
    if (auto hr = fault("D3D12CreateDevice")) return *hr;
    auto machine = currentMachine();
    std::shared_ptr<AdapterState> adapter;
    if (adapterObject) {
        auto* known = dxgi::adapterOf(adapterObject);
        if (!known) return E_INVALIDARG;
        adapter = known->state();
    } else {
        if (!machine || machine->adapters().empty()) return DXGI_ERROR_UNSUPPORTED;
        adapter = machine->adapters().front();
    }
    if (!adapter->config.supportsD3D12 || minimumFeatureLevel > D3D_FEATURE_LEVEL_12_1) return DXGI_ERROR_UNSUPPORTED;
    if (!device) return S_FALSE;
    HRESULT hr = S_OK;
    auto made = d3d12::adapterDevice(adapter, hr, [&](HRESULT& failure) -> Microsoft::WRL::ComPtr<d3d12::Device> {
        failure = deviceCreatable(*adapter, Clock::now());
        if (FAILED(failure)) return nullptr;
        auto baseline = gpu::Allocation::make(adapter->ledger, d3d12::kDeviceBaselineBytes);
        if (!baseline) {
            failure = E_OUTOFMEMORY;
            return nullptr;
        }
        Microsoft::WRL::ComPtr<d3d12::Device> fresh;
        fresh.Attach(new d3d12::Device(adapter, std::move(baseline), machine && machine->d3d12DebugLayer.load()));
        return fresh;
    });
    // Handed out outside the registry's lock: a failed QueryInterface may drop the last reference.
    return made ? made->QueryInterface(riid, device) : hr;
}
