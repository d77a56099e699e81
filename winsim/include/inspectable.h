// IInspectable, the base of every Windows Runtime interface.
#pragma once
#include "hstring.h"
#include "unknwn.h"

enum TrustLevel { BaseTrust = 0, PartialTrust = 1, FullTrust = 2 };

struct IInspectable : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetIids(ULONG* iidCount, IID** iids) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* className) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* trustLevel) = 0;
};
WINSIM_INTERFACE(IInspectable, IUnknown, "af86e2e0-b12d-4c6a-9c5a-d7aa65101e90")
