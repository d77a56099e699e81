// Bringing a source up: the fallback ring, failures at each stage and what resume makes of them,
// restarts on a new device.
#include <gtest/gtest.h>

#include <string>

#include "support/running_source.h"
#include "winsim/control.h"
#include "winsim/monitors.h"

using Microsoft::WRL::ComPtr;
using velda::DuplicationSource;

namespace {

class StartTest : public SourceFixture {
protected:
    // Starts `source` and returns what start printed on standard error.
    std::string startCapturingErrors(DuplicationSource& source, bool& started) {
        testing::internal::CaptureStderr();
        started = source.start(d3d12.Get());
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(StartTest, WithoutADuplicationTheRingIsSizedFromTheDesktopAndCaptureFollowsLater) {
    winsim::setSecureDesktop(true);  // duplication is refused while it shows
    DuplicationSource source(1);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ASSERT_TRUE(source.start(d3d12.Get()));
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "capture: output 1 \"\\\\.\\DISPLAY2\" 2560x1440, 12 mips, 3-buffer ring\n");
    EXPECT_NE(err.find("capture: DuplicateOutput failed (0x80070005)"), std::string::npos) << err;
    EXPECT_EQ(source.width(), 2560u);
    uint32_t generation = 99;
    EXPECT_EQ(source.latest(&generation), -1);
    EXPECT_EQ(generation, 0u) << "the fallback ring is no new generation";

    winsim::setSecureDesktop(false);
    EXPECT_TRUE(eventually([&] { return source.latest(nullptr) >= 0; })) << "the capture thread acquires later";
    source.stop();
}

TEST_F(StartTest, AWrongOutputIndexNamesTheIndex) {
    DuplicationSource source(5);
    bool started = true;
    EXPECT_EQ(startCapturingErrors(source, started),
              "capture: output 5 not found on the render adapter (monitor unplugged? wrong --monitor?)\n");
    EXPECT_FALSE(started);
    EXPECT_NE(impl(source).adapter, nullptr) << "the adapter stays until stop";
    source.stop();
    EXPECT_EQ(impl(source).adapter, nullptr);
}

TEST_F(StartTest, ABrokenConversionProgramStillStarts) {
    // The cursor program compiles first (two entry points); the conversion program's vertex stage fails.
    winsim::addFault({"D3DCompile", E_FAIL, 2, 1});
    DuplicationSource source(0);
    bool started = false;
    EXPECT_EQ(startCapturingErrors(source, started), "capture shader vsmain: compile failed\n");
    EXPECT_TRUE(started);
    EXPECT_EQ(impl(source).convertVs, nullptr);
    EXPECT_EQ(impl(source).convertPs, nullptr);
    EXPECT_NE(impl(source).convertConstants, nullptr);
    source.stop();
}

TEST_F(StartTest, ABrokenCursorProgramFailsAfterTheDeviceExistsSoResumeDoesNotRetry) {
    winsim::addFault({"D3DCompile", E_FAIL, 1, 1});
    DuplicationSource source(0);
    bool started = true;
    EXPECT_EQ(startCapturingErrors(source, started), "capture shader psmain: compile failed\n");
    EXPECT_FALSE(started);
    EXPECT_EQ(winsim::callCount("D3DCompile"), 2) << "the pixel stage is tried only after the vertex stage";
    EXPECT_TRUE(source.resume());
    EXPECT_EQ(winsim::callCount("D3D11CreateDevice"), 1);
    EXPECT_FALSE(impl(source).worker.joinable());
}

TEST_F(StartTest, AFailureBeforeTheDeviceExistsIsRetriedByResume) {
    winsim::addFault({"D3D11CreateDevice", E_FAIL, 0, 1});
    DuplicationSource source(0);
    bool started = true;
    EXPECT_EQ(startCapturingErrors(source, started), "capture: D3D11 device creation failed\n");
    EXPECT_FALSE(started);
    EXPECT_TRUE(source.resume());
    EXPECT_TRUE(impl(source).worker.joinable());
    source.stop();
}

class FencelessStartTest : public StartTest {
protected:
    std::string machineName() const override { return "single"; }
    void SetUp() override {
        StartTest::SetUp();
        winsim::MachineConfig machine;
        winsim::scenario("single", machine);
        machine.adapters[0].exposesContext4 = false;
        // Same adapter LUID, so the Direct3D 12 device of the fixture still finds it.
        winsim::useMachine(machine);
        d3d12.Reset();
        ComPtr<IDXGIFactory4> factory;
        ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
        ComPtr<IDXGIAdapter1> adapter;
        ASSERT_EQ(factory->EnumAdapters1(0, adapter.GetAddressOf()), S_OK);
        ASSERT_EQ(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(d3d12.GetAddressOf())), S_OK);
    }
};

TEST_F(FencelessStartTest, MissingFenceInterfacesAreReported) {
    DuplicationSource source(0);
    bool started = true;
    EXPECT_EQ(startCapturingErrors(source, started), "capture: D3D11.4 (fences) unavailable\n");
    EXPECT_FALSE(started);
    EXPECT_NE(impl(source).device, nullptr);
    EXPECT_TRUE(source.resume()) << "the device exists: taken as running";
}

TEST_F(StartTest, StartOnARunningSourceChangesNothing) {
    DuplicationSource source(0);
    ASSERT_TRUE(source.start(d3d12.Get()));
    ID3D11Device* device = impl(source).device.Get();
    EXPECT_FALSE(source.start(d3d12.Get()));
    EXPECT_TRUE(source.resume());
    EXPECT_EQ(impl(source).device.Get(), device);
    source.stop();
}

TEST_F(StartTest, ARestartMakesANewDeviceFenceAndEventAndCarriesTheFenceValueOn) {
    DuplicationSource source(0);
    ASSERT_TRUE(startWithoutThread(source));
    ComPtr<ID3D11Device> firstDevice = impl(source).device;
    const HANDLE firstEvent = impl(source).fenceEvent.get();
    impl(source).fenceValue = 41;
    source.stop();
    EXPECT_EQ(impl(source).fenceEvent, nullptr);
    ASSERT_TRUE(source.resume());
    EXPECT_NE(impl(source).device.Get(), firstDevice.Get());
    EXPECT_NE(impl(source).fenceEvent.get(), firstEvent);
    EXPECT_EQ(impl(source).fence->GetCompletedValue(), 0u);
    EXPECT_TRUE(eventually([&] { return source.latest(nullptr) >= 0; }));
    source.stop();
    EXPECT_GT(impl(source).fenceValue, 41u) << "signals go on counting from the old value";
    firstDevice.Reset();
}

}  // namespace
