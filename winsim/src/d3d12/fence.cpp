#include "d3d12/fence.h"

#include "d3d12/device.h"
#include "kernel/handles.h"
#include "machine/faults.h"

namespace winsim::d3d12 {

UINT64 Fence::GetCompletedValue() { return device()->removed() ? UINT64_MAX : state_->completed(); }

HRESULT Fence::SetEventOnCompletion(UINT64 value, HANDLE event) {
    if (device()->removed()) value = 0;  // reached already
    if (!event) {  // no event: the call itself waits until the fence reaches the value
        auto reached = std::make_shared<kernel::Event>(true, false);
        state_->notifyAt(value, [reached] { reached->set(); });
        reached->wait(INFINITE);
        return S_OK;
    }
    auto target = kernel::lookupAs<kernel::Event>(event);
    if (!target) return refuse("ID3D12Fence::SetEventOnCompletion", "not an event handle");
    state_->notifyAt(value, [target = std::move(target)] { target->set(); });
    return S_OK;
}

HRESULT Fence::Signal(UINT64 value) {
    state_->reach(value);
    return S_OK;
}

HRESULT Device::CreateFence(UINT64 initialValue, D3D12_FENCE_FLAGS flags, REFIID riid, void** fence) {
    constexpr const char* kCall = "ID3D12Device::CreateFence";
    if (fence) *fence = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    if (flags != D3D12_FENCE_FLAG_NONE) return notModelled(kCall, "a shared fence");
    if (!fence) return refuse(kCall, "no fence pointer", E_POINTER);
    return com::handOut(new Fence(Microsoft::WRL::ComPtr<Device>(this), initialValue), riid, fence);
}

}  // namespace winsim::d3d12
