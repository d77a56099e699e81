// The catalogue of platform calls that the fault table can fail, by the names tests give them.
// A call site names itself through FaultCall, which only accepts a name of this list (at compile
// time), and addFault refuses every other name: a misspelt fault can neither be set nor checked.
#pragma once
#include <cstddef>
#include <optional>
#include <string_view>

namespace winsim {

inline constexpr const char* kFaultCalls[] = {
    // Win32
    "CreateEventW",
    "WaitForSingleObject",
    "GetCursorInfo",
    "GetMonitorInfoW",
    "SetThreadDpiAwarenessContext",
    "GetDisplayConfigBufferSizes",
    "QueryDisplayConfig",
    "DisplayConfigGetDeviceInfo",
    // DXGI
    "CreateDXGIFactory1",
    "CreateDXGIFactory2",
    "IDXGIFactory::EnumAdapters",
    "IDXGIFactory1::EnumAdapters1",
    "IDXGIFactory4::EnumAdapterByLuid",
    "IDXGIFactory6::EnumAdapterByGpuPreference",
    "IDXGIAdapter::EnumOutputs",
    "IDXGIAdapter3::QueryVideoMemoryInfo",
    "IDXGIOutput::GetDesc",
    "IDXGIOutput6::GetDesc1",
    "IDXGIOutput1::DuplicateOutput",
    "IDXGIOutput5::DuplicateOutput1",
    "IDXGIOutputDuplication::AcquireNextFrame",
    "IDXGIOutputDuplication::GetFramePointerShape",
    "IDXGIOutputDuplication::ReleaseFrame",
    "IDXGIResource1::CreateSharedHandle",
    // Direct3D 11
    "D3D11CreateDevice",
    "ID3D11Device::CreateTexture2D",
    "ID3D11Device::CreateRenderTargetView",
    "ID3D11Device::CreateShaderResourceView",
    "ID3D11Device::CreateBuffer",
    "ID3D11Device::CreateVertexShader",
    "ID3D11Device::CreatePixelShader",
    "ID3D11Device::CreateBlendState",
    "ID3D11Device::CreateSamplerState",
    "ID3D11Device5::CreateFence",
    "ID3D11DeviceContext::Map",
    "ID3D11DeviceContext4::Signal",
    "ID3D11Fence::SetEventOnCompletion",
    // The Windows Runtime and Windows.Graphics.Capture
    "RoInitialize",
    "RoGetActivationFactory",
    "WindowsCreateString",
    "CreateDirect3D11DeviceFromDXGIDevice",
    "IDirect3DDxgiInterfaceAccess::GetInterface",
    "IGraphicsCaptureItemInterop::CreateForMonitor",
    "IDirect3D11CaptureFramePoolStatics2::CreateFreeThreaded",
    "IDirect3D11CaptureFramePool::Recreate",
    "IDirect3D11CaptureFramePool::TryGetNextFrame",
    "IDirect3D11CaptureFramePool::CreateCaptureSession",
    "IGraphicsCaptureSession::StartCapture",
    // Direct3D 12
    "D3D12CreateDevice",
    "D3D12GetDebugInterface",
    "ID3D12Device::OpenSharedHandle",
    "ID3D12Device::CreateCommittedResource",
    "ID3D12Device::CreateCommandQueue",
    "ID3D12Device::CreateCommandAllocator",
    "ID3D12Device::CreateCommandList",
    "ID3D12Device::CreateFence",
    "ID3D12Device::CreateDescriptorHeap",
    // The HLSL compiler
    "D3DCompile",
    "D3DCreateBlob",
};
inline constexpr size_t kFaultCallCount = std::size(kFaultCalls);

// The catalogue index of `name`, if it is there.
constexpr std::optional<size_t> findFaultCall(std::string_view name) {
    for (size_t i = 0; i < kFaultCallCount; ++i)
        if (name == kFaultCalls[i]) return i;
    return std::nullopt;
}

// One call of the catalogue, named at compile time: a name that is not in the list does not compile.
class FaultCall {
public:
    consteval FaultCall(const char* name) : index_(indexOf(name)) {}  // NOLINT: implicit on purpose

    size_t index() const { return index_; }
    const char* name() const { return kFaultCalls[index_]; }

private:
    static consteval size_t indexOf(const char* name) {
        const auto found = findFaultCall(name);
        if (!found) throw "not a call of the fault catalogue";  // ill-formed at compile time
        return *found;
    }
    size_t index_;
};

}  // namespace winsim
