// DXGI 1.5: format-aware desktop duplication.
#pragma once
#include "dxgi1_4.h"

struct IDXGIOutput5 : IDXGIOutput4 {
    virtual HRESULT STDMETHODCALLTYPE DuplicateOutput1(IUnknown* device, UINT flags, UINT formatCount,
                                                       const DXGI_FORMAT* formats,
                                                       IDXGIOutputDuplication** duplication) = 0;
};
WINSIM_INTERFACE(IDXGIOutput5, IDXGIOutput4, "80a07424-ab52-42eb-833c-0c42fd282d98")

enum DXGI_FEATURE { DXGI_FEATURE_PRESENT_ALLOW_TEARING = 0 };

struct IDXGIFactory5 : IDXGIFactory4 {
    virtual HRESULT STDMETHODCALLTYPE CheckFeatureSupport(DXGI_FEATURE feature, void* data, UINT size) = 0;
};
WINSIM_INTERFACE(IDXGIFactory5, IDXGIFactory4, "7632e1f5-ee65-4dca-87fd-84cd75f8838d")
