// Interop between the Windows Runtime's Direct3D device and surface and DXGI: the wrapping
// functions (d3d11.dll) and the interface that unwraps them, in the namespace the documentation
// gives it (Windows::Graphics::DirectX::Direct3D11, outside ABI).
#pragma once
#include "dxgi.h"
#include "inspectable.h"

extern "C" {
HRESULT WINAPI CreateDirect3D11DeviceFromDXGIDevice(IDXGIDevice* dxgiDevice, IInspectable** graphicsDevice);
HRESULT WINAPI CreateDirect3D11SurfaceFromDXGISurface(IDXGISurface* dxgiSurface, IInspectable** graphicsSurface);
}

namespace Windows::Graphics::DirectX::Direct3D11 {
struct IDirect3DDxgiInterfaceAccess : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetInterface(REFIID iid, void** p) = 0;
};
}  // namespace Windows::Graphics::DirectX::Direct3D11

WINSIM_INTERFACE_NAMED(::Windows::Graphics::DirectX::Direct3D11::IDirect3DDxgiInterfaceAccess, IUnknown,
                       "a9b3d012-3df2-4ee3-b8d1-8695f457d3c1", IID_IDirect3DDxgiInterfaceAccess)
