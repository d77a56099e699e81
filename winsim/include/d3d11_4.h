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
WINSIM_INTERFACE(ID3D11Fence, ID3D11DeviceChild, "affde9d1-1df7-4bb7-8a34-0f46251dab80")

struct ID3D11Device1 : ID3D11Device {};
WINSIM_INTERFACE(ID3D11Device1, ID3D11Device, "a04bfb29-08ef-43d6-a49c-a9bdbdcbe686")
struct ID3D11Device2 : ID3D11Device1 {};
WINSIM_INTERFACE(ID3D11Device2, ID3D11Device1, "9d06dffa-d1e5-4d07-83a8-1bb123f2f841")
struct ID3D11Device3 : ID3D11Device2 {};
WINSIM_INTERFACE(ID3D11Device3, ID3D11Device2, "a05c8c37-d2c6-4732-b3a0-9ce0b0dc9ae6")
struct ID3D11Device4 : ID3D11Device3 {};
WINSIM_INTERFACE(ID3D11Device4, ID3D11Device3, "8992ab71-02e6-4b8d-ba48-b056dcda42c4")
struct ID3D11Device5 : ID3D11Device4 {
    virtual HRESULT STDMETHODCALLTYPE CreateFence(UINT64 initialValue, D3D11_FENCE_FLAG flags, REFIID riid,
                                                  void** fence) = 0;
};
WINSIM_INTERFACE(ID3D11Device5, ID3D11Device4, "8ffde202-a0e7-45df-9e01-e837801b5ea0")

struct ID3D11DeviceContext1 : ID3D11DeviceContext {};
WINSIM_INTERFACE(ID3D11DeviceContext1, ID3D11DeviceContext, "bb2c6faa-b5fb-4082-8e6b-388b8cfa90e1")
struct ID3D11DeviceContext2 : ID3D11DeviceContext1 {};
WINSIM_INTERFACE(ID3D11DeviceContext2, ID3D11DeviceContext1, "420d5b32-b90c-4da4-bef0-359f6a24a83a")
struct ID3D11DeviceContext3 : ID3D11DeviceContext2 {};
WINSIM_INTERFACE(ID3D11DeviceContext3, ID3D11DeviceContext2, "b4e3c01d-e79e-4637-91b2-510e9f4c9b8f")
struct ID3D11DeviceContext4 : ID3D11DeviceContext3 {
    virtual HRESULT STDMETHODCALLTYPE Signal(ID3D11Fence* fence, UINT64 value) = 0;
};
WINSIM_INTERFACE(ID3D11DeviceContext4, ID3D11DeviceContext3, "917600da-f58c-4c33-98d8-3e15b390fa24")

// Thread protection of a device's immediate context (d3d11_4.h): off until turned on.
struct ID3D11Multithread : IUnknown {
    virtual void STDMETHODCALLTYPE Enter() = 0;
    virtual void STDMETHODCALLTYPE Leave() = 0;
    virtual BOOL STDMETHODCALLTYPE SetMultithreadProtected(BOOL protect) = 0;
    virtual BOOL STDMETHODCALLTYPE GetMultithreadProtected() = 0;
};
WINSIM_INTERFACE(ID3D11Multithread, IUnknown, "9b7e4e00-342c-4106-a19f-4f2704f689f0")
