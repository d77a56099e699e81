// A Direct3D 12 fence: a value that command queues and the CPU advance.
#pragma once
#include <memory>

#include "d3d12/object.h"
#include "gpu/fence.h"

namespace winsim::d3d12 {

class Fence final : public Child<Fence, ID3D12Fence> {
public:
    static constexpr const char* kKind = "ID3D12Fence";
    Fence(Microsoft::WRL::ComPtr<Device> device, UINT64 initial)
        : Child(std::move(device)), state_(std::make_shared<gpu::FenceState>(initial)) {}

    // A removed device's fences count as reached, as the runtime reports them.
    UINT64 STDMETHODCALLTYPE GetCompletedValue() override;
    HRESULT STDMETHODCALLTYPE SetEventOnCompletion(UINT64 value, HANDLE event) override;
    HRESULT STDMETHODCALLTYPE Signal(UINT64 value) override;

    const std::shared_ptr<gpu::FenceState>& state() const { return state_; }

private:
    std::shared_ptr<gpu::FenceState> state_;
};

}  // namespace winsim::d3d12
