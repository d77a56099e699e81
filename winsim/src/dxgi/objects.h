// DXGI front-end objects: factory, adapter, output.
#pragma once
#include <memory>

#include <dxgi1_6.h>
#include <wrl/client.h>

#include "com/object.h"
#include "dxgi/snapshot.h"
#include "machine/fault_calls.h"
#include "machine/machine.h"

namespace winsim::dxgi {

using Microsoft::WRL::ComPtr;

class Factory final : public com::Object<Factory, IDXGIFactory6> {
public:
    static constexpr const char* kKind = "IDXGIFactory";
    // Takes the snapshot of the displays its adapters and outputs answer from.
    explicit Factory(std::shared_ptr<Machine> machine)
        : machine_(std::move(machine)), displays_(takeSnapshot(*machine_)) {}

    HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** parent) override;
    HRESULT STDMETHODCALLTYPE EnumAdapters(UINT index, IDXGIAdapter** out) override;
    HRESULT STDMETHODCALLTYPE EnumAdapters1(UINT index, IDXGIAdapter1** out) override;
    BOOL STDMETHODCALLTYPE IsCurrent() override;
    HRESULT STDMETHODCALLTYPE EnumAdapterByLuid(LUID luid, REFIID riid, void** out) override;
    HRESULT STDMETHODCALLTYPE CheckFeatureSupport(DXGI_FEATURE feature, void* data, UINT size) override;
    HRESULT STDMETHODCALLTYPE EnumAdapterByGpuPreference(UINT index, DXGI_GPU_PREFERENCE preference, REFIID riid,
                                                         void** out) override;

    // An adapter object for `state` under a factory of its own, as a device's IDXGIDevice::GetAdapter gives it.
    static HRESULT adapterFor(std::shared_ptr<Machine> machine, std::shared_ptr<AdapterState> state, REFIID riid,
                              void** out);

private:
    HRESULT handOutAdapter(std::shared_ptr<AdapterState> state, REFIID riid, void** out);
    std::shared_ptr<Machine> machine_;
    std::shared_ptr<const DisplaySnapshot> displays_;
};

class Adapter final : public com::Object<Adapter, IDXGIAdapter3> {
public:
    static constexpr const char* kKind = "IDXGIAdapter";
    Adapter(std::shared_ptr<Machine> machine, std::shared_ptr<AdapterState> state,
            std::shared_ptr<const DisplaySnapshot> displays, ComPtr<IDXGIFactory> parent)
        : machine_(std::move(machine)),
          state_(std::move(state)),
          displays_(std::move(displays)),
          parent_(std::move(parent)) {}

    bool hides(REFIID riid) const;
    HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** parent) override;
    HRESULT STDMETHODCALLTYPE EnumOutputs(UINT index, IDXGIOutput** out) override;
    HRESULT STDMETHODCALLTYPE GetDesc(DXGI_ADAPTER_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE GetDesc1(DXGI_ADAPTER_DESC1* desc) override;
    HRESULT STDMETHODCALLTYPE QueryVideoMemoryInfo(UINT node, DXGI_MEMORY_SEGMENT_GROUP group,
                                                   DXGI_QUERY_VIDEO_MEMORY_INFO* info) override;

    const std::shared_ptr<AdapterState>& state() const { return state_; }
    const std::shared_ptr<Machine>& machine() const { return machine_; }

private:
    std::shared_ptr<Machine> machine_;
    std::shared_ptr<AdapterState> state_;
    std::shared_ptr<const DisplaySnapshot> displays_;  // its factory's
    ComPtr<IDXGIFactory> parent_;
};

class Output final : public com::Object<Output, IDXGIOutput6> {
public:
    static constexpr const char* kKind = "IDXGIOutput";
    Output(ComPtr<Adapter> adapter, OutputSnapshot snapshot)
        : adapter_(std::move(adapter)), snapshot_(std::move(snapshot)) {}

    bool hides(REFIID riid) const;
    HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** parent) override;
    HRESULT STDMETHODCALLTYPE GetDesc(DXGI_OUTPUT_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE GetDesc1(DXGI_OUTPUT_DESC1* desc) override;
    HRESULT STDMETHODCALLTYPE CheckHardwareCompositionSupport(UINT* flags) override;
    HRESULT STDMETHODCALLTYPE DuplicateOutput(IUnknown* device, IDXGIOutputDuplication** out) override;
    HRESULT STDMETHODCALLTYPE DuplicateOutput1(IUnknown* device, UINT flags, UINT formatCount,
                                               const DXGI_FORMAT* formats, IDXGIOutputDuplication** out) override;

    const std::shared_ptr<OutputState>& state() const { return snapshot_.state; }

private:
    ComPtr<Adapter> adapter_;
    const OutputSnapshot snapshot_;  // the output as its factory enumerated it
};

// A new factory, for CreateDXGIFactory1 and 2 (`call` names the entry point for fault injection).
HRESULT createFactory(FaultCall call, REFIID riid, void** factory);

// The winsim adapter behind an IDXGIAdapter of any version, or null for a foreign object.
Adapter* adapterOf(IUnknown* object);

}  // namespace winsim::dxgi
