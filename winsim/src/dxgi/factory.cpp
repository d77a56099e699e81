#include "dxgi/objects.h"
#include "machine/faults.h"

namespace winsim::dxgi {

HRESULT Factory::GetParent(REFIID, void** parent) {
    if (parent) *parent = nullptr;
    return E_NOINTERFACE;
}

HRESULT Factory::handOutAdapter(std::shared_ptr<AdapterState> state, REFIID riid, void** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!state) return DXGI_ERROR_NOT_FOUND;
    return com::handOut(new Adapter(machine_, std::move(state), ComPtr<IDXGIFactory>(this)), riid, out);
}

HRESULT Factory::EnumAdapters(UINT index, IDXGIAdapter** out) {
    if (auto hr = fault("IDXGIFactory::EnumAdapters", static_cast<int>(index))) return *hr;
    const auto& adapters = machine_->adapters();
    return handOutAdapter(index < adapters.size() ? adapters[index] : nullptr, __uuidof(IDXGIAdapter),
                          reinterpret_cast<void**>(out));
}

HRESULT Factory::EnumAdapters1(UINT index, IDXGIAdapter1** out) {
    if (auto hr = fault("IDXGIFactory1::EnumAdapters1", static_cast<int>(index))) return *hr;
    const auto& adapters = machine_->adapters();
    return handOutAdapter(index < adapters.size() ? adapters[index] : nullptr, __uuidof(IDXGIAdapter1),
                          reinterpret_cast<void**>(out));
}

HRESULT Factory::EnumAdapterByLuid(LUID luid, REFIID riid, void** out) {
    if (auto hr = fault("IDXGIFactory4::EnumAdapterByLuid")) return *hr;
    return handOutAdapter(machine_->adapterByLuid(luid), riid, out);
}

}  // namespace winsim::dxgi

HRESULT WINAPI CreateDXGIFactory1(REFIID riid, void** factory) {
    if (!factory) return E_INVALIDARG;
    *factory = nullptr;
    if (auto hr = winsim::fault("CreateDXGIFactory1")) return *hr;
    auto machine = winsim::currentMachine();
    if (!machine) return E_FAIL;
    return winsim::com::handOut(new winsim::dxgi::Factory(std::move(machine)), riid, factory);
}
