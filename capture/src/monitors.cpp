// The desktop's monitors, from a DXGI factory's adapters and their outputs.
#include "velda/monitors.h"

#include <dxgi1_6.h>
#include <wrl/client.h>

#include <algorithm>

#include "dpi_scope.h"

namespace velda {
namespace {

using Microsoft::WRL::ComPtr;

bool isHdr(IDXGIOutput* output) {
    ComPtr<IDXGIOutput6> output6;
    DXGI_OUTPUT_DESC1 desc{};
    return SUCCEEDED(output->QueryInterface(IID_PPV_ARGS(output6.GetAddressOf()))) &&
           SUCCEEDED(output6->GetDesc1(&desc)) && desc.ColorSpace == DXGI_COLOR_SPACE_RGB_FULL_G2084_NONE_P2020;
}

bool listed(const std::vector<MonitorInfo>& found, HMONITOR handle) {
    return std::any_of(found.begin(), found.end(), [&](const MonitorInfo& m) { return m.handle == handle; });
}

void addOutputs(IDXGIAdapter1* adapter, std::vector<MonitorInfo>& found) {
    DXGI_ADAPTER_DESC1 adapterDesc{};
    if (FAILED(adapter->GetDesc1(&adapterDesc))) return;
    ComPtr<IDXGIOutput> output;
    for (UINT i = 0; SUCCEEDED(adapter->EnumOutputs(i, output.ReleaseAndGetAddressOf())); ++i) {
        DXGI_OUTPUT_DESC desc{};
        if (FAILED(output->GetDesc(&desc)) || !desc.AttachedToDesktop || listed(found, desc.Monitor)) continue;
        found.push_back(MonitorInfo{desc.Monitor, desc.DeviceName, desc.DesktopCoordinates, desc.Rotation,
                                    isHdr(output.Get()), adapterDesc.AdapterLuid, static_cast<int32_t>(i)});
    }
}

}  // namespace

std::vector<MonitorInfo> monitors() {
    const PerMonitorDpiScope aware;  // desktop coordinates in physical pixels
    std::vector<MonitorInfo> found;
    ComPtr<IDXGIFactory1> factory;
    if (FAILED(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())))) return found;
    ComPtr<IDXGIAdapter1> adapter;
    for (UINT i = 0; SUCCEEDED(factory->EnumAdapters1(i, adapter.ReleaseAndGetAddressOf())); ++i)
        addOutputs(adapter.Get(), found);
    return found;
}

}  // namespace velda
