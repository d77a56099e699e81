// The private device every source draws with: the render adapter by the consumer's LUID, the
// Direct3D 11.4 device with its fence, the shader programs and the pipeline objects; and what a
// removed consumer device or a stop leaves of them.
#include <cstdarg>
#include <cstdio>

#include "impl.h"
#include "shaders.h"

namespace velda {
namespace {

// Compiles both entry points of one program; the pixel stage only after the vertex stage.
bool compileProgram(const char* text, size_t length, ComPtr<ID3DBlob>& vs, ComPtr<ID3DBlob>& ps, bool quiet) {
    return compileShader(text, length, "vsmain", "vs_5_0", vs, quiet) &&
           compileShader(text, length, "psmain", "ps_5_0", ps, quiet);
}

D3D11_BUFFER_DESC constantBufferDesc() {
    D3D11_BUFFER_DESC desc{};
    desc.ByteWidth = 16;
    desc.Usage = D3D11_USAGE_DYNAMIC;
    desc.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    return desc;
}

D3D11_BLEND_DESC cursorBlendDesc() {
    D3D11_BLEND_DESC desc{};
    auto& rt = desc.RenderTarget[0];
    rt.BlendEnable = TRUE;
    rt.SrcBlend = D3D11_BLEND_SRC_ALPHA;
    rt.DestBlend = D3D11_BLEND_INV_SRC_ALPHA;
    rt.BlendOp = D3D11_BLEND_OP_ADD;
    rt.SrcBlendAlpha = D3D11_BLEND_ONE;
    rt.DestBlendAlpha = D3D11_BLEND_INV_SRC_ALPHA;
    rt.BlendOpAlpha = D3D11_BLEND_OP_ADD;
    rt.RenderTargetWriteMask = D3D11_COLOR_WRITE_ENABLE_ALL;
    return desc;
}

D3D11_SAMPLER_DESC pointClampSamplerDesc() {
    D3D11_SAMPLER_DESC desc{};
    desc.Filter = D3D11_FILTER_MIN_MAG_MIP_POINT;
    desc.AddressU = desc.AddressV = desc.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
    desc.MaxLOD = 0.0f;  // only the top mip is ever sampled
    return desc;
}

}  // namespace

void SourceCore::startupFailure(const char* format, ...) {
    if (startupQuiet()) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    if (deviceLost) recreateReported = true;
}

SourceCore::AdapterLookup SourceCore::openAdapter(ID3D12Device* caller, bool newFactory) {
    if (newFactory || !factory) {
        ComPtr<IDXGIFactory4> fresh;
        if (FAILED(CreateDXGIFactory1(IID_PPV_ARGS(fresh.GetAddressOf())))) return AdapterLookup::NoFactory;
        factory = fresh;
    }
    adapter.Reset();
    return SUCCEEDED(factory->EnumAdapterByLuid(caller->GetAdapterLuid(), IID_PPV_ARGS(adapter.GetAddressOf())))
               ? AdapterLookup::Found
               : AdapterLookup::NotFound;
}

bool SourceCore::createDevice(bool multithreaded) {
    device.Reset();
    context.Reset();
    if (FAILED(D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT,
                                 nullptr, 0, D3D11_SDK_VERSION, device.GetAddressOf(), nullptr,
                                 context.GetAddressOf()))) {
        startupFailure("capture: D3D11 device creation failed\n");
        return false;
    }
    device5.Reset();
    context4.Reset();
    if (FAILED(device.As(&device5)) || FAILED(context.As(&context4))) {
        startupFailure("capture: D3D11.4 (fences) unavailable\n");
        return false;
    }
    if (multithreaded) {
        ComPtr<ID3D11Multithread> protection;
        if (FAILED(context.As(&protection))) {
            startupFailure("capture: D3D11 multithread protection unavailable\n");
            return false;
        }
        protection->SetMultithreadProtected(TRUE);
    }
    fence.Reset();
    if (FAILED(device5->CreateFence(0, D3D11_FENCE_FLAG_NONE, IID_PPV_ARGS(fence.GetAddressOf())))) return false;
    // An event that a failed start left behind is closed before the new one is made.
    fenceEvent.reset();
    fenceEvent.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    return fenceEvent != nullptr;
}

bool SourceCore::createPipeline(bool turned) {
    const bool created = createPipelineObjects(turned);
    nameDeviceObjects();
    return created;
}

