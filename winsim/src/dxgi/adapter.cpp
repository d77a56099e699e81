#include <algorithm>
#include <cwchar>

#include "dxgi/objects.h"
#include "machine/faults.h"

namespace winsim::dxgi {

bool Adapter::hides(REFIID riid) const {
    return !state_->config.exposesAdapter3 && IsEqualIID(riid, __uuidof(IDXGIAdapter3));
}

HRESULT Adapter::GetParent(REFIID riid, void** parent) { return parent_->QueryInterface(riid, parent); }

HRESULT Adapter::EnumOutputs(UINT index, IDXGIOutput** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (auto hr = fault("IDXGIAdapter::EnumOutputs", static_cast<int>(index))) return *hr;
    // The outputs attached when the factory was made, whatever happened since.
    const auto& outputs = displays_->outputsOf(*state_);
    if (index >= outputs.size()) return DXGI_ERROR_NOT_FOUND;
    *out = new Output(ComPtr<Adapter>(this), outputs[index]);
    return S_OK;
}

HRESULT Adapter::GetDesc(DXGI_ADAPTER_DESC* desc) {
    if (!desc) return E_INVALIDARG;
    DXGI_ADAPTER_DESC1 full{};
    GetDesc1(&full);
    std::copy_n(reinterpret_cast<const unsigned char*>(&full), sizeof *desc, reinterpret_cast<unsigned char*>(desc));
    return S_OK;
}

HRESULT Adapter::GetDesc1(DXGI_ADAPTER_DESC1* desc) {
    if (!desc) return E_INVALIDARG;
    *desc = DXGI_ADAPTER_DESC1{};
    std::wcsncpy(desc->Description, state_->config.description.c_str(), 127);
    desc->VendorId = 0x1414;
    desc->DedicatedVideoMemory = static_cast<SIZE_T>(state_->config.dedicatedBytes);
    desc->AdapterLuid = state_->config.luid;
    return S_OK;
}

HRESULT Adapter::QueryVideoMemoryInfo(UINT node, DXGI_MEMORY_SEGMENT_GROUP group, DXGI_QUERY_VIDEO_MEMORY_INFO* info) {
    if (!info || node != 0) return E_INVALIDARG;
    if (auto hr = fault("IDXGIAdapter3::QueryVideoMemoryInfo")) return *hr;
    *info = DXGI_QUERY_VIDEO_MEMORY_INFO{};
    if (group != DXGI_MEMORY_SEGMENT_GROUP_LOCAL && group != DXGI_MEMORY_SEGMENT_GROUP_NON_LOCAL) return E_INVALIDARG;
    // Local: the adapter's own memory; non-local: the system memory it reaches (upload and read-back heaps).
    const gpu::Ledger& ledger = group == DXGI_MEMORY_SEGMENT_GROUP_LOCAL ? *state_->ledger : *state_->nonLocalLedger;
    info->Budget = ledger.capacity();
    info->CurrentUsage = ledger.used();
    info->AvailableForReservation = info->Budget / 2;
    return S_OK;
}

Adapter* adapterOf(IUnknown* object) {
    if (!object) return nullptr;
    ComPtr<IDXGIAdapter> adapter;
    if (FAILED(object->QueryInterface(__uuidof(IDXGIAdapter), reinterpret_cast<void**>(adapter.GetAddressOf()))))
        return nullptr;
    return dynamic_cast<Adapter*>(adapter.Get());
}

}  // namespace winsim::dxgi
