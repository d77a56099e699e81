// Microsoft::WRL::ComPtr: a smart pointer that holds one reference to a COM interface.
#pragma once
#include <cstddef>
#include <type_traits>
#include <utility>

#include "../unknwn.h"

namespace Microsoft::WRL {

template <class T>
class ComPtr;

namespace Details {

// What `&comPtr` gives: it converts to the pointer out-parameters COM calls take, releasing what
// the ComPtr held first, so that `factory->EnumAdapters1(0, &adapter)` and `IID_PPV_ARGS(&p)`
// never leak a reference.
template <class T>
class ComPtrRef {
public:
    using InterfaceType = typename T::InterfaceType;

    explicit ComPtrRef(T* ptr) noexcept : ptr_(ptr) {}

    operator T*() noexcept {  // as ComPtr<I>*: emptied, as an out-parameter is
        *ptr_ = nullptr;
        return ptr_;
    }
    operator InterfaceType**() noexcept { return ptr_->ReleaseAndGetAddressOf(); }
    operator void**() const noexcept { return reinterpret_cast<void**>(ptr_->ReleaseAndGetAddressOf()); }
    template <class U = InterfaceType,
              class = std::enable_if_t<!std::is_same_v<U, IUnknown> && std::is_base_of_v<IUnknown, U>>>
    operator IUnknown**() const noexcept {
        return reinterpret_cast<IUnknown**>(ptr_->ReleaseAndGetAddressOf());
    }

    InterfaceType* operator*() noexcept { return ptr_->Get(); }
    InterfaceType* const* GetAddressOf() const noexcept { return ptr_->GetAddressOf(); }
    InterfaceType** ReleaseAndGetAddressOf() noexcept { return ptr_->ReleaseAndGetAddressOf(); }

private:
    T* ptr_;
};

// What a ComPtr converts to when it is tested: a pointer to a member of a type nobody else has,
// null when the ComPtr is empty. Such a pointer converts to bool wherever a bool is wanted
// (`bool ok = p;`, `if (p && ...)`, `!p`, `p ? a : b`) but never to an integer or to another
// pointer, which a plain `operator bool` or `operator T*` would allow.
struct BoolStruct {
    int Member;
};
using BoolType = int BoolStruct::*;

}  // namespace Details

template <class T>
class ComPtr {
public:
    using InterfaceType = T;

    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr(U* p) noexcept : ptr_(p) {
        addRef();
    }
    ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) { addRef(); }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr(const ComPtr<U>& other) noexcept : ptr_(other.Get()) {
        addRef();
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr(ComPtr<U>&& other) noexcept : ptr_(other.Detach()) {}
    ~ComPtr() { release(); }

    ComPtr& operator=(std::nullptr_t) noexcept {
        release();
        return *this;
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr& operator=(U* p) noexcept {
        ComPtr(p).Swap(*this);
        return *this;
    }
    ComPtr& operator=(const ComPtr& other) noexcept {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr& operator=(const ComPtr<U>& other) noexcept {
        ComPtr(other).Swap(*this);
        return *this;
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr& operator=(ComPtr<U>&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }

    T* Get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    operator Details::BoolType() const noexcept { return ptr_ ? &Details::BoolStruct::Member : nullptr; }
    Details::ComPtrRef<ComPtr> operator&() noexcept { return Details::ComPtrRef<ComPtr>(this); }
    T* const* operator&() const noexcept { return &ptr_; }
    T* const* GetAddressOf() const noexcept { return &ptr_; }
    T** GetAddressOf() noexcept { return &ptr_; }
    T** ReleaseAndGetAddressOf() noexcept {
        release();
        return &ptr_;
    }
    unsigned long Reset() noexcept { return release(); }
    void Attach(T* p) noexcept {
        release();
        ptr_ = p;
    }
    T* Detach() noexcept { return std::exchange(ptr_, nullptr); }
    void Swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }
    void Swap(ComPtr&& other) noexcept { std::swap(ptr_, other.ptr_); }

    // QueryInterface into another ComPtr, which is released first.
    template <class U>
    HRESULT As(ComPtr<U>* out) const noexcept {
        return ptr_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
    }
    template <class U>
    HRESULT As(Details::ComPtrRef<ComPtr<U>> out) const noexcept {
        return ptr_->QueryInterface(__uuidof(U), static_cast<void**>(out));
    }
    HRESULT AsIID(REFIID riid, ComPtr<IUnknown>* out) const noexcept {
        return ptr_->QueryInterface(riid, reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
    }

    // One more reference to the caller, as the pointer itself or through QueryInterface.
    HRESULT CopyTo(T** out) const noexcept {
        addRef();
        *out = ptr_;
        return S_OK;
    }
    HRESULT CopyTo(REFIID riid, void** out) const noexcept { return ptr_->QueryInterface(riid, out); }
    template <class U>
    HRESULT CopyTo(U** out) const noexcept {
        return ptr_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out));
    }

private:
    void addRef() const noexcept {
        if (ptr_) ptr_->AddRef();
    }
    unsigned long release() noexcept {
        T* p = std::exchange(ptr_, nullptr);
        return p ? p->Release() : 0;
    }

    T* ptr_ = nullptr;
};

// Two ComPtrs are equal when they hold the same pointer, converted to one of their types as raw
// pointers would be.
template <class T, class U>
bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) noexcept {
    static_assert(std::is_base_of_v<T, U> || std::is_base_of_v<U, T>, "T and U are not related");
    return a.Get() == b.Get();
}
template <class T>
bool operator==(const ComPtr<T>& a, std::nullptr_t) noexcept {
    return a.Get() == nullptr;
}
template <class T, class U>
bool operator<(const ComPtr<T>& a, const ComPtr<U>& b) noexcept {
    static_assert(std::is_base_of_v<T, U> || std::is_base_of_v<U, T>, "T and U are not related");
    return a.Get() < b.Get();
}

}  // namespace Microsoft::WRL

// IID_PPV_ARGS(&comPtr): the ComPtr is released before the call fills it.
template <class T>
void** IID_PPV_ARGS_Helper(Microsoft::WRL::Details::ComPtrRef<T> pp) {
    static_assert(std::is_base_of_v<IUnknown, typename T::InterfaceType>, "IID_PPV_ARGS needs a COM interface");
    return pp;
}
