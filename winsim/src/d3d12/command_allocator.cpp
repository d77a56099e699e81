#include "d3d12/command_allocator.h"

#include "d3d12/device.h"
#include "machine/faults.h"

namespace winsim::d3d12 {

HRESULT CommandAllocator::Reset() {
    constexpr const char* kCall = "ID3D12CommandAllocator::Reset";
    if (recorder_.load()) return refuse(kCall, "a command list is recording with it", E_FAIL);
    if (inFlight_->load() > 0) return refuse(kCall, "command lists recorded with it are still executing", E_FAIL);
    return S_OK;
}

bool CommandAllocator::beginRecording(const void* list) {
    const void* none = nullptr;
    return recorder_.compare_exchange_strong(none, list) || none == list;
}

void CommandAllocator::endRecording(const void* list) {
    const void* expected = list;
    recorder_.compare_exchange_strong(expected, nullptr);
}

bool knownListType(D3D12_COMMAND_LIST_TYPE type) {
    return type == D3D12_COMMAND_LIST_TYPE_DIRECT || type == D3D12_COMMAND_LIST_TYPE_COMPUTE ||
           type == D3D12_COMMAND_LIST_TYPE_COPY;
}

HRESULT Device::CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE type, REFIID riid, void** allocator) {
    constexpr const char* kCall = "ID3D12Device::CreateCommandAllocator";
    if (allocator) *allocator = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    if (type == D3D12_COMMAND_LIST_TYPE_BUNDLE) return notModelled(kCall, "a bundle");
    if (!knownListType(type)) return refuse(kCall, "unknown command list type");
    if (!allocator) return refuse(kCall, "no allocator pointer", E_POINTER);
    return com::handOut(new CommandAllocator(Microsoft::WRL::ComPtr<Device>(this), type), riid, allocator);
}

}  // namespace winsim::d3d12
