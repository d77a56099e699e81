// What every Direct3D 12 object shares: ID3D12Object's names and private data, and for device
// children the device that made them.
#pragma once
#include <string>

#include <d3d12.h>
#include <wrl/client.h>

#include "com/object.h"
#include "debug/layer.h"

namespace winsim::d3d12 {

class Device;

// A call refused as the runtime refuses it: the debug layer counts it, the caller gets `hr`.
inline HRESULT refuse(const char* call, const std::string& reason, HRESULT hr = E_INVALIDARG) {
    debug::message(call, reason);
    return hr;
}
// A call winsim declares but does not model: loud, never a silent success.
inline HRESULT notModelled(const char* call, const std::string& what) {
    return refuse(call, what + " is not modelled", E_NOTIMPL);
}

// com::Object keeps the private data; SetName stores the debug name in it.
template <class Derived, class Interface, class... More>
class Object : public com::Object<Derived, Interface, More...> {
public:
    HRESULT STDMETHODCALLTYPE SetName(LPCWSTR name) override { return this->privateData().setName(name); }
};

// A device child holds its device for as long as it lives.
template <class Derived, class Interface>
class Child : public Object<Derived, Interface> {
public:
    explicit Child(Microsoft::WRL::ComPtr<Device> device) : device_(std::move(device)) {}
    HRESULT STDMETHODCALLTYPE GetDevice(REFIID riid, void** device) override;
    Device* device() const { return device_.Get(); }

private:
    Microsoft::WRL::ComPtr<Device> device_;
};

}  // namespace winsim::d3d12
