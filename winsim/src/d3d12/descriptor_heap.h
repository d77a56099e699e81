// A descriptor heap: slots of a fixed size that views are written into. winsim keeps, per slot,
// what the view describes; nothing draws through them.
#pragma once
#include <vector>

#include "d3d12/object.h"

namespace winsim::d3d12 {

// Bytes between two descriptors of a heap, of every type.
constexpr UINT kDescriptorBytes = 32;

class DescriptorHeap final : public Child<DescriptorHeap, ID3D12DescriptorHeap> {
public:
    static constexpr const char* kKind = "ID3D12DescriptorHeap";
    DescriptorHeap(Microsoft::WRL::ComPtr<Device> device, const D3D12_DESCRIPTOR_HEAP_DESC& desc);
    ~DescriptorHeap() override;

    D3D12_DESCRIPTOR_HEAP_DESC STDMETHODCALLTYPE GetDesc() override { return desc_; }
    D3D12_CPU_DESCRIPTOR_HANDLE STDMETHODCALLTYPE GetCPUDescriptorHandleForHeapStart() override;
    D3D12_GPU_DESCRIPTOR_HANDLE STDMETHODCALLTYPE GetGPUDescriptorHandleForHeapStart() override;

    // Whether `handle` points at one of its slots.
    bool holds(D3D12_CPU_DESCRIPTOR_HANDLE handle) const;
    // Writes a shader-resource view into the slot `handle` points at.
    void writeView(D3D12_CPU_DESCRIPTOR_HANDLE handle, const D3D12_SHADER_RESOURCE_VIEW_DESC& view);

private:
    const D3D12_DESCRIPTOR_HEAP_DESC desc_;
    std::vector<unsigned char> slots_;  // the memory handles point into
    std::vector<D3D12_SHADER_RESOURCE_VIEW_DESC> views_;
};

}  // namespace winsim::d3d12
