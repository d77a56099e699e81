// The DXGI and Direct3D 12 core of winsim: enumeration, descriptions, the ledger, capabilities,
// faults and the catalogue machines.
#include <algorithm>
#include <thread>
#include <vector>

#include <d3d12.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include "support/winsim_fixture.h"

using Microsoft::WRL::ComPtr;

namespace {

class DxgiTest : public WinsimTest {
protected:
    ComPtr<IDXGIFactory4> factory() {
        ComPtr<IDXGIFactory4> f;
        EXPECT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(f.GetAddressOf())), S_OK);
        return f;
    }
    ComPtr<IDXGIAdapter1> adapter0() {
        ComPtr<IDXGIAdapter1> a;
        EXPECT_EQ(factory()->EnumAdapters1(0, a.GetAddressOf()), S_OK);
        return a;
    }
};

TEST_F(DxgiTest, EnumeratesTheDefaultMachine) {
    auto adapter = adapter0();
    DXGI_ADAPTER_DESC1 desc{};
    ASSERT_EQ(adapter->GetDesc1(&desc), S_OK);
    EXPECT_EQ(desc.DedicatedVideoMemory, 8ull << 30);

    ComPtr<IDXGIOutput> output;
    ASSERT_EQ(adapter->EnumOutputs(1, output.GetAddressOf()), S_OK);
    DXGI_OUTPUT_DESC outDesc{};
    ASSERT_EQ(output->GetDesc(&outDesc), S_OK);
    EXPECT_STREQ(outDesc.DeviceName, L"\\\\.\\DISPLAY2");
    EXPECT_EQ(outDesc.DesktopCoordinates.left, 1920);
    EXPECT_EQ(outDesc.DesktopCoordinates.right, 1920 + 2560);
    EXPECT_EQ(outDesc.DesktopCoordinates.bottom, 1440);
    EXPECT_NE(outDesc.Monitor, nullptr);

    ComPtr<IDXGIOutput> none;
    EXPECT_EQ(adapter->EnumOutputs(2, none.GetAddressOf()), DXGI_ERROR_NOT_FOUND);
    EXPECT_EQ(none, nullptr);
    ComPtr<IDXGIAdapter1> second;
    EXPECT_EQ(factory()->EnumAdapters1(1, second.GetAddressOf()), DXGI_ERROR_NOT_FOUND);
}

TEST_F(DxgiTest, QueryInterfaceHandsOutTheSameObjectAtEveryLevel) {
    auto adapter = adapter0();
    ComPtr<IDXGIAdapter3> three;
    ASSERT_EQ(adapter.As(&three), S_OK);
    ComPtr<IUnknown> fromOne, fromThree;
    ASSERT_EQ(adapter.As(&fromOne), S_OK);
    ASSERT_EQ(three.As(&fromThree), S_OK);
    EXPECT_EQ(fromOne.Get(), fromThree.Get());
    ComPtr<IDXGIOutput> notAnOutput;
    EXPECT_EQ(adapter.As(&notAnOutput), E_NOINTERFACE);
    EXPECT_EQ(notAnOutput, nullptr);
}

TEST_F(DxgiTest, LedgerFollowsTheD3D12DeviceAndItsLastReference) {
    auto adapter = adapter0();
    ComPtr<IDXGIAdapter3> vram;
    ASSERT_EQ(adapter.As(&vram), S_OK);
    DXGI_QUERY_VIDEO_MEMORY_INFO info{};
    ASSERT_EQ(vram->QueryVideoMemoryInfo(0, DXGI_MEMORY_SEGMENT_GROUP_LOCAL, &info), S_OK);
    EXPECT_EQ(info.CurrentUsage, 0u);
    EXPECT_EQ(info.Budget, 8ull << 30);

    ComPtr<ID3D12Device> device;
    ASSERT_EQ(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(device.GetAddressOf())), S_OK);
    ASSERT_EQ(vram->QueryVideoMemoryInfo(0, DXGI_MEMORY_SEGMENT_GROUP_LOCAL, &info), S_OK);
    EXPECT_EQ(info.CurrentUsage, winsim::d3d12DeviceBaselineBytes());
    EXPECT_EQ(device->GetAdapterLuid().LowPart, 0x1000u);

    ComPtr<ID3D12Device> second = device;  // one more reference, same allocation
    device.Reset();
    EXPECT_EQ(winsim::vramUsage(0), winsim::d3d12DeviceBaselineBytes());
    second.Reset();
    EXPECT_EQ(winsim::vramUsage(0), 0u);
    EXPECT_EQ(vram->QueryVideoMemoryInfo(1, DXGI_MEMORY_SEGMENT_GROUP_LOCAL, &info), E_INVALIDARG);
}

