// The Windows Runtime's Direct3D device and surface around a Direct3D 11 device and texture
// (windows.graphics.directx.direct3d11.interop.h): IDirect3DDxgiInterfaceAccess gives them back.
#pragma once
#include <mutex>

#include <d3d11_4.h>
#include <windows.graphics.directx.direct3d11.h>
#include <windows.graphics.directx.direct3d11.interop.h>
#include <wrl/client.h>

#include "com/object.h"
#include "d3d11/device.h"

namespace winsim::wgc {

using Microsoft::WRL::ComPtr;
using ABI::Windows::Foundation::IClosable;
using ABI::Windows::Graphics::DirectX::Direct3D11::IDirect3DDevice;
using ABI::Windows::Graphics::DirectX::Direct3D11::IDirect3DSurface;
using ::Windows::Graphics::DirectX::Direct3D11::IDirect3DDxgiInterfaceAccess;

class Direct3DDevice final
    : public com::Object<Direct3DDevice, IDirect3DDevice, IClosable, IDirect3DDxgiInterfaceAccess> {
public:
    static constexpr const char* kKind = "IDirect3DDevice";
    explicit Direct3DDevice(ComPtr<d3d11::Device> device) : device_(std::move(device)) {}

    HRESULT STDMETHODCALLTYPE Trim() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE GetInterface(REFIID iid, void** p) override;
    // The Direct3D 11 device, or null once closed.
    ComPtr<d3d11::Device> device();

private:
    std::mutex mutex_;
    ComPtr<d3d11::Device> device_;
};

class Surface final : public com::Object<Surface, IDirect3DSurface, IClosable, IDirect3DDxgiInterfaceAccess> {
public:
    static constexpr const char* kKind = "IDirect3DSurface";
    explicit Surface(ComPtr<ID3D11Texture2D> texture) : texture_(std::move(texture)) {}

    HRESULT STDMETHODCALLTYPE get_Description(
        ABI::Windows::Graphics::DirectX::Direct3D11::Direct3DSurfaceDescription* value) override;
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE GetInterface(REFIID iid, void** p) override;

private:
    std::mutex mutex_;
    ComPtr<ID3D11Texture2D> texture_;
};

// The winsim device behind a Windows Runtime device of winsim's, or null.
ComPtr<d3d11::Device> deviceBehind(IDirect3DDevice* device);

}  // namespace winsim::wgc
