// Creating a duplication: the caller's arguments, the machine's refusals in the runtime's codes,
// and the duplication's description.
#include "dxgi/duplication.h"

#include <span>

#include "machine/duplication_policy.h"

namespace winsim::dxgi {
namespace {

// The code the runtime reports for each refusal.
HRESULT refusalResult(DuplicationRefusal refusal) {
    switch (refusal) {
    case DuplicationRefusal::None: return S_OK;
    case DuplicationRefusal::OtherAdapter:
    case DuplicationRefusal::Unsupported:
    case DuplicationRefusal::Detached: return DXGI_ERROR_UNSUPPORTED;
    case DuplicationRefusal::SecureDesktop:
    case DuplicationRefusal::Asleep: return E_ACCESSDENIED;
    case DuplicationRefusal::Waking: return E_FAIL;
    case DuplicationRefusal::AlreadyDuplicated: return E_INVALIDARG;
    case DuplicationRefusal::LimitReached: return DXGI_ERROR_NOT_CURRENTLY_AVAILABLE;
    }
    return E_FAIL;
}

// DuplicateOutput takes no list: it delivers B8G8R8A8 whatever the desktop's format, as if it
// accepted that format only.
constexpr DXGI_FORMAT kPlainFormats[] = {DXGI_FORMAT_B8G8R8A8_UNORM};

// The display mode's own format, which a machine of the mode-format-scanout variant reports as
// ModeDesc.Format: DXGI_OUTDUPL_DESC's page says ModeDesc describes "the display mode of the
// duplicated output", and leaves open whether that is the format of the images delivered (FP16
// when DuplicateOutput1 was asked for it) or the scan-out mode an HDR10 display runs in.
DXGI_FORMAT scanoutFormat(DXGI_FORMAT desktop) {
    return desktop == DXGI_FORMAT_R16G16B16A16_FLOAT ? DXGI_FORMAT_R10G10B10A2_UNORM : DXGI_FORMAT_B8G8R8A8_UNORM;
}

}  // namespace

HRESULT duplicateOutput(IDXGIOutput* parent, const std::shared_ptr<Machine>& machine, const AdapterState& adapter,
                        const OutputSnapshot& enumerated, IUnknown* deviceObject, const DXGI_FORMAT* formats,
                        UINT formatCount, IDXGIOutputDuplication** out) {
    const std::shared_ptr<OutputState>& output = enumerated.state;
    d3d11::Device* device = d3d11::deviceOf(deviceObject);
    if (!device) return E_INVALIDARG;
    if (device->removed()) return device->GetDeviceRemovedReason();
    auto lock = machine->lock();
    const auto now = Clock::now();
    machine->advance(now);
    const AdapterState& deviceAdapter = *device->adapter();
    const auto refusal = duplicationRefusal(*machine, adapter, *output, enumerated.plugIns, deviceAdapter);
    if (HRESULT hr = refusalResult(refusal); FAILED(hr)) return hr;
    const auto accepted = formats ? std::span<const DXGI_FORMAT>(formats, formatCount) : std::span(kPlainFormats);
    const auto format = deliveredFormat(output->current.format, accepted);
    if (!format) return DXGI_ERROR_UNSUPPORTED;
    const bool flicker = flickers(machine->config().variants, output->current.format, *format, formats == nullptr);
    auto compositor = Compositor::open(machine, output, deviceAdapter, *format, flicker, now);
    if (!compositor) return E_OUTOFMEMORY;
    *out = new Duplication(ComPtr<IDXGIOutput>(parent), ComPtr<d3d11::Device>(device), machine, std::move(compositor));
    return S_OK;
}

Duplication::Duplication(ComPtr<IDXGIOutput> parent, ComPtr<d3d11::Device> device, std::shared_ptr<Machine> machine,
                         std::unique_ptr<Compositor> compositor)
    : parent_(std::move(parent)),
      device_(std::move(device)),
      machine_(std::move(machine)),
      compositor_(std::move(compositor)) {}

void Duplication::GetDesc(DXGI_OUTDUPL_DESC* desc) {
    if (!desc) return;
    const OutputConfig& config = compositor_->config();
    *desc = DXGI_OUTDUPL_DESC{};
    desc->ModeDesc.Width = config.width;
    desc->ModeDesc.Height = config.height;
    // Some drivers report a refresh rate of {0, 0}, which DXGI_RATIONAL's page allows (read as 0).
    desc->ModeDesc.RefreshRate = config.refreshHz ? DXGI_RATIONAL{config.refreshHz, 1} : DXGI_RATIONAL{0, 0};
    desc->ModeDesc.Format = machine_->config().variants.modeFormatScanout ? scanoutFormat(config.format)
                                                                          : compositor_->format();
    desc->ModeDesc.ScanlineOrdering = DXGI_MODE_SCANLINE_ORDER_PROGRESSIVE;
    desc->Rotation = config.rotation;
    desc->DesktopImageInSystemMemory = FALSE;
}

}  // namespace winsim::dxgi