TEST_F(DxgiTest, AnAdapterHasOneDirect3D12DeviceAtATime) {
    ComPtr<ID3D12Device> first, second;
    ASSERT_EQ(D3D12CreateDevice(adapter0().Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(first.GetAddressOf())), S_OK);
    ASSERT_EQ(D3D12CreateDevice(adapter0().Get(), D3D_FEATURE_LEVEL_11_0, IID_PPV_ARGS(second.GetAddressOf())), S_OK);
    EXPECT_EQ(first.Get(), second.Get()) << "the adapter's device, whichever factory found the adapter";
    EXPECT_EQ(winsim::vramUsage(0), winsim::d3d12DeviceBaselineBytes()) << "charged once";
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(D3D12CreateDevice(nullptr, D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(unknown.GetAddressOf())), S_OK);
    ComPtr<IUnknown> firstUnknown;
    ASSERT_EQ(first.As(&firstUnknown), S_OK);
    EXPECT_EQ(unknown.Get(), firstUnknown.Get()) << "through the interface asked for; null is the default adapter";
    EXPECT_EQ(D3D12CreateDevice(adapter0().Get(), D3D_FEATURE_LEVEL_12_0, __uuidof(IDXGIAdapter),
                                reinterpret_cast<void**>(unknown.ReleaseAndGetAddressOf())),
              E_NOINTERFACE);
    firstUnknown.Reset();
    first.Reset();
    second.Reset();
    EXPECT_EQ(winsim::vramUsage(0), 0u) << "released with its last reference";

    ASSERT_EQ(D3D12CreateDevice(adapter0().Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(first.GetAddressOf())), S_OK);
    EXPECT_EQ(winsim::vramUsage(0), winsim::d3d12DeviceBaselineBytes()) << "a new device";
    EXPECT_EQ(first->GetDeviceRemovedReason(), S_OK);
}

TEST_F(DxgiTest, ARemovedDirect3D12DeviceStaysTheAdaptersUntilReleased) {
    ComPtr<ID3D12Device> removed, again;
    ASSERT_EQ(D3D12CreateDevice(adapter0().Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(removed.GetAddressOf())), S_OK);
    winsim::removeDevices(0, DXGI_ERROR_DEVICE_RESET, 0);
    ASSERT_EQ(D3D12CreateDevice(adapter0().Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(again.GetAddressOf())), S_OK);
    EXPECT_EQ(again.Get(), removed.Get());
    EXPECT_EQ(again->GetDeviceRemovedReason(), DXGI_ERROR_DEVICE_RESET) << "the application must release it first";
    again.Reset();
    removed.Reset();
    ASSERT_EQ(D3D12CreateDevice(adapter0().Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(again.GetAddressOf())), S_OK);
    EXPECT_EQ(again->GetDeviceRemovedReason(), S_OK);
}

