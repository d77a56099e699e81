// Direct3D 11 resources and their views.
#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <d3d11_4.h>
#include <dxgi1_2.h>

#include "d3d11/device.h"
#include "formats/dxgi_format.h"

namespace winsim::d3d11 {

// A texture; also the IDXGIResource1 through which it is shared.
class Texture final : public com::Object<Texture, ID3D11Texture2D, IDXGIResource1> {
public:
    static constexpr const char* kKind = "ID3D11Texture2D";
    Texture(ComPtr<Device> device, std::shared_ptr<gpu::Image> image, const D3D11_TEXTURE2D_DESC& desc)
        : device_(std::move(device)), image_(std::move(image)), desc_(desc) {}

    void STDMETHODCALLTYPE GetDevice(ID3D11Device** device) override { handOutDevice(device_, device); }
    void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* dimension) override {
        *dimension = D3D11_RESOURCE_DIMENSION_TEXTURE2D;
    }
    void STDMETHODCALLTYPE GetDesc(D3D11_TEXTURE2D_DESC* desc) override { *desc = desc_; }
    HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** parent) override { return device_->QueryInterface(riid, parent); }
    HRESULT STDMETHODCALLTYPE GetDevice(REFIID riid, void** device) override { return device_->QueryInterface(riid, device); }
    HRESULT STDMETHODCALLTYPE GetSharedHandle(HANDLE* handle) override;
    HRESULT STDMETHODCALLTYPE CreateSharedHandle(const SECURITY_ATTRIBUTES* attributes, DWORD access, LPCWSTR name,
                                                 HANDLE* handle) override;

    Device* device() const { return device_.Get(); }
    const std::shared_ptr<gpu::Image>& image() const { return image_; }
    const D3D11_TEXTURE2D_DESC& desc() const { return desc_; }
    // Claims the resource's one NT handle; false when it was claimed before.
    bool claimSharedHandle() { return !sharedHandleMade_.exchange(true); }
    // Marks a staging texture's mip mapped or unmapped; false when it already was.
    bool setMapped(UINT mip, bool mapped) {
        if (mapped_.size() <= mip) mapped_.resize(desc_.MipLevels, false);
        if (mapped_[mip] == mapped) return false;
        mapped_[mip] = mapped;
        return true;
    }

private:
    ComPtr<Device> device_;
    std::shared_ptr<gpu::Image> image_;
    const D3D11_TEXTURE2D_DESC desc_;
    std::vector<bool> mapped_;  // by mip, for the immediate context only
    std::atomic<bool> sharedHandleMade_{false};  // a resource has one NT handle (CreateSharedHandle)
};

class Buffer final : public com::Object<Buffer, ID3D11Buffer> {
public:
    static constexpr const char* kKind = "ID3D11Buffer";
    Buffer(ComPtr<Device> device, std::shared_ptr<BufferData> data) : device_(std::move(device)), data_(std::move(data)) {}

    void STDMETHODCALLTYPE GetDevice(ID3D11Device** device) override { handOutDevice(device_, device); }
    void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* dimension) override {
        *dimension = D3D11_RESOURCE_DIMENSION_BUFFER;
    }
    void STDMETHODCALLTYPE GetDesc(D3D11_BUFFER_DESC* desc) override { *desc = data_->desc; }

    Device* device() const { return device_.Get(); }
    const std::shared_ptr<BufferData>& data() const { return data_; }

private:
    ComPtr<Device> device_;
    std::shared_ptr<BufferData> data_;
};

// A view keeps its texture alive, as the runtime's views do.
template <class Derived, class Interface, class Desc>
class View : public com::Object<Derived, Interface> {
public:
    View(ComPtr<Texture> texture, const Desc& desc) : texture_(std::move(texture)), desc_(desc) {}

    void STDMETHODCALLTYPE GetDevice(ID3D11Device** device) override { texture_->GetDevice(device); }
    void STDMETHODCALLTYPE GetResource(ID3D11Resource** resource) override {
        *resource = static_cast<ID3D11Texture2D*>(texture_.Get());
        (*resource)->AddRef();
    }
    void STDMETHODCALLTYPE GetDesc(Desc* desc) override { *desc = desc_; }

    Texture* texture() const { return texture_.Get(); }
    const Desc& desc() const { return desc_; }

private:
    ComPtr<Texture> texture_;
    const Desc desc_;
};

class RenderTargetView final : public View<RenderTargetView, ID3D11RenderTargetView, D3D11_RENDER_TARGET_VIEW_DESC> {
public:
    static constexpr const char* kKind = "ID3D11RenderTargetView";
    using View::View;
};

class ShaderResourceView final
    : public View<ShaderResourceView, ID3D11ShaderResourceView, D3D11_SHADER_RESOURCE_VIEW_DESC> {
public:
    static constexpr const char* kKind = "ID3D11ShaderResourceView";
    using View::View;
};

// The winsim objects behind interface pointers a caller passes in; null for foreign objects.
Texture* textureOf(ID3D11Resource* resource);
// For debug messages: " on 'name'" for a texture with a debug name, else empty.
std::string nameSuffix(Texture* texture);
// For a copy's debug messages: the debug names of its textures, if they have any.
std::string copyNames(Texture* to, Texture* from);
Buffer* bufferOf(ID3D11Resource* resource);
RenderTargetView* viewOf(ID3D11RenderTargetView* view);
ShaderResourceView* viewOf(ID3D11ShaderResourceView* view);

}  // namespace winsim::d3d11
