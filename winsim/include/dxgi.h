// DXGI 1.1: factories, adapters, outputs, resources.
#pragma once
#include "dxgicommon.h"
#include "dxgiformat.h"
#include "windows.h"

enum DXGI_MODE_ROTATION {
    DXGI_MODE_ROTATION_UNSPECIFIED = 0,
    DXGI_MODE_ROTATION_IDENTITY = 1,
    DXGI_MODE_ROTATION_ROTATE90 = 2,
    DXGI_MODE_ROTATION_ROTATE180 = 3,
    DXGI_MODE_ROTATION_ROTATE270 = 4
};

enum DXGI_MODE_SCANLINE_ORDER { DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED = 0, DXGI_MODE_SCANLINE_ORDER_PROGRESSIVE = 1 };
enum DXGI_MODE_SCALING { DXGI_MODE_SCALING_UNSPECIFIED = 0, DXGI_MODE_SCALING_CENTERED = 1, DXGI_MODE_SCALING_STRETCHED = 2 };

struct DXGI_MODE_DESC {
    UINT Width;
    UINT Height;
    DXGI_RATIONAL RefreshRate;
    DXGI_FORMAT Format;
    DXGI_MODE_SCANLINE_ORDER ScanlineOrdering;
    DXGI_MODE_SCALING Scaling;
};

struct DXGI_ADAPTER_DESC {
    WCHAR Description[128];
    UINT VendorId;
    UINT DeviceId;
    UINT SubSysId;
    UINT Revision;
    SIZE_T DedicatedVideoMemory;
    SIZE_T DedicatedSystemMemory;
    SIZE_T SharedSystemMemory;
    LUID AdapterLuid;
};

enum DXGI_ADAPTER_FLAG { DXGI_ADAPTER_FLAG_NONE = 0, DXGI_ADAPTER_FLAG_REMOTE = 1, DXGI_ADAPTER_FLAG_SOFTWARE = 2 };

struct DXGI_ADAPTER_DESC1 {
    WCHAR Description[128];
    UINT VendorId;
    UINT DeviceId;
    UINT SubSysId;
    UINT Revision;
    SIZE_T DedicatedVideoMemory;
    SIZE_T DedicatedSystemMemory;
    SIZE_T SharedSystemMemory;
    LUID AdapterLuid;
    UINT Flags;
};

struct DXGI_OUTPUT_DESC {
    WCHAR DeviceName[32];
    RECT DesktopCoordinates;
    BOOL AttachedToDesktop;
    DXGI_MODE_ROTATION Rotation;
    HMONITOR Monitor;
};

#define DXGI_SHARED_RESOURCE_READ 0x80000000u
#define DXGI_SHARED_RESOURCE_WRITE 1u

struct IDXGIObject : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* dataSize, void* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT dataSize, const void* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** parent) = 0;
};
WINSIM_INTERFACE(IDXGIObject, IUnknown, "aec22fb8-76f3-4639-9be0-28eb43a67a2e")

struct IDXGIDeviceSubObject : IDXGIObject {
    virtual HRESULT STDMETHODCALLTYPE GetDevice(REFIID riid, void** device) = 0;
};
WINSIM_INTERFACE(IDXGIDeviceSubObject, IDXGIObject, "3d3e0379-f9de-4d58-bb6c-18d62992f1a6")

struct IDXGIResource : IDXGIDeviceSubObject {
    virtual HRESULT STDMETHODCALLTYPE GetSharedHandle(HANDLE* sharedHandle) = 0;
};
WINSIM_INTERFACE(IDXGIResource, IDXGIDeviceSubObject, "035f3ab4-482e-4e50-b41f-8a7f8bd8960b")

struct IDXGIOutput : IDXGIObject {
    virtual HRESULT STDMETHODCALLTYPE GetDesc(DXGI_OUTPUT_DESC* desc) = 0;
};
WINSIM_INTERFACE(IDXGIOutput, IDXGIObject, "ae02eedb-c735-4690-8d52-5a8dc20213aa")

struct IDXGIAdapter : IDXGIObject {
    virtual HRESULT STDMETHODCALLTYPE EnumOutputs(UINT output, IDXGIOutput** out) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDesc(DXGI_ADAPTER_DESC* desc) = 0;
};
WINSIM_INTERFACE(IDXGIAdapter, IDXGIObject, "2411e7e1-12ac-4ccf-bd14-9798e8534dc0")

struct IDXGIAdapter1 : IDXGIAdapter {
    virtual HRESULT STDMETHODCALLTYPE GetDesc1(DXGI_ADAPTER_DESC1* desc) = 0;
};
WINSIM_INTERFACE(IDXGIAdapter1, IDXGIAdapter, "29038f61-3839-4626-91fd-086879011a05")

struct DXGI_SURFACE_DESC {
    UINT Width;
    UINT Height;
    DXGI_FORMAT Format;
    DXGI_SAMPLE_DESC SampleDesc;
};
struct DXGI_SHARED_RESOURCE {
    HANDLE Handle;
};
using DXGI_USAGE = UINT;
enum DXGI_RESIDENCY {
    DXGI_RESIDENCY_FULLY_RESIDENT = 1,
    DXGI_RESIDENCY_RESIDENT_IN_SHARED_MEMORY = 2,
    DXGI_RESIDENCY_EVICTED_TO_DISK = 3
};
struct IDXGISurface;

// The DXGI side of a Direct3D device: the adapter it was made on.
struct IDXGIDevice : IDXGIObject {
    virtual HRESULT STDMETHODCALLTYPE GetAdapter(IDXGIAdapter** adapter) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSurface(const DXGI_SURFACE_DESC* desc, UINT count, DXGI_USAGE usage,
                                                    const DXGI_SHARED_RESOURCE* shared, IDXGISurface** surface) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryResourceResidency(IUnknown* const* resources, DXGI_RESIDENCY* status,
                                                             UINT count) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetGPUThreadPriority(INT priority) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGPUThreadPriority(INT* priority) = 0;
};
WINSIM_INTERFACE(IDXGIDevice, IDXGIObject, "54ec77fa-1377-44e6-8c32-88fd5f44c84c")

struct IDXGIFactory : IDXGIObject {
    virtual HRESULT STDMETHODCALLTYPE EnumAdapters(UINT adapter, IDXGIAdapter** out) = 0;
};
WINSIM_INTERFACE(IDXGIFactory, IDXGIObject, "7b7166ec-21c7-44ae-b21a-c9ae321ae369")

struct IDXGIFactory1 : IDXGIFactory {
    virtual HRESULT STDMETHODCALLTYPE EnumAdapters1(UINT adapter, IDXGIAdapter1** out) = 0;
    virtual BOOL STDMETHODCALLTYPE IsCurrent() = 0;
};
WINSIM_INTERFACE(IDXGIFactory1, IDXGIFactory, "770aae78-f26f-4dba-a829-253c83d1b387")

HRESULT WINAPI CreateDXGIFactory1(REFIID riid, void** factory);
