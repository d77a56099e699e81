#include "d3d12/descriptor_heap.h"

#include "d3d12/device.h"
#include "machine/faults.h"

namespace winsim::d3d12 {

DescriptorHeap::DescriptorHeap(Microsoft::WRL::ComPtr<Device> device, const D3D12_DESCRIPTOR_HEAP_DESC& desc)
    : Child(std::move(device)), desc_(desc), slots_(size_t(desc.NumDescriptors) * kDescriptorBytes),
      views_(desc.NumDescriptors) {
    this->device()->addHeap(this);
}

DescriptorHeap::~DescriptorHeap() { device()->removeHeap(this); }

D3D12_CPU_DESCRIPTOR_HANDLE DescriptorHeap::GetCPUDescriptorHandleForHeapStart() {
    return {reinterpret_cast<SIZE_T>(slots_.data())};
}

D3D12_GPU_DESCRIPTOR_HANDLE DescriptorHeap::GetGPUDescriptorHandleForHeapStart() {
    // Only shader-visible heaps have GPU handles.
    if (!(desc_.Flags & D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE)) return {0};
    return {reinterpret_cast<UINT64>(slots_.data())};
}

bool DescriptorHeap::holds(D3D12_CPU_DESCRIPTOR_HANDLE handle) const {
    const SIZE_T start = reinterpret_cast<SIZE_T>(slots_.data());
    return handle.ptr >= start && handle.ptr < start + slots_.size() && (handle.ptr - start) % kDescriptorBytes == 0;
}

void DescriptorHeap::writeView(D3D12_CPU_DESCRIPTOR_HANDLE handle, const D3D12_SHADER_RESOURCE_VIEW_DESC& view) {
    views_[(handle.ptr - reinterpret_cast<SIZE_T>(slots_.data())) / kDescriptorBytes] = view;
}

HRESULT Device::CreateDescriptorHeap(const D3D12_DESCRIPTOR_HEAP_DESC* desc, REFIID riid, void** heap) {
    constexpr const char* kCall = "ID3D12Device::CreateDescriptorHeap";
    if (heap) *heap = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    if (!desc) return refuse(kCall, "no description", E_POINTER);
    if (desc->Type < D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV || desc->Type >= D3D12_DESCRIPTOR_HEAP_TYPE_NUM_TYPES)
        return refuse(kCall, "unknown heap type");
    if (desc->NumDescriptors == 0 || desc->NumDescriptors > 1000000) return refuse(kCall, "1 to 1000000 descriptors");
    const bool visible = desc->Flags & D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE;
    if (visible && desc->Type >= D3D12_DESCRIPTOR_HEAP_TYPE_RTV)
        return refuse(kCall, "render-target and depth-stencil heaps are not shader visible");
    if (desc->NodeMask > 1) return refuse(kCall, "the adapter has one node");
    if (!heap) return refuse(kCall, "no heap pointer", E_POINTER);
    return com::handOut(new DescriptorHeap(Microsoft::WRL::ComPtr<Device>(this), *desc), riid, heap);
}

UINT Device::GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE) { return kDescriptorBytes; }

}  // namespace winsim::d3d12
