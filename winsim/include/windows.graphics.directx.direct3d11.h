// Windows.Graphics.DirectX.Direct3D11: the Windows Runtime's Direct3D device and surface.
#pragma once
#include "windows.graphics.directx.h"

namespace ABI::Windows::Graphics::DirectX::Direct3D11 {

struct Direct3DMultisampleDescription {
    INT32 Count;
    INT32 Quality;
};
struct Direct3DSurfaceDescription {
    INT32 Width;
    INT32 Height;
    DirectXPixelFormat Format;
    Direct3DMultisampleDescription MultisampleDescription;
};

struct IDirect3DDevice : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE Trim() = 0;
};
struct IDirect3DSurface : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Description(Direct3DSurfaceDescription* value) = 0;
};

}  // namespace ABI::Windows::Graphics::DirectX::Direct3D11

WINSIM_INTERFACE_NAMED(ABI::Windows::Graphics::DirectX::Direct3D11::IDirect3DDevice, IInspectable,
                       "a37624ab-8d5f-4650-9d3e-9eae3d9bc670",
                       IID___x_ABI_CWindows_CGraphics_CDirectX_CDirect3D11_CIDirect3DDevice)
WINSIM_INTERFACE_NAMED(ABI::Windows::Graphics::DirectX::Direct3D11::IDirect3DSurface, IInspectable,
                       "0bf4a146-13c1-4694-bee3-7abf15eaf586",
                       IID___x_ABI_CWindows_CGraphics_CDirectX_CDirect3D11_CIDirect3DSurface)
