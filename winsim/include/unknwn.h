// IUnknown, interface IDs and __uuidof.
//
// Each interface is declared with WINSIM_INTERFACE(Name, Base): that records its parent, which
// QueryInterface walks, and gives it an ID derived from its name. Only uniqueness of the IDs
// matters inside winsim.
#pragma once
#include <type_traits>

#include "guiddef.h"
#include "windef.h"
#include "winerror.h"

namespace winsim {
constexpr uint64_t fnv1a(const char* text, uint64_t seed) {
    uint64_t h = seed;
    for (; *text; ++text) {
        h ^= static_cast<unsigned char>(*text);
        h *= 0x100000001b3ull;
    }
    return h;
}

constexpr GUID guidFromName(const char* name) {
    const uint64_t a = fnv1a(name, 0xcbf29ce484222325ull);
    const uint64_t b = fnv1a(name, a ^ 0x9e3779b97f4a7c15ull);
    GUID g{static_cast<uint32_t>(a >> 32), static_cast<uint16_t>(a >> 16), static_cast<uint16_t>(a), {}};
    for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<uint8_t>(b >> (8 * i));
    return g;
}

template <class I>
struct InterfaceTraits;  // specialised by WINSIM_INTERFACE for every interface
}  // namespace winsim

#define WINSIM_INTERFACE(I, B)                                               \
    namespace winsim {                                                       \
    template <>                                                              \
    struct InterfaceTraits<::I> {                                            \
        using Base = B;                                                      \
        static constexpr GUID iid = ::winsim::guidFromName(#I);              \
    };                                                                       \
    }

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
WINSIM_INTERFACE(IUnknown, void)

// IID_PPV_ARGS(&p) for a raw interface pointer; wrl/client.h adds the overload for a ComPtr.
template <class T>
void** IID_PPV_ARGS_Helper(T** pp) {
    static_assert(std::is_base_of_v<IUnknown, T>, "IID_PPV_ARGS needs a COM interface");
    return reinterpret_cast<void**>(pp);
}

#define IID_PPV_ARGS(ppType) __uuidof(**(ppType)), IID_PPV_ARGS_Helper(ppType)
