#include "d3d11/device.h"

#include <optional>

#include "d3d11/context.h"
#include "dxgi/objects.h"
#include "machine/faults.h"
#include "winsim/control.h"
#include "winsim/gpu.h"

namespace winsim {
uint64_t d3d11DeviceBaselineBytes() { return d3d11::kDeviceBaselineBytes; }
}  // namespace winsim

namespace winsim::d3d11 {
namespace {

constexpr D3D_FEATURE_LEVEL kHighestLevel = D3D_FEATURE_LEVEL_11_1;

// The first level of the caller's list that the device supports; the runtime's default list
// (11_0 first) when there is none.
std::optional<D3D_FEATURE_LEVEL> chooseLevel(const D3D_FEATURE_LEVEL* levels, UINT count) {
    if (!levels) return D3D_FEATURE_LEVEL_11_0;
    for (UINT i = 0; i < count; ++i)
        if (levels[i] >= D3D_FEATURE_LEVEL_9_1 && levels[i] <= kHighestLevel) return levels[i];
    return std::nullopt;
}

HRESULT findAdapter(IDXGIAdapter* object, D3D_DRIVER_TYPE type, std::shared_ptr<AdapterState>& adapter) {
    if (object) {
        if (type != D3D_DRIVER_TYPE_UNKNOWN) return E_INVALIDARG;
        auto* known = dxgi::adapterOf(object);
        if (!known) return E_INVALIDARG;
        adapter = known->state();
        return S_OK;
    }
    if (type == D3D_DRIVER_TYPE_UNKNOWN) return E_INVALIDARG;
    if (type != D3D_DRIVER_TYPE_HARDWARE) return DXGI_ERROR_UNSUPPORTED;
    auto machine = currentMachine();
    if (!machine || machine->adapters().empty()) return DXGI_ERROR_UNSUPPORTED;
    adapter = machine->adapters().front();
    return S_OK;
}

}  // namespace

bool Device::hides(REFIID riid) const {
    return !adapter_->config.exposesDevice5 && IsEqualIID(riid, __uuidof(ID3D11Device5));
}

bool Context::hides(REFIID riid) const {
    return !device_->adapter()->config.exposesContext4 && IsEqualIID(riid, __uuidof(ID3D11DeviceContext4));
}

// The device has one immediate context: every call hands out the same object while anyone holds it.
void Device::GetImmediateContext(ID3D11DeviceContext** context) {
    if (!context) return;
    std::lock_guard lock(immediateMutex_);
    if (!immediate_ || !immediate_->tryAddRef()) immediate_ = new Context(ComPtr<Device>(this));
    *context = immediate_;
}

void Device::forgetImmediateContext(const Context* context) {
    std::lock_guard lock(immediateMutex_);
    if (immediate_ == context) immediate_ = nullptr;
}

Device* deviceOf(IUnknown* object) {
    if (!object) return nullptr;
    ComPtr<ID3D11Device> device;
    if (SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(device.GetAddressOf())))) return dynamic_cast<Device*>(device.Get());
    ComPtr<ID3D11DeviceContext> context;
    if (FAILED(object->QueryInterface(IID_PPV_ARGS(context.GetAddressOf())))) return nullptr;
    auto* known = dynamic_cast<Context*>(context.Get());
    return known ? known->device() : nullptr;
}

}  // namespace winsim::d3d11

namespace winsim {

void setQueueLatencyMs(uint32_t milliseconds, IUnknown* device) {
    if (!device) return gpu::setGlobalLatencyMs(milliseconds);
    if (auto* known = d3d11::deviceOf(device)) known->queue().setLatencyMs(milliseconds);
}

void setQueueStalled(bool stalled, IUnknown* device) {
    if (!device) return gpu::setGlobalStalled(stalled);
    if (auto* known = d3d11::deviceOf(device)) known->queue().setStalled(stalled);
}

void resetQueueKnobs() { gpu::resetKnobs(); }

bool removeDevice(IUnknown* device, HRESULT reason) {
    auto* known = d3d11::deviceOf(device);
    if (!known || SUCCEEDED(reason)) return false;
    known->remove(reason);
    if (auto machine = currentMachine()) machine->notify();  // its duplications' waits notice
    return true;
}

bool waitForGpuIdle(IUnknown* device, uint32_t milliseconds) {
    auto* known = d3d11::deviceOf(device);
    return known && known->queue().waitIdle(std::chrono::milliseconds(milliseconds));
}

}  // namespace winsim

namespace winsim::d3d11 {

HRESULT Device::CheckFormatSupport(DXGI_FORMAT format, UINT* support) {
    if (!support) return E_INVALIDARG;
    *support = formatSupport(format);
    return *support ? S_OK : E_FAIL;
}

}  // namespace winsim::d3d11

HRESULT WINAPI D3D11CreateDevice(IDXGIAdapter* adapterObject, D3D_DRIVER_TYPE driverType, HMODULE software, UINT flags,
                                 const D3D_FEATURE_LEVEL* featureLevels, UINT featureLevelCount, UINT sdkVersion,
                                 ID3D11Device** device, D3D_FEATURE_LEVEL* featureLevel,
                                 ID3D11DeviceContext** immediateContext) {
    using namespace winsim;
    if (device) *device = nullptr;
    if (immediateContext) *immediateContext = nullptr;
    if (auto hr = fault("D3D11CreateDevice")) return *hr;
    if (sdkVersion != D3D11_SDK_VERSION || (software && driverType != D3D_DRIVER_TYPE_SOFTWARE)) return E_INVALIDARG;
    if (!featureLevels && featureLevelCount) return E_INVALIDARG;
    std::shared_ptr<AdapterState> adapter;
    if (HRESULT hr = d3d11::findAdapter(adapterObject, driverType, adapter); FAILED(hr)) return hr;
    if (HRESULT hr = deviceCreatable(*adapter, Clock::now()); FAILED(hr)) return hr;
    const auto level = d3d11::chooseLevel(featureLevels, featureLevelCount);
    if (!level) return DXGI_ERROR_UNSUPPORTED;
    if (featureLevel) *featureLevel = *level;
    if (!device && !immediateContext) return S_FALSE;
    auto baseline = gpu::Allocation::make(adapter->ledger, d3d11::kDeviceBaselineBytes);
    if (!baseline) return E_OUTOFMEMORY;
    d3d11::ComPtr<d3d11::Device> created;
    created.Attach(new d3d11::Device(std::move(adapter), std::move(baseline), *level, flags));
    if (immediateContext) created->GetImmediateContext(immediateContext);
    if (device) *device = created.Detach();
    return S_OK;
}
