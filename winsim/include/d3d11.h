// Direct3D 11: the private device of a capture source and the objects it creates.
#pragma once
#include "d3dcommon.h"
#include "dxgi.h"

#define D3D11_SDK_VERSION 7
#define D3D11_CREATE_DEVICE_BGRA_SUPPORT 0x20u

struct ID3D11Device;

struct ID3D11DeviceChild : IUnknown {
    virtual void STDMETHODCALLTYPE GetDevice(ID3D11Device** device) = 0;
};
WINSIM_INTERFACE(ID3D11DeviceChild, IUnknown)

struct ID3D11Resource : ID3D11DeviceChild {};
WINSIM_INTERFACE(ID3D11Resource, ID3D11DeviceChild)

struct ID3D11Buffer : ID3D11Resource {};
WINSIM_INTERFACE(ID3D11Buffer, ID3D11Resource)

struct ID3D11Texture2D : ID3D11Resource {};
WINSIM_INTERFACE(ID3D11Texture2D, ID3D11Resource)

struct ID3D11View : ID3D11DeviceChild {};
WINSIM_INTERFACE(ID3D11View, ID3D11DeviceChild)

struct ID3D11RenderTargetView : ID3D11View {};
WINSIM_INTERFACE(ID3D11RenderTargetView, ID3D11View)

struct ID3D11ShaderResourceView : ID3D11View {};
WINSIM_INTERFACE(ID3D11ShaderResourceView, ID3D11View)

struct ID3D11VertexShader : ID3D11DeviceChild {};
WINSIM_INTERFACE(ID3D11VertexShader, ID3D11DeviceChild)

struct ID3D11PixelShader : ID3D11DeviceChild {};
WINSIM_INTERFACE(ID3D11PixelShader, ID3D11DeviceChild)

struct ID3D11BlendState : ID3D11DeviceChild {};
WINSIM_INTERFACE(ID3D11BlendState, ID3D11DeviceChild)

struct ID3D11SamplerState : ID3D11DeviceChild {};
WINSIM_INTERFACE(ID3D11SamplerState, ID3D11DeviceChild)

struct ID3D11DeviceContext : ID3D11DeviceChild {};
WINSIM_INTERFACE(ID3D11DeviceContext, ID3D11DeviceChild)

struct ID3D11Device : IUnknown {};
WINSIM_INTERFACE(ID3D11Device, IUnknown)