TEST_F(DxgiTest, ThreadsCreatingDevicesAtOnceShareOne) {
    constexpr int kThreads = 8;
    std::vector<ComPtr<ID3D12Device>> devices(kThreads);
    for (int round = 0; round < 20; ++round) {
        std::vector<std::thread> threads;
        for (auto& d : devices)
            threads.emplace_back([&d, adapter = adapter0()] {
                EXPECT_EQ(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(d.GetAddressOf())), S_OK);
            });
        for (auto& t : threads) t.join();
        for (const auto& d : devices) EXPECT_EQ(d.Get(), devices[0].Get());
        EXPECT_EQ(winsim::vramUsage(0), winsim::d3d12DeviceBaselineBytes());
        // Released from as many threads while the next device may be made.
        threads.clear();
        for (auto& d : devices) threads.emplace_back([&d] { d.Reset(); });
        ComPtr<ID3D12Device> meanwhile;
        ASSERT_EQ(D3D12CreateDevice(adapter0().Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(meanwhile.GetAddressOf())),
                  S_OK);
        for (auto& t : threads) t.join();
        EXPECT_EQ(meanwhile->GetDeviceRemovedReason(), S_OK);
        meanwhile.Reset();
        EXPECT_EQ(winsim::vramUsage(0), 0u);
    }
}

TEST_F(DxgiTest, EnumAdapterByLuidFindsOnlyKnownAdapters) {
    auto f = factory();
    ComPtr<IDXGIAdapter> found;
    EXPECT_EQ(f->EnumAdapterByLuid(LUID{0x1000, 0}, IID_PPV_ARGS(found.GetAddressOf())), S_OK);
    ComPtr<IDXGIAdapter> missing;
    EXPECT_EQ(f->EnumAdapterByLuid(LUID{0x1234, 0}, IID_PPV_ARGS(missing.GetAddressOf())), DXGI_ERROR_NOT_FOUND);
}

TEST_F(DxgiTest, FaultsSkipCountAndMatchAnIndex) {
    winsim::addFault({"IDXGIAdapter::EnumOutputs", E_FAIL, 1, 1, [](int index) { return index == 0; }});
    auto adapter = adapter0();
    ComPtr<IDXGIOutput> output;
    EXPECT_EQ(adapter->EnumOutputs(1, output.ReleaseAndGetAddressOf()), S_OK);  // other index: no match
    EXPECT_EQ(adapter->EnumOutputs(0, output.ReleaseAndGetAddressOf()), S_OK);  // skipped
    EXPECT_EQ(adapter->EnumOutputs(0, output.ReleaseAndGetAddressOf()), E_FAIL);
    EXPECT_EQ(adapter->EnumOutputs(0, output.ReleaseAndGetAddressOf()), S_OK);  // count spent
    EXPECT_EQ(winsim::callCount("IDXGIAdapter::EnumOutputs"), 4);
}

TEST_F(DxgiTest, KernelEventsWaitAndCloseOnce) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 1), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // auto-reset
    EXPECT_EQ(winsim::openHandleCount(), 1);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
}

struct CatalogueCase {
    const char* name;
    int outputs;
    bool adapter3;
    bool d3d12;
};

class CatalogueTest : public DxgiTest, public ::testing::WithParamInterface<CatalogueCase> {
protected:
    std::string machineName() const override { return GetParam().name; }
};

TEST_P(CatalogueTest, MachineHasItsOutputsAndCapabilities) {
    auto adapter = adapter0();
    int outputs = 0;
    for (ComPtr<IDXGIOutput> o; adapter->EnumOutputs(static_cast<UINT>(outputs), o.ReleaseAndGetAddressOf()) == S_OK;)
        ++outputs;
    EXPECT_EQ(outputs, GetParam().outputs);
    ComPtr<IDXGIAdapter3> three;
    EXPECT_EQ(SUCCEEDED(adapter.As(&three)), GetParam().adapter3);
    ComPtr<ID3D12Device> device;
    EXPECT_EQ(SUCCEEDED(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(device.GetAddressOf()))),
              GetParam().d3d12);
}

INSTANTIATE_TEST_SUITE_P(Machines, CatalogueTest,
                         ::testing::Values(CatalogueCase{"default", 2, true, true}, CatalogueCase{"single", 1, true, true},
                                           CatalogueCase{"headless", 0, true, true},
                                           CatalogueCase{"no-vram-query", 2, false, true},
                                           CatalogueCase{"no-d3d12", 2, true, false}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
