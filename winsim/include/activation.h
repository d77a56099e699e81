// IActivationFactory: the factory of an activatable Windows Runtime class.
#pragma once
#include "inspectable.h"

struct IActivationFactory : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) = 0;
};
WINSIM_INTERFACE(IActivationFactory, IInspectable, "00000035-0000-0000-c000-000000000046")