bool SourceCore::createPipelineObjects(bool turned) {
    ComPtr<ID3DBlob> vs, ps;
    if (!compileProgram(kCursorShader, kCursorShaderLength, vs, ps, startupQuiet())) return shaderFailed();
    cursorVs.Reset();
    if (FAILED(device->CreateVertexShader(vs->GetBufferPointer(), vs->GetBufferSize(), nullptr, cursorVs.GetAddressOf())))
        return false;
    cursorPs.Reset();
    if (FAILED(device->CreatePixelShader(ps->GetBufferPointer(), ps->GetBufferSize(), nullptr, cursorPs.GetAddressOf())))
        return false;
    const D3D11_BUFFER_DESC constants = constantBufferDesc();
    cursorConstants.Reset();
    if (FAILED(device->CreateBuffer(&constants, nullptr, cursorConstants.GetAddressOf()))) return false;

    // A conversion program that cannot be made leaves the pass disabled; start goes on, and the
    // next ring built for a desktop that needs the pass tries again. The turned pixel stage is made
    // here too when `turned` asks for it (rotation correction is on), else with the first ring that turns its images.
    if (createConvertProgram() && turned) createTurnedProgram();
    convertConstants.Reset();
    if (FAILED(device->CreateBuffer(&constants, nullptr, convertConstants.GetAddressOf()))) return false;

    const D3D11_BLEND_DESC blend = cursorBlendDesc();
    cursorBlend.Reset();
    if (FAILED(device->CreateBlendState(&blend, cursorBlend.GetAddressOf()))) return false;
    const D3D11_SAMPLER_DESC samplerDesc = pointClampSamplerDesc();
    sampler.Reset();
    return SUCCEEDED(device->CreateSamplerState(&samplerDesc, sampler.GetAddressOf()));
}

bool SourceCore::createConvertProgram() {
    // Shaders of an earlier device, or half of a failed attempt, never survive into this one.
    convertVs.Reset();
    convertPs.Reset();
    convertTurnedPs.Reset();
    ComPtr<ID3DBlob> vs, ps;
    if (!compileProgram(kConvertShader, kConvertShaderLength, vs, ps, startupQuiet())) return shaderFailed();
    if (SUCCEEDED(device->CreateVertexShader(vs->GetBufferPointer(), vs->GetBufferSize(), nullptr, convertVs.GetAddressOf())) &&
        SUCCEEDED(device->CreatePixelShader(ps->GetBufferPointer(), ps->GetBufferSize(), nullptr, convertPs.GetAddressOf())))
        return true;
    convertVs.Reset();
    convertPs.Reset();
    return false;
}

// The pixel stage for images turned upright, compiled with the first ring that turns them.
bool SourceCore::createTurnedProgram() {
    ComPtr<ID3DBlob> ps;
    if (!compileShader(kConvertShader, kConvertShaderLength, "psturned", "ps_5_0", ps, startupQuiet())) return shaderFailed();
    convertTurnedPs.Reset();
    return SUCCEEDED(device->CreatePixelShader(ps->GetBufferPointer(), ps->GetBufferSize(), nullptr,
                                               convertTurnedPs.GetAddressOf()));
}

void SourceCore::releaseDeviceObjects() {
    releaseRing(false);
    convertVs.Reset();
    convertPs.Reset();
    convertTurnedPs.Reset();
    convertConstants.Reset();
    cursorVs.Reset();
    cursorPs.Reset();
    cursorConstants.Reset();
    cursorBlend.Reset();
    sampler.Reset();
    cursorTexture.Reset();
    cursorSrv.Reset();
    fence.Reset();
    fenceEvent.reset();
    adapter.Reset();
    factory.Reset();
    context4.Reset();
    context.Reset();
    device5.Reset();
    device.Reset();
    withdrawPublication();
    width = 0;
    height = 0;
    quarterTurns = 0;
    cursorTexWidth = 0;
    cursorTexHeight = 0;
}

bool SourceCore::consumerRemoved() {
    if (consumerLost) return true;
    if (!d3d12Device || SUCCEEDED(d3d12Device->GetDeviceRemovedReason())) return false;
    consumerLost = true;
    releaseRing(true);
    withdrawPublication();
    return true;
}

}  // namespace velda
