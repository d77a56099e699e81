// The Direct3D 12 device: the consumer side of shared textures.
#pragma once
#include <memory>

#include <d3d12.h>

#include "com/object.h"
#include "gpu/ledger.h"
#include "machine/machine.h"

namespace winsim::d3d12 {

// Fixed video memory a Direct3D 12 device holds for its own use.
constexpr uint64_t kDeviceBaselineBytes = 4ull << 20;

class Device final : public com::Object<Device, ID3D12Device> {
public:
    static constexpr const char* kKind = "ID3D12Device";
    Device(std::shared_ptr<AdapterState> adapter, std::shared_ptr<gpu::Allocation> baseline)
        : adapter_(std::move(adapter)), baseline_(std::move(baseline)) {}

    HRESULT STDMETHODCALLTYPE SetName(LPCWSTR name) override { return privateData().setName(name); }
    UINT STDMETHODCALLTYPE GetNodeCount() override { return 1; }
    HRESULT STDMETHODCALLTYPE OpenSharedHandle(HANDLE handle, REFIID riid, void** object) override;
    LUID STDMETHODCALLTYPE GetAdapterLuid() override { return adapter_->config.luid; }

    const std::shared_ptr<AdapterState>& adapter() const { return adapter_; }

private:
    std::shared_ptr<AdapterState> adapter_;
    std::shared_ptr<gpu::Allocation> baseline_;
};

}  // namespace winsim::d3d12
