// CreateDirect3D11DeviceFromDXGIDevice and the objects it makes. Closed objects answer
// RO_E_CLOSED, as closed Windows Runtime objects do.
#include "machine/faults.h"
#include "wgc/direct3d.h"

namespace winsim::wgc {

HRESULT Direct3DDevice::Close() {
    ComPtr<d3d11::Device> gone;
    std::lock_guard lock(mutex_);
    gone.Swap(device_);
    return S_OK;
}

// IDirect3DDxgiInterfaceAccess's page: what implements IDirect3DDevice gives the DXGI device it
// wraps (and so any interface of it: ID3D11Device too).
HRESULT Direct3DDevice::GetInterface(REFIID iid, void** p) {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (auto hr = fault("IDirect3DDxgiInterfaceAccess::GetInterface")) return *hr;
    auto wrapped = device();
    return wrapped ? wrapped->QueryInterface(iid, p) : RO_E_CLOSED;
}

ComPtr<d3d11::Device> Direct3DDevice::device() {
    std::lock_guard lock(mutex_);
    return device_;
}

HRESULT Surface::get_Description(ABI::Windows::Graphics::DirectX::Direct3D11::Direct3DSurfaceDescription* value) {
    if (!value) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (!texture_) return RO_E_CLOSED;
    D3D11_TEXTURE2D_DESC desc{};
    texture_->GetDesc(&desc);
    *value = {static_cast<INT32>(desc.Width), static_cast<INT32>(desc.Height),
              static_cast<ABI::Windows::Graphics::DirectX::DirectXPixelFormat>(desc.Format),
              {static_cast<INT32>(desc.SampleDesc.Count), static_cast<INT32>(desc.SampleDesc.Quality)}};
    return S_OK;
}

HRESULT Surface::Close() {
    ComPtr<ID3D11Texture2D> gone;
    std::lock_guard lock(mutex_);
    gone.Swap(texture_);
    return S_OK;
}

HRESULT Surface::GetInterface(REFIID iid, void** p) {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (auto hr = fault("IDirect3DDxgiInterfaceAccess::GetInterface")) return *hr;
    std::lock_guard lock(mutex_);
    return texture_ ? texture_->QueryInterface(iid, p) : RO_E_CLOSED;
}

ComPtr<d3d11::Device> deviceBehind(IDirect3DDevice* device) {
    ComPtr<IDirect3DDxgiInterfaceAccess> access;
    ComPtr<ID3D11Device> d3d;
    if (!device || FAILED(device->QueryInterface(IID_PPV_ARGS(&access)))) return nullptr;
    if (FAILED(access->GetInterface(IID_PPV_ARGS(&d3d)))) return nullptr;
    return ComPtr<d3d11::Device>(d3d11::deviceOf(d3d.Get()));
}

}  // namespace winsim::wgc

HRESULT WINAPI CreateDirect3D11DeviceFromDXGIDevice(IDXGIDevice* dxgiDevice, IInspectable** graphicsDevice) {
    if (!graphicsDevice) return E_POINTER;
    *graphicsDevice = nullptr;
    if (auto hr = winsim::fault("CreateDirect3D11DeviceFromDXGIDevice")) return *hr;
    auto* device = dxgiDevice ? winsim::d3d11::deviceOf(dxgiDevice) : nullptr;
    if (!device) return E_INVALIDARG;
    auto* made = new winsim::wgc::Direct3DDevice(Microsoft::WRL::ComPtr<winsim::d3d11::Device>(device));
    return winsim::com::handOut(made, __uuidof(IInspectable), reinterpret_cast<void**>(graphicsDevice));
}

// Surfaces of DXGI surfaces other than the frame pool's are not modelled.
HRESULT WINAPI CreateDirect3D11SurfaceFromDXGISurface(IDXGISurface*, IInspectable** graphicsSurface) {
    if (graphicsSurface) *graphicsSurface = nullptr;
    winsim::debug::message("CreateDirect3D11SurfaceFromDXGISurface", "not modelled by winsim");
    return E_NOTIMPL;
}
