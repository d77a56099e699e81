// A Direct3D 12 resource: a committed buffer or texture, or a texture opened from a shared handle
// (the same image as the Direct3D 11 texture it was shared from, so its allocation is charged
// once and freed with its last holder). A buffer's bytes are an image one row high.
#pragma once
#include <atomic>
#include <memory>

#include <d3d12.h>

#include "d3d12/object.h"
#include "d3d12/states.h"
#include "gpu/texture.h"

namespace winsim::d3d12 {

class Resource final : public Child<Resource, ID3D12Resource> {
public:
    static constexpr const char* kKind = "ID3D12Resource";
    Resource(Microsoft::WRL::ComPtr<Device> device, std::shared_ptr<gpu::Image> image, const D3D12_RESOURCE_DESC& desc,
             D3D12_HEAP_TYPE heap, D3D12_RESOURCE_STATES initial);

    HRESULT STDMETHODCALLTYPE Map(UINT subresource, const D3D12_RANGE* readRange, void** data) override;
    void STDMETHODCALLTYPE Unmap(UINT subresource, const D3D12_RANGE* writtenRange) override;
    D3D12_RESOURCE_DESC STDMETHODCALLTYPE GetDesc() override { return desc_; }
    HRESULT STDMETHODCALLTYPE GetHeapProperties(D3D12_HEAP_PROPERTIES* properties, D3D12_HEAP_FLAGS* flags) override;

    const std::shared_ptr<gpu::Image>& image() const { return image_; }
    const D3D12_RESOURCE_DESC& desc() const { return desc_; }
    bool isBuffer() const { return desc_.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER; }
    UINT subresources() const { return isBuffer() ? 1 : desc_.MipLevels; }
    const std::shared_ptr<ResourceStates>& states() const { return states_; }

private:
    std::shared_ptr<gpu::Image> image_;
    const D3D12_RESOURCE_DESC desc_;
    const D3D12_HEAP_TYPE heap_;
    std::shared_ptr<ResourceStates> states_;
    std::atomic<int> maps_{0};
};

// The winsim resource behind an interface, or null.
Resource* resourceOf(ID3D12Resource* resource);

}  // namespace winsim::d3d12
