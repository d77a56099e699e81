// Direct3D 12: the consumer's device and the resources it opens from shared handles.
#pragma once
#include "d3dcommon.h"
#include "dxgicommon.h"
#include "dxgiformat.h"

enum D3D12_RESOURCE_DIMENSION {
    D3D12_RESOURCE_DIMENSION_UNKNOWN = 0,
    D3D12_RESOURCE_DIMENSION_BUFFER = 1,
    D3D12_RESOURCE_DIMENSION_TEXTURE1D = 2,
    D3D12_RESOURCE_DIMENSION_TEXTURE2D = 3,
    D3D12_RESOURCE_DIMENSION_TEXTURE3D = 4
};

enum D3D12_TEXTURE_LAYOUT { D3D12_TEXTURE_LAYOUT_UNKNOWN = 0, D3D12_TEXTURE_LAYOUT_ROW_MAJOR = 1 };

enum D3D12_RESOURCE_FLAGS {
    D3D12_RESOURCE_FLAG_NONE = 0,
    D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET = 0x1,
    D3D12_RESOURCE_FLAG_ALLOW_SIMULTANEOUS_ACCESS = 0x20
};

struct D3D12_RESOURCE_DESC {
    D3D12_RESOURCE_DIMENSION Dimension;
    UINT64 Alignment;
    UINT64 Width;
    UINT Height;
    UINT16 DepthOrArraySize;
    UINT16 MipLevels;
    DXGI_FORMAT Format;
    DXGI_SAMPLE_DESC SampleDesc;
    D3D12_TEXTURE_LAYOUT Layout;
    D3D12_RESOURCE_FLAGS Flags;
};

struct ID3D12Object : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* dataSize, void* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT dataSize, const void* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetName(LPCWSTR name) = 0;
};
WINSIM_INTERFACE(ID3D12Object, IUnknown, "c4fec28f-7966-4e95-9f94-f431cb56c3b8")

struct ID3D12DeviceChild : ID3D12Object {
    virtual HRESULT STDMETHODCALLTYPE GetDevice(REFIID riid, void** device) = 0;
};
WINSIM_INTERFACE(ID3D12DeviceChild, ID3D12Object, "905db94b-a00c-4140-9df5-2b64ca9ea357")

struct ID3D12Pageable : ID3D12DeviceChild {};
WINSIM_INTERFACE(ID3D12Pageable, ID3D12DeviceChild, "63ee58fb-1268-4835-86da-f008ce62f0d6")

struct ID3D12Resource : ID3D12Pageable {
    virtual D3D12_RESOURCE_DESC STDMETHODCALLTYPE GetDesc() = 0;
};
WINSIM_INTERFACE(ID3D12Resource, ID3D12Pageable, "696442be-a72e-4059-bc79-5b5c98040fad")

struct ID3D12Device : ID3D12Object {
    virtual UINT STDMETHODCALLTYPE GetNodeCount() = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenSharedHandle(HANDLE handle, REFIID riid, void** object) = 0;
    virtual LUID STDMETHODCALLTYPE GetAdapterLuid() = 0;
};
WINSIM_INTERFACE(ID3D12Device, ID3D12Object, "189819f1-1db6-4b57-be54-1821339b85f7")

HRESULT WINAPI D3D12CreateDevice(IUnknown* adapter, D3D_FEATURE_LEVEL minimumFeatureLevel, REFIID riid,
                                 void** device);
