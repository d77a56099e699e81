// Committed resources: each has an allocation of its own, charged to the adapter's local ledger
// in the default heap and to its non-local one (system memory) in upload and read-back heaps.
#include "d3d12/device.h"
#include "d3d12/footprints.h"
#include "d3d12/resource.h"
#include "formats/dxgi_format.h"
#include "machine/faults.h"

namespace winsim::d3d12 {
namespace {
constexpr const char* kCreate = "ID3D12Device::CreateCommittedResource";

HRESULT checkHeap(const D3D12_HEAP_PROPERTIES& heap, D3D12_HEAP_FLAGS flags) {
    if (heap.Type == D3D12_HEAP_TYPE_CUSTOM) return notModelled(kCreate, "a custom heap");
    if (heap.Type < D3D12_HEAP_TYPE_DEFAULT || heap.Type > D3D12_HEAP_TYPE_READBACK) return refuse(kCreate, "unknown heap type");
    if (heap.CPUPageProperty != D3D12_CPU_PAGE_PROPERTY_UNKNOWN || heap.MemoryPoolPreference != D3D12_MEMORY_POOL_UNKNOWN)
        return refuse(kCreate, "page property and memory pool are for custom heaps");
    if (heap.CreationNodeMask > 1 || heap.VisibleNodeMask > 1) return refuse(kCreate, "the adapter has one node");
    if (flags & (D3D12_HEAP_FLAG_SHARED | D3D12_HEAP_FLAG_SHARED_CROSS_ADAPTER | D3D12_HEAP_FLAG_ALLOW_DISPLAY))
        return notModelled(kCreate, "a shared or display heap");
    return S_OK;
}

// What the heap allows of the resource and its initial state.
HRESULT checkPlacement(D3D12_HEAP_TYPE heap, const D3D12_RESOURCE_DESC& desc, D3D12_RESOURCE_STATES state,
                       const D3D12_CLEAR_VALUE* clear) {
    const bool buffer = desc.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER;
    if (buffer && clear) return refuse(kCreate, "a buffer has no optimized clear value");
    if (heap == D3D12_HEAP_TYPE_DEFAULT) return S_OK;
    if (!buffer) return refuse(kCreate, "textures live in the default heap");
    if (heap == D3D12_HEAP_TYPE_UPLOAD && state != D3D12_RESOURCE_STATE_GENERIC_READ)
        return refuse(kCreate, "an upload heap's resources start in GENERIC_READ");
    if (heap == D3D12_HEAP_TYPE_READBACK && state != D3D12_RESOURCE_STATE_COPY_DEST)
        return refuse(kCreate, "a read-back heap's resources start in COPY_DEST");
    return S_OK;
}

std::shared_ptr<gpu::Image> allocate(const AdapterState& adapter, D3D12_HEAP_TYPE heap, const D3D12_RESOURCE_DESC& desc) {
    auto& ledger = heap == D3D12_HEAP_TYPE_DEFAULT ? adapter.ledger : adapter.nonLocalLedger;
    auto allocation = gpu::Allocation::make(ledger, committedBytes(desc));
    if (!allocation) return nullptr;
    gpu::TextureDesc layout;
    if (desc.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER) {
        layout = {gpu::Format::R8Unorm, static_cast<uint32_t>(desc.Width), 1, 1};
    } else {
        layout = {gpuFormat(desc.Format), static_cast<uint32_t>(desc.Width), desc.Height, desc.MipLevels};
    }
    return gpu::makeImage(layout, std::move(allocation));
}

}  // namespace

HRESULT Device::CreateCommittedResource(const D3D12_HEAP_PROPERTIES* heap, D3D12_HEAP_FLAGS heapFlags,
                                        const D3D12_RESOURCE_DESC* desc, D3D12_RESOURCE_STATES initialState,
                                        const D3D12_CLEAR_VALUE* clearValue, REFIID riid, void** resource) {
    if (resource) *resource = nullptr;
    if (auto hr = fault(kCreate)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    if (!heap || !desc) return refuse(kCreate, "no heap properties or description", E_POINTER);
    D3D12_RESOURCE_DESC checked = *desc;
    if (auto hr = checkHeap(*heap, heapFlags); FAILED(hr)) return hr;
    if (auto hr = checkDesc(kCreate, checked); FAILED(hr)) return hr;
    if (auto hr = checkPlacement(heap->Type, checked, initialState, clearValue); FAILED(hr)) return hr;
    if (!resource) return S_FALSE;
    auto image = allocate(*adapter_, heap->Type, checked);
    if (!image) return E_OUTOFMEMORY;
    auto* made = new Resource(Microsoft::WRL::ComPtr<Device>(this), std::move(image), checked, heap->Type, initialState);
    return com::handOut(made, riid, resource);
}

D3D12_RESOURCE_ALLOCATION_INFO Device::GetResourceAllocationInfo(UINT, UINT count, const D3D12_RESOURCE_DESC* descs) {
    constexpr const char* kCall = "ID3D12Device::GetResourceAllocationInfo";
    D3D12_RESOURCE_ALLOCATION_INFO info{0, D3D12_DEFAULT_RESOURCE_PLACEMENT_ALIGNMENT};
    for (UINT i = 0; i < count; ++i) {
        D3D12_RESOURCE_DESC checked = descs[i];
        if (FAILED(checkDesc(kCall, checked))) return {~0ull, D3D12_DEFAULT_RESOURCE_PLACEMENT_ALIGNMENT};
        info.SizeInBytes = alignUp(info.SizeInBytes, info.Alignment) + committedBytes(checked);
    }
    return info;
}

}  // namespace winsim::d3d12
