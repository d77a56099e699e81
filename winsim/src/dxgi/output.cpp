#include <algorithm>
#include <cwchar>

#include "debug/layer.h"
#include "dxgi/duplication.h"
#include "dxgi/objects.h"
#include "machine/dpi.h"
#include "machine/faults.h"

namespace winsim::dxgi {

HRESULT Output::GetParent(REFIID riid, void** parent) { return adapter_->QueryInterface(riid, parent); }

namespace {

bool processIsPerMonitorAware(const Machine& machine) {
    const intptr_t context = machine.processDpiContext.load();
    return context == contextValue(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE) ||
           context == contextValue(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

// The fields DXGI_OUTPUT_DESC and DXGI_OUTPUT_DESC1 share.
template <class Desc>
void describe(const OutputSnapshot& output, Desc& desc) {
    const OutputConfig& config = output.config;
    desc = Desc{};
    std::wcsncpy(desc.DeviceName, config.deviceName.c_str(), 31);
    desc.DesktopCoordinates = output.desktopCoordinates;
    desc.AttachedToDesktop = config.attached ? TRUE : FALSE;
    desc.Rotation = config.rotation;
    desc.Monitor = output.state->monitor();
}

void setPrimaries(DXGI_OUTPUT_DESC1& desc, const float (&xy)[8]) {
    const float* at = xy;
    for (FLOAT* target : {desc.RedPrimary, desc.GreenPrimary, desc.BluePrimary, desc.WhitePoint}) {
        target[0] = *at++;
        target[1] = *at++;
    }
}

// An HDR display's FP16 desktop is PQ, BT.2020; the others are SDR (sRGB, BT.709), ten bits deep
// (also an FP16 desktop of Advanced Color on an SDR display) or eight, as bright as their SDR
// white level. DXGI_COLOR_SPACE_TYPE's page: RGB_FULL_G22_NONE_P709 is the colour space of SDR
// content, also with FP16 scRGB swap chains (linear, 1.0 at SDR white).
void describeColour(const OutputConfig& config, DXGI_OUTPUT_DESC1& desc) {
    constexpr float kBt2020[8] = {0.708f, 0.292f, 0.170f, 0.797f, 0.131f, 0.046f, 0.3127f, 0.3290f};
    constexpr float kBt709[8] = {0.640f, 0.330f, 0.300f, 0.600f, 0.150f, 0.060f, 0.3127f, 0.3290f};
    constexpr float kHdrPeakNits = 1000.0f, kHdrFullFrameNits = 600.0f;
    if (config.inHdr()) {
        desc.BitsPerColor = 10;
        desc.ColorSpace = DXGI_COLOR_SPACE_RGB_FULL_G2084_NONE_P2020;
        setPrimaries(desc, kBt2020);
        desc.MinLuminance = 0.01f;
        desc.MaxLuminance = std::max(kHdrPeakNits, config.sdrWhiteNits);
        desc.MaxFullFrameLuminance = std::max(kHdrFullFrameNits, config.sdrWhiteNits);
        return;
    }
    desc.BitsPerColor = config.format == DXGI_FORMAT_B8G8R8A8_UNORM ? 8 : 10;
    desc.ColorSpace = DXGI_COLOR_SPACE_RGB_FULL_G22_NONE_P709;
    setPrimaries(desc, kBt709);
    desc.MinLuminance = 0.5f;
    desc.MaxLuminance = config.sdrWhiteNits;
    desc.MaxFullFrameLuminance = config.sdrWhiteNits;
}

}  // namespace

HRESULT Output::GetDesc(DXGI_OUTPUT_DESC* desc) {
    if (!desc) return E_INVALIDARG;
    if (auto hr = fault("IDXGIOutput::GetDesc")) return *hr;
    describe(snapshot_, *desc);
    return S_OK;
}

HRESULT Output::GetDesc1(DXGI_OUTPUT_DESC1* desc) {
    if (!desc) return E_INVALIDARG;
    if (auto hr = fault("IDXGIOutput6::GetDesc1")) return *hr;
    describe(snapshot_, *desc);
    describeColour(snapshot_.config, *desc);
    return S_OK;
}

HRESULT Output::CheckHardwareCompositionSupport(UINT* flags) {
    if (flags) *flags = 0;
    debug::message("IDXGIOutput6::CheckHardwareCompositionSupport", "winsim models no hardware composition");
    return E_NOTIMPL;
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
    return duplicateOutput(this, adapter_->machine(), *adapter_->state(), snapshot_, device, nullptr, 0, out);
}

HRESULT Output::DuplicateOutput1(IUnknown* device, UINT flags, UINT formatCount, const DXGI_FORMAT* formats,
                                 IDXGIOutputDuplication** out) {
    constexpr UINT kKnownFlags = 1;  // DXGI_OUTDUPL_COMPOSITED_UI_CAPTURE_ONLY
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (auto hr = fault("IDXGIOutput5::DuplicateOutput1")) return *hr;
    if (!device || !formats || formatCount == 0 || (flags & ~kKnownFlags)) return E_INVALIDARG;
    // DuplicateOutput1's page asks for a per-monitor-aware caller without saying whether the
    // thread's awareness or the process's counts: the dpi-process variant checks the process's.
    const bool byProcess = adapter_->state()->variants.dpiProcess;
    if (!(byProcess ? processIsPerMonitorAware(*adapter_->machine()) : threadIsPerMonitorAware())) {
        debug::message("IDXGIOutput5::DuplicateOutput1",
                       byProcess ? "DuplicateOutput1_PerMonitorDpiRequired: the process is not per-monitor DPI aware"
                                 : "DuplicateOutput1_PerMonitorDpiRequired: the calling thread is not per-monitor DPI aware");
        return E_INVALIDARG;
    }
    return duplicateOutput(this, adapter_->machine(), *adapter_->state(), snapshot_, device, formats, formatCount, out);
}

}  // namespace winsim::dxgi
