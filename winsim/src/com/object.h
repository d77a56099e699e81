// One implementation of IUnknown for every winsim object.
//
// Object<Derived, Interfaces...> derives from each interface chain it lists (for example
// IDXGIAdapter3, which reaches IDXGIAdapter1, IDXGIAdapter, IDXGIObject and IUnknown), answers
// QueryInterface for every interface on those chains with the same object, counts references
// atomically and counts live objects by Derived::kKind. A Derived may define
// `bool hides(REFIID) const` to refuse an interface it otherwise implements (a capability). A
// Windows Runtime class also implements IInspectable here: Derived::kRuntimeClass names it.
#pragma once
#include <atomic>
#include <type_traits>

#include <inspectable.h>
#include <unknwn.h>
#include <winstring.h>

#include "com/private_data.h"

namespace winsim::com {

void noteCreated(const char* kind);
void noteDestroyed(const char* kind);

template <class Derived, class First, class... Rest>
class Object : public First, public Rest... {
public:
    Object() : privateData_(Derived::kKind) { noteCreated(Derived::kKind); }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // These implement IUnknown and the private-data methods for whichever of the listed
    // interfaces declare them, so they carry no `override`.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        void* found = nullptr;
        if (IsEqualIID(riid, __uuidof(IUnknown))) {
            found = static_cast<IUnknown*>(static_cast<First*>(this));
        } else {
            static_cast<void>((findOnChain<First, First>(riid, found) || ... || findOnChain<Rest, Rest>(riid, found)));
        }
        if (!found || self().hides(riid)) return E_NOINTERFACE;
        AddRef();
        *out = found;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() { return ++refs_; }
    // One more reference unless the last one has gone (the object is being destroyed): for a
    // holder of a plain pointer that must hand out the same object while it lives.
    bool tryAddRef() {
        ULONG refs = refs_.load();
        while (refs != 0)
            if (refs_.compare_exchange_weak(refs, refs + 1)) return true;
        return false;
    }
    ULONG STDMETHODCALLTYPE Release() {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* size, void* data) {
        return privateData_.get(guid, size, data);
    }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT size, const void* data) {
        return privateData_.set(guid, size, data);
    }
    HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* data) {
        return privateData_.setInterface(guid, data);
    }

    // IInspectable. GetIids may list no interface (the caller then queries for what it needs).
    HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) {
        if (!count || !iids) return E_INVALIDARG;
        *count = 0;
        *iids = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) {
        if (!name) return E_INVALIDARG;
        const wchar_t* text = runtimeClass();
        UINT32 length = 0;
        while (text[length]) ++length;
        return WindowsCreateString(text, length, name);
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) {
        if (!level) return E_INVALIDARG;
        *level = BaseTrust;
        return S_OK;
    }

    bool hides(REFIID) const { return false; }
    PrivateData& privateData() { return privateData_; }

protected:
    virtual ~Object() { noteDestroyed(Derived::kKind); }

private:
    Derived& self() { return static_cast<Derived&>(*this); }
    static const wchar_t* runtimeClass() {
        if constexpr (requires { Derived::kRuntimeClass; }) return Derived::kRuntimeClass;
        else return L"";
    }

    template <class Chain, class Level>
    bool findOnChain(REFIID riid, void*& found) {
        if constexpr (std::is_same_v<Level, IUnknown>) {
            return false;
        } else {
            if (IsEqualIID(riid, InterfaceTraits<Level>::iid)) {
                found = static_cast<Level*>(static_cast<Chain*>(this));
                return true;
            }
            return findOnChain<Chain, typename InterfaceTraits<Level>::Base>(riid, found);
        }
    }

    std::atomic<ULONG> refs_{1};
    PrivateData privateData_;
};

// Creates an object with one reference and hands it out through riid, as the factories of the
// API do: the caller's reference is the only one left.
template <class T>
HRESULT handOut(T* object, REFIID riid, void** out) {
    if (!out) {
        object->Release();
        return E_POINTER;
    }
    const HRESULT hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
}

}  // namespace winsim::com
