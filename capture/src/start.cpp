// Capture start-up: the render adapter, the private device with its fence, the two shader
// programs and pipeline objects, the first acquisition (or a ring sized from the desktop), the
// banner and the capture thread.
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

void DuplicationSource::Impl::startupFailure(const char* format, ...) {
    if (startupQuiet()) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    if (deviceLost) recreateReported = true;
}

DuplicationSource::Impl::AdapterLookup DuplicationSource::Impl::openAdapter(ID3D12Device* caller, bool newFactory) {
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

// A factory's outputs are those of the moment it was made (the adapter's too): after a display
// change (IsCurrent FALSE) a new factory finds the render adapter again, as Microsoft's
// device-resources templates do. A current factory is kept, and asked again for a missing adapter.
bool DuplicationSource::Impl::refreshAdapter() {
    const bool current = factory && factory->IsCurrent();
    if (current && adapter) return true;
    const AdapterLookup found = d3d12Device ? openAdapter(d3d12Device, !current) : AdapterLookup::NotFound;
    if (found == AdapterLookup::Found) return true;
    if (found == AdapterLookup::NoFactory) return false;  // retried quietly, as at start
    if (!failureReported) std::fprintf(stderr, "capture: render adapter not found by LUID\n");
    failureReported = true;
    return false;
}

bool DuplicationSource::Impl::openOutput(ID3D12Device* caller, DXGI_OUTPUT_DESC& desc) {
    if (const AdapterLookup found = openAdapter(caller, true); found != AdapterLookup::Found) {
        if (found == AdapterLookup::NotFound) startupFailure("capture: render adapter not found by LUID\n");
        return false;
    }
    ComPtr<IDXGIOutput> enumerated;
    if (FAILED(adapter->EnumOutputs(static_cast<UINT>(outputIndex), enumerated.GetAddressOf()))) {
        startupFailure("capture: output %d not found on the render adapter (monitor unplugged? wrong --monitor?)\n",
                       outputIndex);
        return false;
    }
    output.Reset();
    if (FAILED(enumerated.As(&output))) return false;
    output->GetDesc(&desc);
    return true;
}

bool DuplicationSource::Impl::createDevice() {
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
    fence.Reset();
    if (FAILED(device5->CreateFence(0, D3D11_FENCE_FLAG_NONE, IID_PPV_ARGS(fence.GetAddressOf())))) return false;
    // An event that a failed start left behind is closed before the new one is made.
    fenceEvent.reset();
    fenceEvent.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    return fenceEvent != nullptr;
}

bool DuplicationSource::Impl::createPipeline() {
    const bool created = createPipelineObjects();
    nameDeviceObjects();
    return created;
}

bool DuplicationSource::Impl::createPipelineObjects() {
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
    // here too while rotation correction is on, else with the first ring that turns its images.
    if (createConvertProgram() && rotationCorrected) createTurnedProgram();
    convertConstants.Reset();
    if (FAILED(device->CreateBuffer(&constants, nullptr, convertConstants.GetAddressOf()))) return false;

    const D3D11_BLEND_DESC blend = cursorBlendDesc();
    cursorBlend.Reset();
    if (FAILED(device->CreateBlendState(&blend, cursorBlend.GetAddressOf()))) return false;
    const D3D11_SAMPLER_DESC samplerDesc = pointClampSamplerDesc();
    sampler.Reset();
    return SUCCEEDED(device->CreateSamplerState(&samplerDesc, sampler.GetAddressOf()));
}

bool DuplicationSource::Impl::createConvertProgram() {
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
bool DuplicationSource::Impl::createTurnedProgram() {
    ComPtr<ID3DBlob> ps;
    if (!compileShader(kConvertShader, kConvertShaderLength, "psturned", "ps_5_0", ps, startupQuiet())) return shaderFailed();
    convertTurnedPs.Reset();
    return SUCCEEDED(device->CreatePixelShader(ps->GetBufferPointer(), ps->GetBufferSize(), nullptr,
                                               convertTurnedPs.GetAddressOf()));
}

bool DuplicationSource::Impl::start(ID3D12Device* caller) {
    if (worker.joinable()) return false;  // already running: nothing changes
    consumerLost = false;
    deviceLost = false;
    // Stored before anything can fail, so that resume can always retry on it.
    d3d12Device = caller;
    DXGI_OUTPUT_DESC desc{};
    if (!openOutput(caller, desc) || !createDevice() || !createPipeline()) return false;

    if (!acquireDuplication(true) && (width == 0 || height == 0)) {
        // No duplication yet: size the ring from the desktop; the capture thread keeps trying. A
        // monitor waking from sleep may report an empty desktop: then the capture thread builds
        // the ring once a duplication tells the mode.
        quarterTurns = 0;
        const RECT& r = desc.DesktopCoordinates;
        const bool empty = r.right <= r.left || r.bottom <= r.top;
        width = empty ? 0 : static_cast<uint32_t>(r.right - r.left);
        height = empty ? 0 : static_cast<uint32_t>(r.bottom - r.top);
        if (!empty && !rebuildRing()) return false;
    }
    std::printf("capture: output %d \"%ls\" %ux%u, %u mips, %d-buffer ring\n", outputIndex, desc.DeviceName,
                width.load(), height.load(), mipLevels.load(), kRingSize);
    stopRequested.exchange(false);
    worker = std::thread([this] { run(); });
    return true;
}

}  // namespace velda
