// A Direct3D 11 device's DXGI side (IDXGIDevice): its adapter, residency and GPU thread priority.
#include "d3d11/device.h"
#include "dxgi/objects.h"
#include "winsim/control.h"

namespace winsim::d3d11 {

HRESULT Device::GetParent(REFIID riid, void** parent) {
    if (!parent) return E_INVALIDARG;
    *parent = nullptr;
    auto machine = currentMachine();
    if (!machine) return E_FAIL;
    return dxgi::Factory::adapterFor(std::move(machine), adapter_, riid, parent);
}

HRESULT Device::GetAdapter(IDXGIAdapter** adapter) {
    return GetParent(__uuidof(IDXGIAdapter), reinterpret_cast<void**>(adapter));
}

HRESULT Device::CreateSurface(const DXGI_SURFACE_DESC*, UINT, DXGI_USAGE, const DXGI_SHARED_RESOURCE*,
                              IDXGISurface** surface) {
    if (surface) *surface = nullptr;
    debug::message("IDXGIDevice::CreateSurface", "winsim models no DXGI surfaces; create a texture instead");
    return E_NOTIMPL;
}

// Everything lives in video memory: winsim never evicts.
HRESULT Device::QueryResourceResidency(IUnknown* const* resources, DXGI_RESIDENCY* status, UINT count) {
    if (!resources || !status) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) {
        if (!resources[i]) return E_INVALIDARG;
        status[i] = DXGI_RESIDENCY_FULLY_RESIDENT;
    }
    return S_OK;
}

HRESULT Device::SetGPUThreadPriority(INT priority) {
    if (priority < -7 || priority > 7) return E_INVALIDARG;
    gpuThreadPriority_ = priority;
    return S_OK;
}

HRESULT Device::GetGPUThreadPriority(INT* priority) {
    if (!priority) return E_POINTER;
    *priority = gpuThreadPriority_;
    return S_OK;
}

}  // namespace winsim::d3d11
