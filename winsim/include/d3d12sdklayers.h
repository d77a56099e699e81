// The Direct3D 12 debug layer's interface.
#pragma once
#include "d3d12.h"

struct ID3D12Debug : IUnknown {
    // Devices created after this call validate their use of resource states.
    virtual void STDMETHODCALLTYPE EnableDebugLayer() = 0;
};
WINSIM_INTERFACE(ID3D12Debug, IUnknown, "344488b7-6846-474b-b989-f027448245e0")
