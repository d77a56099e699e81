// Direct3D 11.1 to 11.4: the interfaces that carry fences.
#pragma once
#include "d3d11.h"
#include "dxgi1_5.h"

enum D3D11_FENCE_FLAG {
    D3D11_FENCE_FLAG_NONE = 0,
    D3D11_FENCE_FLAG_SHARED = 0x2,
    D3D11_FENCE_FLAG_SHARED_CROSS_ADAPTER = 0x4,
    D3D11_FENCE_FLAG_NON_MONITORED = 0x8
};

struct ID3D11Fence : ID3D11DeviceChild {
    virtual UINT64 STDMETHODCALLTYPE GetCompletedValue() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEventOnCompletion(UINT64 value, HANDLE event) = 0;
};
WINSIM_INTERFACE(ID3D11Fence, ID3D11DeviceChild)

struct ID3D11Device1 : ID3D11Device {};
WINSIM_INTERFACE(ID3D11Device1, ID3D11Device)
struct ID3D11Device2 : ID3D11Device1 {};
WINSIM_INTERFACE(ID3D11Device2, ID3D11Device1)
struct ID3D11Device3 : ID3D11Device2 {};
WINSIM_INTERFACE(ID3D11Device3, ID3D11Device2)
struct ID3D11Device4 : ID3D11Device3 {};
WINSIM_INTERFACE(ID3D11Device4, ID3D11Device3)
struct ID3D11Device5 : ID3D11Device4 {
    virtual HRESULT STDMETHODCALLTYPE CreateFence(UINT64 initialValue, D3D11_FENCE_FLAG flags, REFIID riid,
                                                  void** fence) = 0;
};
WINSIM_INTERFACE(ID3D11Device5, ID3D11Device4)

struct ID3D11DeviceContext1 : ID3D11DeviceContext {};
WINSIM_INTERFACE(ID3D11DeviceContext1, ID3D11DeviceContext)
struct ID3D11DeviceContext2 : ID3D11DeviceContext1 {};
WINSIM_INTERFACE(ID3D11DeviceContext2, ID3D11DeviceContext1)
struct ID3D11DeviceContext3 : ID3D11DeviceContext2 {};
WINSIM_INTERFACE(ID3D11DeviceContext3, ID3D11DeviceContext2)
struct ID3D11DeviceContext4 : ID3D11DeviceContext3 {
    virtual HRESULT STDMETHODCALLTYPE Signal(ID3D11Fence* fence, UINT64 value) = 0;
};
WINSIM_INTERFACE(ID3D11DeviceContext4, ID3D11DeviceContext3)
