#include "d3d12/command_queue.h"

#include "d3d12/command_list.h"
#include "d3d12/device.h"
#include "d3d12/fence.h"
#include "machine/faults.h"

namespace winsim::d3d12 {
namespace {
constexpr const char* kExecute = "ID3D12CommandQueue::ExecuteCommandLists";
}  // namespace

CommandList* CommandQueue::executable(ID3D12CommandList* list) const {
    auto* known = dynamic_cast<CommandList*>(list);
    const char* reason = !known                           ? "not a command list of winsim"
                         : known->device() != device()     ? "a command list of another device"
                         : !known->closed()                ? "a command list that is still recording"
                         : known->GetType() != desc_.Type ? "a command list of another type than the queue"
                                                           : nullptr;
    if (reason) debug::message(kExecute, reason);
    return reason ? nullptr : known;
}

void CommandQueue::ExecuteCommandLists(UINT numCommandLists, ID3D12CommandList* const* commandLists) {
    if (numCommandLists && !commandLists) return debug::message(kExecute, "no command lists");
    if (device()->removed()) return;  // a removed device runs nothing
    std::vector<CommandList*> lists;
    for (UINT i = 0; i < numCommandLists; ++i) {
        CommandList* list = executable(commandLists[i]);
        if (!list) return;  // the runtime executes none of them
        lists.push_back(list);
    }
    std::vector<gpu::Command> batch;
    for (CommandList* list : lists) {
        list->tracker().apply(desc_.Type == D3D12_COMMAND_LIST_TYPE_COPY);
        for (auto& command : list->prepare()) batch.push_back(std::move(command));
        auto inFlight = list->allocator()->inFlight();
        ++*inFlight;
        batch.push_back([inFlight] { --*inFlight; });
    }
    device()->queue().submit(std::move(batch));
}

HRESULT CommandQueue::Signal(ID3D12Fence* fence, UINT64 value) {
    auto* known = dynamic_cast<Fence*>(fence);
    if (!known) return refuse("ID3D12CommandQueue::Signal", "not a fence of winsim");
    device()->queue().submit({[state = known->state(), value] { state->reach(value); }});
    return S_OK;
}

HRESULT CommandQueue::Wait(ID3D12Fence* fence, UINT64 value) {
    auto* known = dynamic_cast<Fence*>(fence);
    if (!known) return refuse("ID3D12CommandQueue::Wait", "not a fence of winsim");
    if (known->GetCompletedValue() >= value) return S_OK;  // nothing to wait for
    return notModelled("ID3D12CommandQueue::Wait", "waiting for a value the fence has not reached");
}

HRESULT CommandQueue::GetTimestampFrequency(UINT64*) {
    return notModelled("ID3D12CommandQueue::GetTimestampFrequency", "timestamps");
}

HRESULT Device::CreateCommandQueue(const D3D12_COMMAND_QUEUE_DESC* desc, REFIID riid, void** queue) {
    constexpr const char* kCall = "ID3D12Device::CreateCommandQueue";
    if (queue) *queue = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    if (!desc) return refuse(kCall, "no description", E_POINTER);
    if (desc->Type == D3D12_COMMAND_LIST_TYPE_BUNDLE || !knownListType(desc->Type))
        return refuse(kCall, "a queue is direct, compute or copy");
    if (desc->NodeMask > 1) return refuse(kCall, "the adapter has one node");
    if (!queue) return refuse(kCall, "no queue pointer", E_POINTER);
    return com::handOut(new CommandQueue(Microsoft::WRL::ComPtr<Device>(this), *desc), riid, queue);
}

}  // namespace winsim::d3d12
