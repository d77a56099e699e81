// The Direct3D 11 device: creation of resources, views and pipeline objects on one adapter, its
// immediate context's state and its GPU queue.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include <d3d11_4.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include "com/object.h"
#include "debug/layer.h"
#include "d3d11/state.h"
#include "gpu/ledger.h"
#include "gpu/queue.h"
#include "machine/machine.h"
#include "machine/removal.h"

namespace winsim::d3d11 {

class Context;

using Microsoft::WRL::ComPtr;

// Fixed video memory a Direct3D 11 device holds for its own use (command buffers, the runtime's
// internal state): 2 MiB, half of a Direct3D 12 device's, charged from creation until the device
// and everything that keeps it alive (its context, its children) are gone.
constexpr uint64_t kDeviceBaselineBytes = 2ull << 20;

class Device final : public com::Object<Device, ID3D11Device5, IDXGIDevice, ID3D11Multithread> {
public:
    static constexpr const char* kKind = "ID3D11Device";
    Device(std::shared_ptr<AdapterState> adapter, std::shared_ptr<gpu::Allocation> baseline, D3D_FEATURE_LEVEL level,
           UINT flags)
        : adapter_(std::move(adapter)), life_(adapter_), baseline_(std::move(baseline)), level_(level), flags_(flags) {}

    bool hides(REFIID riid) const;

    HRESULT STDMETHODCALLTYPE CreateBuffer(const D3D11_BUFFER_DESC* desc, const D3D11_SUBRESOURCE_DATA* initialData,
                                           ID3D11Buffer** buffer) override;
    HRESULT STDMETHODCALLTYPE CreateTexture2D(const D3D11_TEXTURE2D_DESC* desc, const D3D11_SUBRESOURCE_DATA* initialData,
                                              ID3D11Texture2D** texture) override;
    HRESULT STDMETHODCALLTYPE CreateShaderResourceView(ID3D11Resource* resource,
                                                       const D3D11_SHADER_RESOURCE_VIEW_DESC* desc,
                                                       ID3D11ShaderResourceView** view) override;
    HRESULT STDMETHODCALLTYPE CreateRenderTargetView(ID3D11Resource* resource, const D3D11_RENDER_TARGET_VIEW_DESC* desc,
                                                     ID3D11RenderTargetView** view) override;
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const void* bytecode, SIZE_T length, ID3D11ClassLinkage* linkage,
                                                 ID3D11VertexShader** shader) override;
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const void* bytecode, SIZE_T length, ID3D11ClassLinkage* linkage,
                                                ID3D11PixelShader** shader) override;
    HRESULT STDMETHODCALLTYPE CreateBlendState(const D3D11_BLEND_DESC* desc, ID3D11BlendState** state) override;
    HRESULT STDMETHODCALLTYPE CreateSamplerState(const D3D11_SAMPLER_DESC* desc, ID3D11SamplerState** state) override;
    HRESULT STDMETHODCALLTYPE CheckFormatSupport(DXGI_FORMAT format, UINT* support) override;
    HRESULT STDMETHODCALLTYPE GetDeviceRemovedReason() override { return life_.reason(); }
    D3D_FEATURE_LEVEL STDMETHODCALLTYPE GetFeatureLevel() override { return level_; }
    UINT STDMETHODCALLTYPE GetCreationFlags() override { return flags_; }
    void STDMETHODCALLTYPE GetImmediateContext(ID3D11DeviceContext** context) override;
    HRESULT STDMETHODCALLTYPE CreateFence(UINT64 initialValue, D3D11_FENCE_FLAG flags, REFIID riid,
                                          void** fence) override;

    // IDXGIDevice: the adapter the device was made on.
    HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** parent) override;
    HRESULT STDMETHODCALLTYPE GetAdapter(IDXGIAdapter** adapter) override;
    HRESULT STDMETHODCALLTYPE CreateSurface(const DXGI_SURFACE_DESC* desc, UINT count, DXGI_USAGE usage,
                                            const DXGI_SHARED_RESOURCE* shared, IDXGISurface** surface) override;
    HRESULT STDMETHODCALLTYPE QueryResourceResidency(IUnknown* const* resources, DXGI_RESIDENCY* status,
                                                     UINT count) override;
    HRESULT STDMETHODCALLTYPE SetGPUThreadPriority(INT priority) override;
    HRESULT STDMETHODCALLTYPE GetGPUThreadPriority(INT* priority) override;

    // ID3D11Multithread: the device's critical section, which winsim takes only when asked.
    void STDMETHODCALLTYPE Enter() override { critical_.lock(); }
    void STDMETHODCALLTYPE Leave() override { critical_.unlock(); }
    BOOL STDMETHODCALLTYPE SetMultithreadProtected(BOOL protect) override { return protected_.exchange(protect != FALSE); }
    BOOL STDMETHODCALLTYPE GetMultithreadProtected() override { return protected_.load(); }

    const std::shared_ptr<AdapterState>& adapter() const { return adapter_; }
    // Once removed, every call fails with the reason and fences count as reached.
    bool removed() const { return life_.removed(); }
    void remove(HRESULT reason) { life_.remove(reason); }
    // Called by the immediate context as it goes, so that the next GetImmediateContext makes a new one.
    void forgetImmediateContext(const Context* context);
    ContextState& contextState() { return context_; }
    gpu::Queue& queue() { return queue_; }

private:
    std::shared_ptr<AdapterState> adapter_;
    DeviceLife life_;
    std::shared_ptr<gpu::Allocation> baseline_;
    const D3D_FEATURE_LEVEL level_;
    const UINT flags_;
    ContextState context_;
    std::mutex immediateMutex_;
    Context* immediate_ = nullptr;  // not a reference: the context holds the device
    std::atomic<INT> gpuThreadPriority_{0};
    std::recursive_mutex critical_;
    std::atomic<bool> protected_{false};
    gpu::Queue queue_;  // declared last: stopped (its pending work dropped) before the rest goes
};

// A call refused as the runtime refuses it: the debug layer counts it, the caller gets E_INVALIDARG.
inline HRESULT invalid(const char* call, const std::string& reason) {
    debug::message(call, reason);
    return E_INVALIDARG;
}

// GetDevice of every device child: the device with one more reference.
inline void handOutDevice(const ComPtr<Device>& device, ID3D11Device** out) {
    *out = device.Get();
    device->AddRef();
}

// The winsim device behind any interface of a Direct3D 11 device, or behind its immediate
// context; null for anything else.
Device* deviceOf(IUnknown* object);

// A texture object on `device` around an existing image, as desktop duplication hands out
// frames. `desc` describes the image (its size, format and mips must match it).
ComPtr<ID3D11Texture2D> makeTexture(Device* device, std::shared_ptr<gpu::Image> image, const D3D11_TEXTURE2D_DESC& desc);

}  // namespace winsim::d3d11
