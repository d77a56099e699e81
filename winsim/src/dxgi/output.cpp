#include <cwchar>

#include "dxgi/objects.h"
#include "machine/faults.h"

namespace winsim::dxgi {

HRESULT Output::GetParent(REFIID riid, void** parent) { return adapter_->QueryInterface(riid, parent); }

HRESULT Output::GetDesc(DXGI_OUTPUT_DESC* desc) {
    if (!desc) return E_INVALIDARG;
    if (auto hr = fault("IDXGIOutput::GetDesc")) return *hr;
    const OutputConfig config = state_->config();
    *desc = DXGI_OUTPUT_DESC{};
    std::wcsncpy(desc->DeviceName, config.deviceName.c_str(), 31);
    desc->DesktopCoordinates = config.desktopRect();
    desc->AttachedToDesktop = config.attached ? TRUE : FALSE;
    desc->Rotation = config.rotation;
    desc->Monitor = state_->monitor();
    return S_OK;
}

HRESULT Output::DuplicateOutput(IUnknown*, IDXGIOutputDuplication** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT Output::DuplicateOutput1(IUnknown*, UINT, UINT, const DXGI_FORMAT*, IDXGIOutputDuplication** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

}  // namespace winsim::dxgi
