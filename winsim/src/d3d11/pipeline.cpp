// Buffers, shaders, blend and sampler states, fences.
#include <cstring>
#include <string>

#include "d3d11/pipeline.h"
#include "d3d11/resources.h"
#include "d3d11/translate.h"
#include "kernel/handles.h"
#include "machine/faults.h"
#include "shader/program.h"

namespace winsim::d3d11 {
namespace {

// winsim models constant buffers, the only buffers the project binds.
std::string bufferProblem(const D3D11_BUFFER_DESC& d, const D3D11_SUBRESOURCE_DATA* initial) {
    if (d.BindFlags != D3D11_BIND_CONSTANT_BUFFER) return "only constant buffers are modelled";
    if (d.ByteWidth == 0 || d.ByteWidth % 16 != 0 || d.ByteWidth > 65536)
        return "a constant buffer's size must be a non-zero multiple of 16 up to 64 KiB";
    if (d.MiscFlags != 0) return "misc flags on a constant buffer";
    if (d.Usage == D3D11_USAGE_DYNAMIC && d.CPUAccessFlags != D3D11_CPU_ACCESS_WRITE)
        return "a dynamic buffer needs CPU write access alone";
    if ((d.Usage == D3D11_USAGE_DEFAULT || d.Usage == D3D11_USAGE_IMMUTABLE) && d.CPUAccessFlags != 0)
        return "CPU access on a GPU-only buffer";
    if (d.Usage == D3D11_USAGE_IMMUTABLE && !(initial && initial->pSysMem)) return "an immutable buffer needs initial data";
    if (d.Usage == D3D11_USAGE_STAGING) return "a staging buffer cannot be bound";
    if (initial && !initial->pSysMem) return "initial data without memory";
    return {};
}

template <class Object, class Interface>
HRESULT createShader(Device* device, FaultCall call, shader::Stage stage, const void* code, SIZE_T length,
                     Interface** out) {
    if (out) *out = nullptr;
    if (auto hr = fault(call)) return *hr;
    if (device->removed()) return device->GetDeviceRemovedReason();
    if (!code || length == 0) return invalid(call.name(), "no byte code");
    std::string error;
    auto program = shader::loadProgram(code, length, stage, &error);
    // A blob the interpreter cannot run is refused, not misused, and the debug layer says why.
    if (!program) return invalid(call.name(), "the interpreter cannot run this shader: " + error);
    if (!out) return S_FALSE;
    auto allocation = gpu::Allocation::make(device->adapter()->ledger, length);
    if (!allocation) return E_OUTOFMEMORY;
    *out = new Object(ComPtr<Device>(device), std::move(program), std::move(allocation));
    return S_OK;
}

}  // namespace

HRESULT Device::CreateBuffer(const D3D11_BUFFER_DESC* desc, const D3D11_SUBRESOURCE_DATA* initial, ID3D11Buffer** buffer) {
    constexpr const char* kCall = "ID3D11Device::CreateBuffer";
    if (buffer) *buffer = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    if (!desc) return invalid(kCall, "no description");
    if (auto problem = bufferProblem(*desc, initial); !problem.empty()) return invalid(kCall, problem);
    if (!buffer) return S_FALSE;
    auto data = std::make_shared<BufferData>();
    data->desc = *desc;
    data->allocation = gpu::Allocation::make(adapter_->ledger, desc->ByteWidth);
    if (!data->allocation) return E_OUTOFMEMORY;
    data->bytes.assign(desc->ByteWidth, 0);
    if (initial) std::memcpy(data->bytes.data(), initial->pSysMem, desc->ByteWidth);
    *buffer = new Buffer(ComPtr<Device>(this), std::move(data));
    return S_OK;
}

HRESULT Device::CreateVertexShader(const void* code, SIZE_T length, ID3D11ClassLinkage*, ID3D11VertexShader** shader) {
    return createShader<VertexShader>(this, "ID3D11Device::CreateVertexShader", shader::Stage::Vertex, code, length,
                                      shader);
}

HRESULT Device::CreatePixelShader(const void* code, SIZE_T length, ID3D11ClassLinkage*, ID3D11PixelShader** shader) {
    return createShader<PixelShader>(this, "ID3D11Device::CreatePixelShader", shader::Stage::Pixel, code, length, shader);
}

BlendState::BlendState(ComPtr<Device> device, const D3D11_BLEND_DESC& desc) : Child(std::move(device)), desc_(desc) {
    blend_ = translate(desc.RenderTarget[0]);
}

HRESULT Device::CreateBlendState(const D3D11_BLEND_DESC* desc, ID3D11BlendState** state) {
    constexpr const char* kCall = "ID3D11Device::CreateBlendState";
    if (state) *state = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    if (!desc) return invalid(kCall, "no description");
    const auto& rt = desc->RenderTarget[0];
    if (rt.BlendEnable && (rt.SrcBlend < D3D11_BLEND_ZERO || rt.DestBlend < D3D11_BLEND_ZERO ||
                           rt.BlendOp < D3D11_BLEND_OP_ADD || rt.BlendOpAlpha < D3D11_BLEND_OP_ADD))
        return invalid(kCall, "blend factors or operations out of range");
    if (!state) return S_FALSE;
    *state = new BlendState(ComPtr<Device>(this), *desc);
    return S_OK;
}

SamplerState::SamplerState(ComPtr<Device> device, const D3D11_SAMPLER_DESC& desc) : Child(std::move(device)), desc_(desc) {
    sampler_ = translate(desc);  // addressing is always clamp: the front-end refuses anything else
}

HRESULT Device::CreateSamplerState(const D3D11_SAMPLER_DESC* desc, ID3D11SamplerState** state) {
    constexpr const char* kCall = "ID3D11Device::CreateSamplerState";
    if (state) *state = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    if (!desc) return invalid(kCall, "no description");
    const auto clamp = D3D11_TEXTURE_ADDRESS_CLAMP;
    if (desc->AddressU != clamp || desc->AddressV != clamp || desc->AddressW != clamp)
        return invalid(kCall, "only clamp addressing is modelled");
    if (desc->MinLOD > desc->MaxLOD) return invalid(kCall, "MinLOD above MaxLOD");
    if (!state) return S_FALSE;
    *state = new SamplerState(ComPtr<Device>(this), *desc);
    return S_OK;
}

HRESULT Device::CreateFence(UINT64 initialValue, D3D11_FENCE_FLAG flags, REFIID riid, void** fence) {
    constexpr const char* kCall = "ID3D11Device5::CreateFence";
    if (fence) *fence = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    if (flags != D3D11_FENCE_FLAG_NONE) return invalid(kCall, "only unshared fences are modelled");
    if (!fence) return E_POINTER;
    return com::handOut(new Fence(ComPtr<Device>(this), initialValue), riid, fence);
}

HRESULT Fence::SetEventOnCompletion(UINT64 value, HANDLE event) {
    auto target = kernel::lookupAs<kernel::Event>(event);
    if (!target) return invalid("ID3D11Fence::SetEventOnCompletion", "not an event handle");
    if (auto hr = fault("ID3D11Fence::SetEventOnCompletion")) return *hr;
    if (device()->removed()) {
        target->set();
        return S_OK;
    }
    state_->notifyAt(value, [event = std::move(target)] { event->set(); });
    return S_OK;
}

}  // namespace winsim::d3d11
