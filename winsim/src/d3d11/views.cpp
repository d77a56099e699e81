// Render-target views (mip 0 of a texture) and shader-resource views (a range of mips).
#include "d3d11/resources.h"
#include "machine/faults.h"

namespace winsim::d3d11 {
namespace {

// The texture a view is made on: one of this device's, with the binding the view needs.
Texture* viewedTexture(Device* device, ID3D11Resource* resource, UINT bind, const char* call, HRESULT& hr) {
    Texture* texture = textureOf(resource);
    if (!texture) hr = invalid(call, "not a texture (buffer views are not modelled)");
    else if (texture->device() != device) hr = invalid(call, "texture of another device");
    else if (!(texture->desc().BindFlags & bind)) hr = invalid(call, "texture lacks the binding" + nameSuffix(texture));
    else return texture;
    return nullptr;
}

bool formatFits(DXGI_FORMAT view, DXGI_FORMAT texture) { return view == DXGI_FORMAT_UNKNOWN || view == texture; }

}  // namespace

HRESULT Device::CreateRenderTargetView(ID3D11Resource* resource, const D3D11_RENDER_TARGET_VIEW_DESC* desc,
                                       ID3D11RenderTargetView** view) {
    constexpr const char* kCall = "ID3D11Device::CreateRenderTargetView";
    if (view) *view = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    HRESULT hr = S_OK;
    Texture* texture = viewedTexture(this, resource, D3D11_BIND_RENDER_TARGET, kCall, hr);
    if (!texture) return hr;
    D3D11_RENDER_TARGET_VIEW_DESC actual{};
    actual.Format = texture->desc().Format;
    actual.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2D;
    if (desc) {
        if (desc->ViewDimension != D3D11_RTV_DIMENSION_TEXTURE2D || !formatFits(desc->Format, actual.Format))
            return invalid(kCall, "view description does not fit the texture");
        if (desc->Texture2D.MipSlice != 0) return invalid(kCall, "render targets are modelled at mip 0 only");
    }
    if (!view) return S_FALSE;
    *view = new RenderTargetView(ComPtr<Texture>(texture), actual);
    return S_OK;
}

HRESULT Device::CreateShaderResourceView(ID3D11Resource* resource, const D3D11_SHADER_RESOURCE_VIEW_DESC* desc,
                                         ID3D11ShaderResourceView** view) {
    constexpr const char* kCall = "ID3D11Device::CreateShaderResourceView";
    if (view) *view = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    HRESULT hr = S_OK;
    Texture* texture = viewedTexture(this, resource, D3D11_BIND_SHADER_RESOURCE, kCall, hr);
    if (!texture) return hr;
    const UINT mips = texture->desc().MipLevels;
    D3D11_SHADER_RESOURCE_VIEW_DESC actual{};
    actual.Format = texture->desc().Format;
    actual.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
    actual.Texture2D = {0, mips};
    if (desc) {
        const UINT first = desc->Texture2D.MostDetailedMip;
        const UINT count = desc->Texture2D.MipLevels == UINT(-1) ? mips - std::min(first, mips) : desc->Texture2D.MipLevels;
        if (desc->ViewDimension != D3D11_SRV_DIMENSION_TEXTURE2D || !formatFits(desc->Format, actual.Format) ||
            first >= mips || count == 0 || count > mips - first)
            return invalid(kCall, "view description does not fit the texture");
        actual.Texture2D = {first, count};
    }
    if (!view) return S_FALSE;
    *view = new ShaderResourceView(ComPtr<Texture>(texture), actual);
    return S_OK;
}

}  // namespace winsim::d3d11
