// Microsoft::WRL::ComPtr, the subset the project uses.
#pragma once
#include <type_traits>
#include <utility>

#include "../unknwn.h"

namespace Microsoft::WRL {

template <class T>
class ComPtr {
public:
    using InterfaceType = T;

    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    ComPtr(T* p) noexcept : ptr_(p) { addRef(); }
    ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) { addRef(); }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr(const ComPtr<U>& other) noexcept : ptr_(other.Get()) {
        addRef();
    }
    ~ComPtr() { release(); }

    ComPtr& operator=(std::nullptr_t) noexcept {
        release();
        return *this;
    }
    ComPtr& operator=(T* p) noexcept {
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

    T* Get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
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

    template <class U>
    HRESULT As(ComPtr<U>* out) const noexcept {
        return ptr_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
    }
    HRESULT CopyTo(T** out) const noexcept {
        addRef();
        *out = ptr_;
        return S_OK;
    }

    friend bool operator==(const ComPtr& a, std::nullptr_t) noexcept { return a.ptr_ == nullptr; }
    friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.ptr_ == b.ptr_; }

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

}  // namespace Microsoft::WRL
