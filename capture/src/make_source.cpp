// Choosing the source for a monitor: Desktop Duplication where the consumer's adapter can
// duplicate it, else Windows.Graphics.Capture, which reaches a monitor of any adapter.
#include <d3d12.h>

#include "dpi_scope.h"
#include "impl.h"
#include "velda/monitors.h"

namespace velda {
namespace {

// The index of `monitor` among the outputs of `adapter`; -1 when it lists no such monitor.
int32_t outputOf(IDXGIAdapter* adapter, HMONITOR monitor, ComPtr<IDXGIOutput1>& found) {
    ComPtr<IDXGIOutput> output;
    for (UINT i = 0; SUCCEEDED(adapter->EnumOutputs(i, output.ReleaseAndGetAddressOf())); ++i) {
        DXGI_OUTPUT_DESC desc{};
        if (FAILED(output->GetDesc(&desc)) || desc.Monitor != monitor) continue;
        if (FAILED(output.As(&found))) return -1;
        return static_cast<int32_t>(i);
    }
    return -1;
}

// Whether a duplication of `output` is refused as unsupported (the monitor is driven by another
// adapter of a hybrid machine), tried on a device of the adapter's own. Other failures pass: they
// are a duplication's to retry.
bool duplicationRefused(IDXGIAdapter* adapter, IDXGIOutput1* output) {
    ComPtr<ID3D11Device> probe;
    if (FAILED(D3D11CreateDevice(adapter, D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                 probe.GetAddressOf(), nullptr, nullptr)))
        return false;
    const PerMonitorDpiScope aware;
    ComPtr<IDXGIOutputDuplication> duplication;
    return output->DuplicateOutput(probe.Get(), duplication.GetAddressOf()) == DXGI_ERROR_UNSUPPORTED;
}

// The device's adapter, and the index of `monitor` among its outputs (-1 for none).
int32_t listedOn(ID3D12Device* device, HMONITOR monitor, ComPtr<IDXGIAdapter>& adapter, ComPtr<IDXGIOutput1>& output) {
    ComPtr<IDXGIFactory4> factory;
    if (FAILED(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf()))) ||
        FAILED(factory->EnumAdapterByLuid(device->GetAdapterLuid(), IID_PPV_ARGS(adapter.GetAddressOf()))))
        return -1;
    return outputOf(adapter.Get(), monitor, output);
}

}  // namespace

std::unique_ptr<FrameSource> makeSource(HMONITOR monitor, ID3D12Device* device) {
    if (!device) return nullptr;
    ComPtr<IDXGIAdapter> adapter;
    ComPtr<IDXGIOutput1> output;
    const int32_t index = listedOn(device, monitor, adapter, output);
    if (index >= 0 && !duplicationRefused(adapter.Get(), output.Get())) return std::make_unique<DuplicationSource>(index);
    if (auto captured = makeGraphicsCaptureSource(monitor)) return captured;
    // Without the other source the duplication is all there is; an output the adapter does not
    // list fails at start with its own line.
    return std::make_unique<DuplicationSource>(index);
}

std::unique_ptr<FrameSource> makeSource(HMONITOR monitor, ID3D12Device* device, CaptureMethod method) {
    if (!device) return nullptr;
    if (method == CaptureMethod::GraphicsCapture) return makeGraphicsCaptureSource(monitor);
    ComPtr<IDXGIAdapter> adapter;
    ComPtr<IDXGIOutput1> output;
    return std::make_unique<DuplicationSource>(listedOn(device, monitor, adapter, output));
}

}  // namespace velda
