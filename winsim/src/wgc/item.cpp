// Capture items for monitors and the GraphicsCaptureItem class's factory with its desktop interop
// (IGraphicsCaptureItemInterop). CreateForMonitor's page: from Windows 10 1903.
#include "machine/faults.h"
#include "wgc/capture.h"
#include "wgc/factories.h"
#include "winrt/strings.h"

namespace winsim::wgc {

HRESULT Item::get_DisplayName(HSTRING* value) {
    if (!value) return E_POINTER;
    return winrt::makeString(output_->config().deviceName, value);
}

// The item's size follows the monitor's desktop, upright as the user sees it.
HRESULT Item::get_Size(ABI::Windows::Graphics::SizeInt32* value) {
    if (!value) return E_POINTER;
    const RECT rect = output_->config().desktopRect();
    *value = {rect.right - rect.left, rect.bottom - rect.top};
    return S_OK;
}

HRESULT ItemFactory::ActivateInstance(IInspectable** instance) {
    if (instance) *instance = nullptr;
    debug::message("GraphicsCaptureItem", "the class is not activatable");
    return E_NOTIMPL;
}

HRESULT ItemFactory::CreateForWindow(HWND, REFIID, void** result) {
    if (result) *result = nullptr;
    debug::message("IGraphicsCaptureItemInterop::CreateForWindow", "winsim has no windows to capture");
    return E_NOTIMPL;
}

HRESULT ItemFactory::CreateForMonitor(HMONITOR monitor, REFIID riid, void** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (auto hr = fault("IGraphicsCaptureItemInterop::CreateForMonitor")) return *hr;
    // CreateForWindow's page: the only riid supported is GraphicsCaptureItem's (its default interface).
    if (!IsEqualIID(riid, __uuidof(capture::IGraphicsCaptureItem))) return E_NOINTERFACE;
    for (const auto& output : machine_->outputs()) {
        if (output->monitor() != monitor || !output->config().attached) continue;
        return com::handOut(new Item(machine_, output), riid, result);
    }
    return E_INVALIDARG;
}

}  // namespace winsim::wgc
