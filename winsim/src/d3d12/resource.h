// A Direct3D 12 resource opened from a shared handle: the same image as the Direct3D 11 texture
// it was shared from, so the allocation is charged once and freed with its last holder.
#pragma once
#include <memory>

#include <d3d12.h>
#include <wrl/client.h>

#include "com/object.h"
#include "d3d12/device.h"
#include "gpu/texture.h"

namespace winsim::d3d12 {

class Resource final : public com::Object<Resource, ID3D12Resource> {
public:
    static constexpr const char* kKind = "ID3D12Resource";
    Resource(Microsoft::WRL::ComPtr<Device> device, std::shared_ptr<gpu::Image> image, const D3D12_RESOURCE_DESC& desc)
        : device_(std::move(device)), image_(std::move(image)), desc_(desc) {}

    HRESULT STDMETHODCALLTYPE SetName(LPCWSTR name) override { return privateData().setName(name); }
    HRESULT STDMETHODCALLTYPE GetDevice(REFIID riid, void** device) override { return device_->QueryInterface(riid, device); }
    D3D12_RESOURCE_DESC STDMETHODCALLTYPE GetDesc() override { return desc_; }

    const std::shared_ptr<gpu::Image>& image() const { return image_; }

private:
    Microsoft::WRL::ComPtr<Device> device_;
    std::shared_ptr<gpu::Image> image_;
    const D3D12_RESOURCE_DESC desc_;
};

}  // namespace winsim::d3d12
