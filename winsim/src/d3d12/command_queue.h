// A command queue: executes closed command lists and signals fences, in order, on its device's
// GPU queue.
#pragma once
#include "d3d12/object.h"

namespace winsim::d3d12 {

class CommandList;

class CommandQueue final : public Child<CommandQueue, ID3D12CommandQueue> {
public:
    static constexpr const char* kKind = "ID3D12CommandQueue";
    CommandQueue(Microsoft::WRL::ComPtr<Device> device, const D3D12_COMMAND_QUEUE_DESC& desc)
        : Child(std::move(device)), desc_(desc) {}

    void STDMETHODCALLTYPE ExecuteCommandLists(UINT numCommandLists, ID3D12CommandList* const* commandLists) override;
    HRESULT STDMETHODCALLTYPE Signal(ID3D12Fence* fence, UINT64 value) override;
    HRESULT STDMETHODCALLTYPE Wait(ID3D12Fence* fence, UINT64 value) override;
    HRESULT STDMETHODCALLTYPE GetTimestampFrequency(UINT64* frequency) override;
    D3D12_COMMAND_QUEUE_DESC STDMETHODCALLTYPE GetDesc() override { return desc_; }

private:
    // The list behind `list` if this queue may execute it, else a debug message and null.
    CommandList* executable(ID3D12CommandList* list) const;

    const D3D12_COMMAND_QUEUE_DESC desc_;
};

}  // namespace winsim::d3d12
