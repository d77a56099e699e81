// DXGI 1.5: format-aware desktop duplication.
#pragma once
#include "dxgi1_4.h"

struct IDXGIOutput5 : IDXGIOutput4 {
    virtual HRESULT STDMETHODCALLTYPE DuplicateOutput1(IUnknown* device, UINT flags, UINT formatCount,
                                                       const DXGI_FORMAT* formats,
                                                       IDXGIOutputDuplication** duplication) = 0;
};
WINSIM_INTERFACE(IDXGIOutput5, IDXGIOutput4, "80a07424-ab52-42eb-833c-0c42fd282d98")
