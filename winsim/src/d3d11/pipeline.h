// Direct3D 11 pipeline objects: shaders, blend and sampler states, fences.
#pragma once
#include <memory>

#include <d3d11_4.h>

#include "d3d11/device.h"
#include "gpu/draw.h"
#include "gpu/fence.h"

namespace winsim::d3d11 {

// A device child that keeps its device alive and hands it out.
template <class Derived, class Interface>
class Child : public com::Object<Derived, Interface> {
public:
    explicit Child(ComPtr<Device> device) : device_(std::move(device)) {}
    void STDMETHODCALLTYPE GetDevice(ID3D11Device** device) override { handOutDevice(device_, device); }
    Device* device() const { return device_.Get(); }

private:
    ComPtr<Device> device_;
};

// A shader: its decoded program, and the video memory its code takes.
template <class Derived, class Interface>
class Shader : public Child<Derived, Interface> {
public:
    Shader(ComPtr<Device> device, std::shared_ptr<const shader::Program> program,
           std::shared_ptr<gpu::Allocation> allocation)
        : Child<Derived, Interface>(std::move(device)), program_(std::move(program)), allocation_(std::move(allocation)) {}
    const std::shared_ptr<const shader::Program>& program() const { return program_; }

private:
    std::shared_ptr<const shader::Program> program_;
    std::shared_ptr<gpu::Allocation> allocation_;
};

class VertexShader final : public Shader<VertexShader, ID3D11VertexShader> {
public:
    static constexpr const char* kKind = "ID3D11VertexShader";
    using Shader::Shader;
};

class PixelShader final : public Shader<PixelShader, ID3D11PixelShader> {
public:
    static constexpr const char* kKind = "ID3D11PixelShader";
    using Shader::Shader;
};

class BlendState final : public Child<BlendState, ID3D11BlendState> {
public:
    static constexpr const char* kKind = "ID3D11BlendState";
    BlendState(ComPtr<Device> device, const D3D11_BLEND_DESC& desc);
    void STDMETHODCALLTYPE GetDesc(D3D11_BLEND_DESC* desc) override { *desc = desc_; }
    const gpu::BlendDesc& blend() const { return blend_; }

private:
    const D3D11_BLEND_DESC desc_;
    gpu::BlendDesc blend_;
};

class SamplerState final : public Child<SamplerState, ID3D11SamplerState> {
public:
    static constexpr const char* kKind = "ID3D11SamplerState";
    SamplerState(ComPtr<Device> device, const D3D11_SAMPLER_DESC& desc);
    void STDMETHODCALLTYPE GetDesc(D3D11_SAMPLER_DESC* desc) override { *desc = desc_; }
    const gpu::SamplerDesc& sampler() const { return sampler_; }

private:
    const D3D11_SAMPLER_DESC desc_;
    gpu::SamplerDesc sampler_;
};

class Fence final : public Child<Fence, ID3D11Fence> {
public:
    static constexpr const char* kKind = "ID3D11Fence";
    Fence(ComPtr<Device> device, uint64_t initial)
        : Child(std::move(device)), state_(std::make_shared<gpu::FenceState>(initial)) {}
    // A removed device's fences count as reached, as the runtime reports them.
    UINT64 STDMETHODCALLTYPE GetCompletedValue() override { return device()->removed() ? UINT64_MAX : state_->completed(); }
    HRESULT STDMETHODCALLTYPE SetEventOnCompletion(UINT64 value, HANDLE event) override;
    const std::shared_ptr<gpu::FenceState>& state() const { return state_; }

private:
    std::shared_ptr<gpu::FenceState> state_;
};

}  // namespace winsim::d3d11
