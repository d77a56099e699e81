// IUnknown, interface IDs and __uuidof.
//
// Each interface is declared with WINSIM_INTERFACE(Name, Base, "its IID"): that records its
// parent, which QueryInterface walks, gives __uuidof(Name) the interface's documented ID, and
// declares IID_Name as the SDK does (defined where initguid.h was included first, and always in
// winsim's own library, as dxguid provides them on Windows).
#pragma once
#include <type_traits>

#include "guiddef.h"
#include "windef.h"
#include "winerror.h"

namespace winsim {
template <class I>
struct InterfaceTraits;  // specialised by WINSIM_INTERFACE for every interface
}  // namespace winsim

#define WINSIM_INTERFACE(I, B, ID)                                           \
    namespace winsim {                                                       \
    template <>                                                              \
    struct InterfaceTraits<::I> {                                            \
        using Base = B;                                                      \
        static constexpr GUID iid = ::winsim::parseGuid(ID);                 \
    };                                                                       \
    }                                                                        \
    WINSIM_DEFINE_IID(IID_##I, ::winsim::InterfaceTraits<::I>::iid)

// The same for an interface of a namespace (the Windows Runtime's ABI::...), whose IID constant
// the SDK names apart from the type (IID___x_ABI_C...).
#define WINSIM_INTERFACE_NAMED(I, B, ID, IID_NAME)                           \
    namespace winsim {                                                       \
    template <>                                                              \
    struct InterfaceTraits<I> {                                              \
        using Base = B;                                                      \
        static constexpr GUID iid = ::winsim::parseGuid(ID);                 \
    };                                                                       \
    }                                                                        \
    WINSIM_DEFINE_IID(IID_NAME, ::winsim::InterfaceTraits<I>::iid)

namespace winsim {
// The interface a __uuidof operand names: an interface type, or an expression of interface type
// or pointer type (`__uuidof(device)`, `__uuidof(**pp)`).
template <class X>
using InterfaceOf = std::remove_cv_t<std::remove_pointer_t<std::remove_cvref_t<X>>>;
}  // namespace winsim

// __typeof__ takes a type as well as an expression, as __uuidof does.
#define __uuidof(X) (::winsim::InterfaceTraits<::winsim::InterfaceOf<__typeof__(X)>>::iid)

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

    template <class Q>
    HRESULT QueryInterface(Q** object) {
        return QueryInterface(__uuidof(Q), reinterpret_cast<void**>(object));
    }

protected:
    ~IUnknown() = default;
};
WINSIM_INTERFACE(IUnknown, void, "00000000-0000-0000-c000-000000000046")

// IID_PPV_ARGS(&p) for a raw interface pointer; wrl/client.h adds the overload for a ComPtr.
template <class T>
void** IID_PPV_ARGS_Helper(T** pp) {
    static_assert(std::is_base_of_v<IUnknown, T>, "IID_PPV_ARGS needs a COM interface");
    return reinterpret_cast<void**>(pp);
}

#define IID_PPV_ARGS(ppType) __uuidof(**(ppType)), IID_PPV_ARGS_Helper(ppType)
