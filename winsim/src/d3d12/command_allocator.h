// A command allocator: the memory command lists record into. It may be reset only once nothing
// recorded with it is still recording or executing.
#pragma once
#include <atomic>
#include <memory>

#include "d3d12/object.h"

namespace winsim::d3d12 {

class CommandAllocator final : public Child<CommandAllocator, ID3D12CommandAllocator> {
public:
    static constexpr const char* kKind = "ID3D12CommandAllocator";
    CommandAllocator(Microsoft::WRL::ComPtr<Device> device, D3D12_COMMAND_LIST_TYPE type)
        : Child(std::move(device)), type_(type) {}

    HRESULT STDMETHODCALLTYPE Reset() override;

    D3D12_COMMAND_LIST_TYPE type() const { return type_; }
    // One command list records with it at a time; false when another one does.
    bool beginRecording(const void* list);
    void endRecording(const void* list);
    // Executions of its lists that have not yet run: counted up when one is submitted, down by
    // the queue when it has run.
    const std::shared_ptr<std::atomic<int>>& inFlight() const { return inFlight_; }

private:
    const D3D12_COMMAND_LIST_TYPE type_;
    std::atomic<const void*> recorder_{nullptr};
    std::shared_ptr<std::atomic<int>> inFlight_ = std::make_shared<std::atomic<int>>(0);
};

// The list types winsim models: direct, compute and copy (no bundles).
bool knownListType(D3D12_COMMAND_LIST_TYPE type);

}  // namespace winsim::d3d12
