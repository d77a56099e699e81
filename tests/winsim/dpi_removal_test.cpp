// Two field rules of Windows that winsim models: DPI awareness (the process's from its manifest or
// one call, each thread's own, virtualised positions on a scaled monitor, DuplicateOutput1 only for
// per-monitor-aware threads) and lost devices (every call fails with the reason, fences count as
// reached, duplications lose access, new devices only after a while).
#include <shellscalingapi.h>

#include <thread>

#include "d3d11_support.h"
#include "winsim/monitors.h"

namespace {

class UnawareProcessTest : public D3D11Test {
protected:
    bool takesEnvironmentVariants() const override { return false; }  // dpi-process has its own test
    std::string machineName() const override { return "dpi-scaled"; }  // DISPLAY2 at 150 %
    DPI_AWARENESS_CONTEXT manifestDpiAwareness() const override { return nullptr; }
};

TEST_F(UnawareProcessTest, TheProcessAwarenessIsSetOnceAndThreadsMayDiffer) {
    EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), DPI_AWARENESS_CONTEXT_UNAWARE));
    EXPECT_EQ(SetThreadDpiAwarenessContext(reinterpret_cast<DPI_AWARENESS_CONTEXT>(-9)), nullptr);
    const DPI_AWARENESS_CONTEXT before = SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    EXPECT_TRUE(AreDpiAwarenessContextsEqual(before, DPI_AWARENESS_CONTEXT_UNAWARE));
    std::thread other([] {  // another thread follows the process, not this thread
        EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), DPI_AWARENESS_CONTEXT_UNAWARE));
    });
    other.join();
    SetThreadDpiAwarenessContext(before);
    ASSERT_TRUE(SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_SYSTEM_AWARE));
    EXPECT_FALSE(SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    std::thread later([] {  // a thread without an awareness of its own follows the new process default
        EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), DPI_AWARENESS_CONTEXT_SYSTEM_AWARE));
    });
    later.join();
    EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), DPI_AWARENESS_CONTEXT_UNAWARE))
        << "this thread keeps the awareness it set";
}

TEST_F(UnawareProcessTest, AScaledMonitorIsVirtualisedForUnawareThreads) {
    winsim::setCursorMoving(false);
    winsim::setCursorPosition(1920 + 300, 600);
    CURSORINFO info{sizeof(CURSORINFO), 0, nullptr, {}};
    ASSERT_TRUE(GetCursorInfo(&info));
    EXPECT_EQ(info.ptScreenPos.x, 1920 + 200);
    EXPECT_EQ(info.ptScreenPos.y, 400);
    ComPtr<IDXGIOutput> output;
    ASSERT_EQ(adapter->EnumOutputs(1, &output), S_OK);
    DXGI_OUTPUT_DESC desc{};
    ASSERT_EQ(output->GetDesc(&desc), S_OK);
    UINT x = 0, y = 0;
    ASSERT_EQ(GetDpiForMonitor(desc.Monitor, MDT_EFFECTIVE_DPI, &x, &y), S_OK);
    EXPECT_EQ(x, 96u);

    const DPI_AWARENESS_CONTEXT before = SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    ASSERT_TRUE(GetCursorInfo(&info));
    EXPECT_EQ(info.ptScreenPos.x, 1920 + 300) << "physical pixels";
    ASSERT_EQ(GetDpiForMonitor(desc.Monitor, MDT_EFFECTIVE_DPI, &x, &y), S_OK);
    EXPECT_EQ(x, 144u);
    SetThreadDpiAwarenessContext(before);
}

TEST_F(UnawareProcessTest, FormatAwareDuplicationNeedsAPerMonitorAwareCaller) {
    ComPtr<IDXGIOutput> found;
    ComPtr<IDXGIOutput5> output;
    ASSERT_EQ(adapter->EnumOutputs(1, &found), S_OK);
    ASSERT_EQ(found.As(&output), S_OK);
    const DXGI_FORMAT formats[] = {DXGI_FORMAT_R16G16B16A16_FLOAT, DXGI_FORMAT_B8G8R8A8_UNORM};
    ComPtr<IDXGIOutputDuplication> duplication;
    EXPECT_EQ(output->DuplicateOutput1(device.Get(), 0, 2, formats, &duplication), E_INVALIDARG);
    ASSERT_EQ(winsim::debugMessageCount(), 1);
    EXPECT_NE(winsim::debugMessages()[0].find("DuplicateOutput1_PerMonitorDpiRequired"), std::string::npos);
    winsim::resetDebugLayer();
    EXPECT_EQ(output->DuplicateOutput(device.Get(), &duplication), S_OK) << "the older call works through a shim";
    duplication.Reset();
    const DPI_AWARENESS_CONTEXT before = SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    EXPECT_EQ(output->DuplicateOutput1(device.Get(), 0, 2, formats, &duplication), S_OK);
    SetThreadDpiAwarenessContext(before);
}

