#include "d3d12/command_list.h"

#include "d3d12/device.h"
#include "d3d12/resource.h"
#include "machine/faults.h"

namespace winsim::d3d12 {

CommandList::CommandList(Microsoft::WRL::ComPtr<Device> device, D3D12_COMMAND_LIST_TYPE type,
                         Microsoft::WRL::ComPtr<CommandAllocator> allocator)
    : Child(std::move(device)), type_(type), allocator_(std::move(allocator)), tracker_(this->device()->validates()) {}

CommandList::~CommandList() {
    if (recording_) allocator_->endRecording(this);
}

bool CommandList::recording(const char* call) const {
    if (!recording_) debug::message(call, "the command list is closed");
    return recording_;
}

HRESULT CommandList::Close() {
    if (!recording("ID3D12GraphicsCommandList::Close")) return E_FAIL;
    recording_ = false;
    allocator_->endRecording(this);
    return S_OK;
}

HRESULT CommandList::Reset(ID3D12CommandAllocator* allocator, ID3D12PipelineState* initialState) {
    constexpr const char* kCall = "ID3D12GraphicsCommandList::Reset";
    auto* next = dynamic_cast<CommandAllocator*>(allocator);
    if (!next || next->device() != device()) return refuse(kCall, "not a command allocator of this device");
    if (next->type() != type_) return refuse(kCall, "the allocator is for another type of command list");
    if (initialState) return notModelled(kCall, "a pipeline state");
    if (recording_) return refuse(kCall, "the command list is still recording", E_FAIL);
    if (!next->beginRecording(this)) return refuse(kCall, "another command list is recording with the allocator");
    allocator_ = next;
    recorded_.clear();
    tracker_.clear();
    recording_ = true;
    return S_OK;
}

Resource* CommandList::own(const char* call, ID3D12Resource* resource) const {
    auto* known = resourceOf(resource);
    if (!known || known->device() != device()) {
        debug::message(call, "not a resource of this device");
        return nullptr;
    }
    return known;
}

void CommandList::ResourceBarrier(UINT numBarriers, const D3D12_RESOURCE_BARRIER* barriers) {
    constexpr const char* kCall = "ID3D12GraphicsCommandList::ResourceBarrier";
    if (!recording(kCall)) return;
    if (numBarriers && !barriers) return debug::message(kCall, "no barriers");
    for (UINT i = 0; i < numBarriers; ++i) {
        const auto& barrier = barriers[i];
        if (barrier.Type == D3D12_RESOURCE_BARRIER_TYPE_UAV) continue;  // no unordered access is modelled: nothing to order
        if (barrier.Type != D3D12_RESOURCE_BARRIER_TYPE_TRANSITION) return (void)notModelled(kCall, "an aliasing barrier");
        if (barrier.Flags != D3D12_RESOURCE_BARRIER_FLAG_NONE) return (void)notModelled(kCall, "a split barrier");
        transition(barrier.Transition);
    }
}

void CommandList::transition(const D3D12_RESOURCE_TRANSITION_BARRIER& barrier) {
    constexpr const char* kCall = "ID3D12GraphicsCommandList::ResourceBarrier";
    Resource* resource = own(kCall, barrier.pResource);
    if (!resource) return;
    constexpr auto kCopyStates = D3D12_RESOURCE_STATE_COPY_SOURCE | D3D12_RESOURCE_STATE_COPY_DEST;
    if (type_ == D3D12_COMMAND_LIST_TYPE_COPY && ((barrier.StateBefore | barrier.StateAfter) & ~kCopyStates))
        return debug::message(kCall, "a copy command list knows only COMMON, COPY_SOURCE and COPY_DEST");
    const auto& states = resource->states();
    if (barrier.Subresource != D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES && barrier.Subresource >= states->count())
        return debug::message(kCall, "subresource out of range");
    for (UINT sub = 0; sub < states->count(); ++sub)
        if (barrier.Subresource == D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES || barrier.Subresource == sub)
            tracker_.transition(states, sub, barrier.StateBefore, barrier.StateAfter);
}

void CommandList::record(const Resource& to, const Resource& from, Copy copy) {
    recorded_.push_back([to = std::weak_ptr(to.image()), from = std::weak_ptr(from.image()),
                         copy = std::move(copy)]() -> std::optional<gpu::Command> {
        auto dst = to.lock();
        auto src = from.lock();
        if (!dst || !src) {
            debug::message("ID3D12CommandQueue::ExecuteCommandLists", "a resource the command list copies was released");
            return std::nullopt;
        }
        return [dst, src, copy] { copy(*dst, *src); };
    });
}

std::vector<gpu::Command> CommandList::prepare() const {
    std::vector<gpu::Command> commands;
    for (const auto& recorded : recorded_)
        if (auto command = recorded()) commands.push_back(std::move(*command));
    return commands;
}

HRESULT Device::CreateCommandList(UINT nodeMask, D3D12_COMMAND_LIST_TYPE type, ID3D12CommandAllocator* allocator,
                                  ID3D12PipelineState* initialState, REFIID riid, void** commandList) {
    constexpr const char* kCall = "ID3D12Device::CreateCommandList";
    if (commandList) *commandList = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    auto* known = dynamic_cast<CommandAllocator*>(allocator);
    if (nodeMask > 1) return refuse(kCall, "the adapter has one node");
    if (!known || known->device() != this) return refuse(kCall, "not a command allocator of this device");
    if (known->type() != type) return refuse(kCall, "the allocator is for another type of command list");
    if (initialState) return notModelled(kCall, "a pipeline state");
    if (!commandList) return refuse(kCall, "no command list pointer", E_POINTER);
    auto* list = new CommandList(Microsoft::WRL::ComPtr<Device>(this), type, known);
    if (!known->beginRecording(list)) {
        list->Release();
        return refuse(kCall, "another command list is recording with the allocator");
    }
    return com::handOut(list, riid, commandList);
}

}  // namespace winsim::d3d12
