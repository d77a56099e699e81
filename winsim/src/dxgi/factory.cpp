#include <algorithm>

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
    return com::handOut(new Adapter(machine_, std::move(state), displays_, ComPtr<IDXGIFactory>(this)), riid, out);
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

// FALSE once the displays changed after the factory was made: the caller makes a new factory to
// see them (IsCurrent's page; the device-resources templates do so before they look at outputs).
BOOL Factory::IsCurrent() {
    machine_->tick();
    return machine_->displayChanges.load() == displays_->displayChanges ? TRUE : FALSE;
}

HRESULT Factory::EnumAdapterByLuid(LUID luid, REFIID riid, void** out) {
    if (auto hr = fault("IDXGIFactory4::EnumAdapterByLuid")) return *hr;
    return handOutAdapter(machine_->adapterByLuid(luid), riid, out);
}

}  // namespace winsim::dxgi

HRESULT WINAPI CreateDXGIFactory1(REFIID riid, void** factory) {
    return winsim::dxgi::createFactory("CreateDXGIFactory1", riid, factory);
}

namespace winsim::dxgi {

HRESULT Factory::CheckFeatureSupport(DXGI_FEATURE feature, void* data, UINT size) {
    if (feature != DXGI_FEATURE_PRESENT_ALLOW_TEARING || !data || size != sizeof(BOOL)) return E_INVALIDARG;
    *static_cast<BOOL*>(data) = FALSE;  // winsim has no swap chains to present with tearing
    return S_OK;
}

HRESULT Factory::EnumAdapterByGpuPreference(UINT index, DXGI_GPU_PREFERENCE preference, REFIID riid, void** out) {
    if (auto hr = fault("IDXGIFactory6::EnumAdapterByGpuPreference", static_cast<int>(index))) return *hr;
    if (preference > DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE) return E_INVALIDARG;
    // Dedicated memory stands for power: the largest adapter performs best, the smallest draws least.
    auto adapters = machine_->adapters();
    if (preference != DXGI_GPU_PREFERENCE_UNSPECIFIED)
        std::stable_sort(adapters.begin(), adapters.end(), [&](const auto& a, const auto& b) {
            const bool larger = a->config.dedicatedBytes > b->config.dedicatedBytes;
            const bool smaller = a->config.dedicatedBytes < b->config.dedicatedBytes;
            return preference == DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE ? larger : smaller;
        });
    return handOutAdapter(index < adapters.size() ? adapters[index] : nullptr, riid, out);
}

HRESULT createFactory(FaultCall call, REFIID riid, void** factory) {
    if (!factory) return E_INVALIDARG;
    *factory = nullptr;
    if (auto hr = fault(call)) return *hr;
    auto machine = currentMachine();
    if (!machine) return E_FAIL;
    return com::handOut(new Factory(std::move(machine)), riid, factory);
}

HRESULT Factory::adapterFor(std::shared_ptr<Machine> machine, std::shared_ptr<AdapterState> state, REFIID riid,
                            void** out) {
    ComPtr<Factory> factory;
    factory.Attach(new Factory(std::move(machine)));
    return factory->handOutAdapter(std::move(state), riid, out);
}

}  // namespace winsim::dxgi

HRESULT WINAPI CreateDXGIFactory2(UINT flags, REFIID riid, void** factory) {
    if (factory) *factory = nullptr;
    if (flags & ~DXGI_CREATE_FACTORY_DEBUG) return E_INVALIDARG;
    return winsim::dxgi::createFactory("CreateDXGIFactory2", riid, factory);
}
