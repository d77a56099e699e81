// The Direct3D 12 device: resources, command queues, allocators, lists, fences and descriptor
// heaps on one adapter, with a GPU queue of its own that runs what its command queues execute.
#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <d3d12.h>

#include "d3d12/object.h"
#include "gpu/ledger.h"
#include "gpu/queue.h"
#include "machine/machine.h"
#include "machine/removal.h"

namespace winsim::d3d12 {

class DescriptorHeap;

// Fixed video memory a Direct3D 12 device holds for its own use.
constexpr uint64_t kDeviceBaselineBytes = 4ull << 20;

class Device final : public Object<Device, ID3D12Device> {
public:
    static constexpr const char* kKind = "ID3D12Device";
    Device(std::shared_ptr<AdapterState> adapter, std::shared_ptr<gpu::Allocation> baseline, bool validate)
        : adapter_(std::move(adapter)), life_(adapter_), baseline_(std::move(baseline)), validate_(validate) {}
    // No longer the adapter's device: the next D3D12CreateDevice makes a new one.
    ~Device() override;

    UINT STDMETHODCALLTYPE GetNodeCount() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateCommandQueue(const D3D12_COMMAND_QUEUE_DESC* desc, REFIID riid, void** queue) override;
    HRESULT STDMETHODCALLTYPE CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE type, REFIID riid, void** allocator) override;
    HRESULT STDMETHODCALLTYPE CreateCommandList(UINT nodeMask, D3D12_COMMAND_LIST_TYPE type,
                                                ID3D12CommandAllocator* allocator, ID3D12PipelineState* initialState,
                                                REFIID riid, void** commandList) override;
    HRESULT STDMETHODCALLTYPE CheckFeatureSupport(D3D12_FEATURE feature, void* data, UINT dataSize) override;
    HRESULT STDMETHODCALLTYPE CreateDescriptorHeap(const D3D12_DESCRIPTOR_HEAP_DESC* desc, REFIID riid, void** heap) override;
    UINT STDMETHODCALLTYPE GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE type) override;
    void STDMETHODCALLTYPE CreateShaderResourceView(ID3D12Resource* resource, const D3D12_SHADER_RESOURCE_VIEW_DESC* desc,
                                                    D3D12_CPU_DESCRIPTOR_HANDLE destination) override;
    D3D12_RESOURCE_ALLOCATION_INFO STDMETHODCALLTYPE GetResourceAllocationInfo(UINT visibleMask, UINT count,
                                                                               const D3D12_RESOURCE_DESC* descs) override;
    HRESULT STDMETHODCALLTYPE CreateCommittedResource(const D3D12_HEAP_PROPERTIES* heap, D3D12_HEAP_FLAGS heapFlags,
                                                      const D3D12_RESOURCE_DESC* desc, D3D12_RESOURCE_STATES initialState,
                                                      const D3D12_CLEAR_VALUE* clearValue, REFIID riid,
                                                      void** resource) override;
    HRESULT STDMETHODCALLTYPE OpenSharedHandle(HANDLE handle, REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE CreateFence(UINT64 initialValue, D3D12_FENCE_FLAGS flags, REFIID riid, void** fence) override;
    HRESULT STDMETHODCALLTYPE GetDeviceRemovedReason() override { return life_.reason(); }
    void STDMETHODCALLTYPE GetCopyableFootprints(const D3D12_RESOURCE_DESC* desc, UINT first, UINT count, UINT64 baseOffset,
                                                 D3D12_PLACED_SUBRESOURCE_FOOTPRINT* layouts, UINT* numRows,
                                                 UINT64* rowSizes, UINT64* totalBytes) override;
    LUID STDMETHODCALLTYPE GetAdapterLuid() override { return adapter_->config.luid; }

    const std::shared_ptr<AdapterState>& adapter() const { return adapter_; }
    // Once removed, every call fails with the reason, queues run nothing and fences count as reached.
    bool removed() const { return life_.removed(); }
    // Created after ID3D12Debug::EnableDebugLayer: resource states are validated.
    bool validates() const { return validate_; }
    gpu::Queue& queue() { return queue_; }

    // Descriptor heaps register themselves so that a CPU descriptor handle can be checked.
    void addHeap(DescriptorHeap* heap);
    void removeHeap(DescriptorHeap* heap);
    // Calls `write` with the heap whose descriptors `handle` points into, under the heaps' lock;
    // false when it points into none.
    bool withHeap(D3D12_CPU_DESCRIPTOR_HANDLE handle, const std::function<void(DescriptorHeap&)>& write);

private:
    std::shared_ptr<AdapterState> adapter_;
    DeviceLife life_;
    std::shared_ptr<gpu::Allocation> baseline_;
    const bool validate_;
    std::mutex heapsMutex_;
    std::vector<DescriptorHeap*> heaps_;
    gpu::Queue queue_;  // declared last: stopped (its pending work dropped) before the rest goes
};

template <class Derived, class Interface>
HRESULT Child<Derived, Interface>::GetDevice(REFIID riid, void** device) {
    if (!device) return E_POINTER;
    return device_->QueryInterface(riid, device);
}

}  // namespace winsim::d3d12
