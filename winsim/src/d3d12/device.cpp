#include "d3d12/device.h"

#include "dxgi/objects.h"
#include "machine/faults.h"
#include "winsim/control.h"

namespace winsim {
uint64_t d3d12DeviceBaselineBytes() { return d3d12::kDeviceBaselineBytes; }
}  // namespace winsim

namespace winsim::d3d12 {

HRESULT Device::OpenSharedHandle(HANDLE, REFIID, void** object) {
    if (object) *object = nullptr;
    return E_NOTIMPL;
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
