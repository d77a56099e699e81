#include <cwchar>

#include "dxgi/duplication.h"
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

bool Output::hides(REFIID riid) const {
    return !adapter_->state()->config.exposesOutput5 &&
           (IsEqualIID(riid, __uuidof(IDXGIOutput5)) || IsEqualIID(riid, __uuidof(IDXGIOutput6)));
}

HRESULT Output::DuplicateOutput(IUnknown* device, IDXGIOutputDuplication** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (auto hr = fault("IDXGIOutput1::DuplicateOutput")) return *hr;
    if (!device) return E_INVALIDARG;
    return duplicateOutput(this, adapter_->machine(), *adapter_->state(), state_, device, nullptr, 0, out);
}

HRESULT Output::DuplicateOutput1(IUnknown* device, UINT flags, UINT formatCount, const DXGI_FORMAT* formats,
                                 IDXGIOutputDuplication** out) {
    constexpr UINT kKnownFlags = 1;  // DXGI_OUTDUPL_COMPOSITED_UI_CAPTURE_ONLY
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (auto hr = fault("IDXGIOutput5::DuplicateOutput1")) return *hr;
    if (!device || !formats || formatCount == 0 || (flags & ~kKnownFlags)) return E_INVALIDARG;
    return duplicateOutput(this, adapter_->machine(), *adapter_->state(), state_, device, formats, formatCount, out);
}

}  // namespace winsim::dxgi
