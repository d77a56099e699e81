// Creating a duplication: the runtime's refusals, the choice of the delivered format, and what a
// duplication holds while it lives (its slot among the output's and the machine's duplications,
// the desktop surface charged to the ledger).
#include "dxgi/duplication.h"

#include <algorithm>
#include <optional>

#include "formats/dxgi_format.h"
#include "machine/faults.h"

namespace winsim::dxgi {
namespace {

constexpr int kMaxDuplications = 4;  // the platform's limit on concurrent duplications

// The adapter whose devices may duplicate `output` (the one that enumerates it, unless another
// drives it).
const AdapterState* drivingAdapter(const Machine& machine, const AdapterState& enumerating, const OutputConfig& output) {
    const auto& adapters = machine.adapters();
    if (output.drivenByAdapter < 0) return &enumerating;
    if (output.drivenByAdapter >= static_cast<int>(adapters.size())) return nullptr;
    return adapters[static_cast<size_t>(output.drivenByAdapter)].get();
}

// The format a duplication delivers: the desktop's when the caller lists it, else B8G8R8A8 when
// listed; DuplicateOutput (no list) always gets B8G8R8A8.
std::optional<DXGI_FORMAT> deliveredFormat(DXGI_FORMAT desktop, const DXGI_FORMAT* formats, UINT count) {
    if (!formats) return DXGI_FORMAT_B8G8R8A8_UNORM;
    const DXGI_FORMAT* end = formats + count;
    if (std::find(formats, end, desktop) != end) return desktop;
    if (std::find(formats, end, DXGI_FORMAT_B8G8R8A8_UNORM) != end) return DXGI_FORMAT_B8G8R8A8_UNORM;
    return std::nullopt;
}

// Why the machine refuses a duplication of `output` for a device on `adapter` now, or S_OK.
HRESULT refusal(const Machine& machine, const AdapterState& enumerating, const OutputState& output,
                const AdapterState& deviceAdapter) {
    if (drivingAdapter(machine, enumerating, output.current) != &deviceAdapter) return DXGI_ERROR_UNSUPPORTED;
    if (!output.current.attached) return DXGI_ERROR_UNSUPPORTED;  // no desktop to duplicate
    if (machine.secureDesktop) return E_ACCESSDENIED;
    if (output.duplications > 0) return E_INVALIDARG;  // this process duplicates it already
    if (machine.activeDuplications >= kMaxDuplications) return DXGI_ERROR_NOT_CURRENTLY_AVAILABLE;
    return S_OK;
}

}  // namespace

HRESULT duplicateOutput(IDXGIOutput* parent, const std::shared_ptr<Machine>& machine, const AdapterState& adapter,
                        const std::shared_ptr<OutputState>& output, IUnknown* deviceObject, const DXGI_FORMAT* formats,
                        UINT formatCount, IDXGIOutputDuplication** out) {
    d3d11::Device* device = d3d11::deviceOf(deviceObject);
    if (!device) return E_INVALIDARG;
    auto lock = machine->lock();
    const auto now = Clock::now();
    machine->advance(now);
    if (HRESULT hr = refusal(*machine, adapter, *output, *device->adapter()); FAILED(hr)) return hr;
    const OutputConfig& config = output->current;
    const auto format = deliveredFormat(config.format, formats, formatCount);
    if (!format) return DXGI_ERROR_UNSUPPORTED;
    auto& ledger = device->adapter()->ledger;
    auto surface = gpu::Allocation::make(ledger, gpu::textureBytes(*format, config.width, config.height, 1));
    if (!surface) return E_OUTOFMEMORY;
    if (machine->config().leakPerDuplicationBytes) gpu::Allocation::leak(*ledger, machine->config().leakPerDuplicationBytes);
    machine->noteDuplication(now);
    *out = new Duplication(ComPtr<IDXGIOutput>(parent), ComPtr<d3d11::Device>(device), machine, output, std::move(surface),
                           *format);
    return S_OK;
}

Duplication::Duplication(ComPtr<IDXGIOutput> parent, ComPtr<d3d11::Device> device, std::shared_ptr<Machine> machine,
                         std::shared_ptr<OutputState> output, std::shared_ptr<gpu::Allocation> surface, DXGI_FORMAT format)
    : parent_(std::move(parent)),
      device_(std::move(device)),
      machine_(std::move(machine)),
      output_(std::move(output)),
      epoch_(output_->epoch),
      config_(output_->current),
      format_(format),
      images_(std::move(surface), format, config_.width, config_.height) {
    ++output_->duplications;
    ++machine_->activeDuplications;
}

Duplication::~Duplication() {
    auto lock = machine_->lock();
    --output_->duplications;
    --machine_->activeDuplications;
    machine_->notify();
}

void Duplication::GetDesc(DXGI_OUTDUPL_DESC* desc) {
    if (!desc) return;
    *desc = DXGI_OUTDUPL_DESC{};
    desc->ModeDesc.Width = config_.width;
    desc->ModeDesc.Height = config_.height;
    desc->ModeDesc.RefreshRate = DXGI_RATIONAL{60, 1};
    desc->ModeDesc.Format = format_;
    desc->ModeDesc.ScanlineOrdering = DXGI_MODE_SCANLINE_ORDER_PROGRESSIVE;
    desc->Rotation = config_.rotation;
    desc->DesktopImageInSystemMemory = FALSE;
}

}  // namespace winsim::dxgi
