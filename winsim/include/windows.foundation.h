// Windows.Foundation as the Windows Runtime's ABI declares it: time spans, IClosable, event
// tokens and the typed event handler, specialised by each namespace that raises events.
#pragma once
#include "inspectable.h"

struct EventRegistrationToken {
    INT64 value;
};

namespace ABI::Windows::Foundation {

struct TimeSpan {
    INT64 Duration;  // in 100 ns units
};

struct IClosable : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

// A delegate is an IUnknown with one method. TSender names a runtime class (or an interface) and
// SenderAbi the interface its ABI passes; each instantiation is a specialisation with an IID.
template <class TSender, class TResult>
struct ITypedEventHandler;

template <class SenderAbi, class ResultAbi>
struct ITypedEventHandler_impl : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(SenderAbi sender, ResultAbi args) = 0;
};

}  // namespace ABI::Windows::Foundation

#define __x_ABI_CWindows_CFoundation_CIClosable ABI::Windows::Foundation::IClosable
WINSIM_INTERFACE_NAMED(ABI::Windows::Foundation::IClosable, IInspectable, "30d5a829-7fa4-4026-83bb-d75bae4ea99e",
                       IID___x_ABI_CWindows_CFoundation_CIClosable)