class RemovedDeviceTest : public D3D11Test {};

TEST_F(RemovedDeviceTest, EveryCallFailsWithTheReasonAndFencesCountAsReached) {
    ComPtr<ID3D11Fence> fence = newFence();
    ComPtr<IDXGIOutput> found;
    ComPtr<IDXGIOutputDuplication> duplication;
    ASSERT_EQ(adapter->EnumOutputs(0, &found), S_OK);
    ComPtr<IDXGIOutput1> output;
    ASSERT_EQ(found.As(&output), S_OK);
    ASSERT_EQ(output->DuplicateOutput(device.Get(), &duplication), S_OK);
    ComPtr<ID3D12Device> d3d12;
    ASSERT_EQ(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_11_0, IID_PPV_ARGS(&d3d12)), S_OK);

    winsim::removeDevices(0, DXGI_ERROR_DEVICE_RESET, 60000);
    EXPECT_EQ(device->GetDeviceRemovedReason(), DXGI_ERROR_DEVICE_RESET);
    EXPECT_EQ(d3d12->GetDeviceRemovedReason(), DXGI_ERROR_DEVICE_RESET);
    ComPtr<ID3D11Texture2D> t;
    const D3D11_TEXTURE2D_DESC d = desc(8, 8);
    EXPECT_EQ(device->CreateTexture2D(&d, nullptr, &t), DXGI_ERROR_DEVICE_RESET);
    EXPECT_EQ(fence->GetCompletedValue(), UINT64_MAX);
    DXGI_OUTDUPL_FRAME_INFO info{};
    ComPtr<IDXGIResource> resource;
    EXPECT_EQ(duplication->AcquireNextFrame(0, &info, &resource), DXGI_ERROR_ACCESS_LOST);
    ComPtr<ID3D12Fence> fence12;
    EXPECT_EQ(d3d12->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&fence12)), DXGI_ERROR_DEVICE_RESET);
    ComPtr<ID3D11Device> fresh;
    EXPECT_EQ(D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION, &fresh,
                                nullptr, nullptr),
              DXGI_ERROR_DEVICE_RESET)
        << "no new device during the blackout";
}

TEST_F(RemovedDeviceTest, OneHungDeviceGoesAloneAndANewOneWorks) {
    ComPtr<ID3D11Device> other;
    ASSERT_EQ(D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION, &other,
                                nullptr, nullptr),
              S_OK);
    ASSERT_TRUE(winsim::removeDevice(device.Get()));
    EXPECT_EQ(device->GetDeviceRemovedReason(), DXGI_ERROR_DEVICE_HUNG);
    EXPECT_EQ(other->GetDeviceRemovedReason(), S_OK);
    ComPtr<ID3D11Texture2D> t;
    const D3D11_TEXTURE2D_DESC d = desc(8, 8);
    EXPECT_EQ(other->CreateTexture2D(&d, nullptr, &t), S_OK);
}

class DeviceRemovedScenarioTest : public D3D11Test {
protected:
    std::string machineName() const override { return "device-removed"; }
};

TEST_F(DeviceRemovedScenarioTest, DevicesGoThreeSecondsAfterTheFirstDuplicationAndComeBackASecondLater) {
    ComPtr<IDXGIOutput> found;
    ComPtr<IDXGIOutput1> output;
    ASSERT_EQ(adapter->EnumOutputs(0, &found), S_OK);
    ASSERT_EQ(found.As(&output), S_OK);
    ComPtr<IDXGIOutputDuplication> duplication;
    ASSERT_EQ(output->DuplicateOutput(device.Get(), &duplication), S_OK);
    const auto start = std::chrono::steady_clock::now();
    HRESULT hr = S_OK;
    while (SUCCEEDED(hr = device->GetDeviceRemovedReason()) && std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        DXGI_OUTDUPL_FRAME_INFO info{};
        ComPtr<IDXGIResource> resource;
        if (duplication->AcquireNextFrame(50, &info, &resource) == S_OK) duplication->ReleaseFrame();
    }
    EXPECT_EQ(hr, DXGI_ERROR_DEVICE_REMOVED);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2900));
    ComPtr<ID3D11Device> fresh;
    HRESULT created = E_FAIL;
    for (int i = 0; i < 600 && FAILED(created); ++i) {
        created = D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                    fresh.ReleaseAndGetAddressOf(), nullptr, nullptr);
        if (FAILED(created)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(created, S_OK) << "a new device once the blackout is over";
    EXPECT_EQ(fresh->GetDeviceRemovedReason(), S_OK);
}

}  // namespace
