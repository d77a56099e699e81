// DXGI 1.4: adapters by LUID, video memory queries.
#pragma once
#include "dxgi1_3.h"

enum DXGI_MEMORY_SEGMENT_GROUP { DXGI_MEMORY_SEGMENT_GROUP_LOCAL = 0, DXGI_MEMORY_SEGMENT_GROUP_NON_LOCAL = 1 };

struct DXGI_QUERY_VIDEO_MEMORY_INFO {
    UINT64 Budget;
    UINT64 CurrentUsage;
    UINT64 AvailableForReservation;
    UINT64 CurrentReservation;
};

struct IDXGIAdapter3 : IDXGIAdapter2 {
    virtual HRESULT STDMETHODCALLTYPE QueryVideoMemoryInfo(UINT nodeIndex, DXGI_MEMORY_SEGMENT_GROUP group,
                                                           DXGI_QUERY_VIDEO_MEMORY_INFO* info) = 0;
};
WINSIM_INTERFACE(IDXGIAdapter3, IDXGIAdapter2, "645967a4-1392-4310-a798-8053ce3e93fd")

struct IDXGIOutput4 : IDXGIOutput3 {};
WINSIM_INTERFACE(IDXGIOutput4, IDXGIOutput3, "dc7dca35-2196-414d-9f53-617884032a60")

struct IDXGIFactory4 : IDXGIFactory3 {
    virtual HRESULT STDMETHODCALLTYPE EnumAdapterByLuid(LUID luid, REFIID riid, void** adapter) = 0;
};
WINSIM_INTERFACE(IDXGIFactory4, IDXGIFactory3, "1bc6ea02-ef36-464f-bf0c-21ca39e5168a")
