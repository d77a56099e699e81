// Bringing a source up: the fallback ring, failures at each stage and what resume makes of them,
// restarts on a new device.
#include <gtest/gtest.h>

#include <string>

#include "support/d3d12_readback.h"
#include "support/running_source.h"
#include "winsim/control.h"
#include "winsim/monitors.h"

using Microsoft::WRL::ComPtr;
using velda::DuplicationSource;

namespace {

class StartTest : public SourceFixture {
protected:
    // Exact start-up lines on the documented platform.
    bool takesEnvironmentVariants() const override { return false; }
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

// A small HDR desktop on output 1, whose frames go through the conversion pass.
class ConversionRetryTest : public StartTest {
protected:
    void adjustMachine(winsim::MachineConfig& config) const override {
        config.adapters[0].outputs[1].width = 320;
        config.adapters[0].outputs[1].height = 180;
        config.movingCursor = false;
    }
    void SetUp() override {
        StartTest::SetUp();
        winsim::setCursorVisible(false);
    }

    // The newest frame's middle pixel, read while the source is paused.
    uint8_t middleOfNewestFrame(DuplicationSource& source) {
        const uint64_t before = impl(source).framesProducedNow();
        EXPECT_TRUE(eventually([&] { return impl(source).framesProducedNow() > before; }));
        source.setPaused(true);
        EXPECT_TRUE(eventually([&] { return !impl(source).liveNow(); }));
        const auto pixels = readRgba8(d3d12.Get(), source.texture(source.latest(nullptr)));
        source.setPaused(false);
        return pixels.size() == 320u * 180u * 4u ? pixels[(90u * 320u + 160u) * 4u] : 0;
    }
};

TEST_F(ConversionRetryTest, AConversionProgramThatFailedOnceIsMadeWhenTheRingIsBuilt) {
    for (const char* call : {"D3DCompile", "ID3D11Device::CreateVertexShader", "ID3D11Device::CreatePixelShader"}) {
        SCOPED_TRACE(call);
        // The cursor program is compiled and created first: its two compilations, one shader each.
        const int cursorCalls = std::string(call) == "D3DCompile" ? 2 : 1;
        const int id = winsim::addFault({call, E_FAIL, cursorCalls, 1});
        DuplicationSource source(1);
        bool started = false;
        const std::string errors = startCapturingErrors(source, started);
        ASSERT_TRUE(started);
        EXPECT_EQ(winsim::faultHits(id), 1);
        EXPECT_EQ(errors, cursorCalls == 2 ? "capture shader vsmain: compile failed\n" : "") << "said once, at start";
        EXPECT_NE(impl(source).convertVs, nullptr);
        EXPECT_NE(impl(source).convertPs, nullptr);
        EXPECT_GT(middleOfNewestFrame(source), 40) << "the HDR desktop is converted, not left black";
        source.stop();
        winsim::clearFaults();
    }
}

TEST_F(ConversionRetryTest, AConversionProgramThatCannotBeMadeIsTriedAgainByEachRingBuild) {
    winsim::addFault({"ID3D11Device::CreatePixelShader", E_OUTOFMEMORY, 1, 2});  // start's attempt and the first ring's
    DuplicationSource source(1);
    bool started = false;
    EXPECT_EQ(startCapturingErrors(source, started), "");
    ASSERT_TRUE(started);
    EXPECT_EQ(impl(source).convertVs, nullptr) << "no half of the program is kept";
    EXPECT_EQ(middleOfNewestFrame(source), 0) << "the pass is skipped while the program cannot be made";
    // The next ring, for a new mode, makes it.
    winsim::setOutputMode(1, 320, 180, DXGI_FORMAT_R10G10B10A2_UNORM);
    ASSERT_TRUE(eventually([&] {
        uint32_t generation = 0;
        return source.latest(&generation) >= 0 && generation >= 2;
    }));
    EXPECT_GT(middleOfNewestFrame(source), 20);
    source.stop();
}

TEST_F(StartTest, ABrokenCursorProgramFailsAfterTheDeviceExistsAndResumeStartsAgain) {
    winsim::addFault({"D3DCompile", E_FAIL, 1, 1});
    DuplicationSource source(0);
    bool started = true;
    EXPECT_EQ(startCapturingErrors(source, started), "capture shader psmain: compile failed\n");
    EXPECT_FALSE(started);
    EXPECT_EQ(winsim::callCount("D3DCompile"), 2) << "the pixel stage is tried only after the vertex stage";
    EXPECT_TRUE(source.resume()) << "the failure has passed";
    EXPECT_EQ(winsim::callCount("D3D11CreateDevice"), 2) << "a new device, not the failed start's";
    EXPECT_TRUE(impl(source).worker.joinable()) << "resume reports success only when the source runs";
    source.stop();
}

TEST_F(StartTest, ResumeAfterAFailedStartReportsTheNewFailure) {
    winsim::addFault({"ID3D11Device::CreateSamplerState", E_OUTOFMEMORY, 0, 2});
    DuplicationSource source(0);
    bool started = true;
    startCapturingErrors(source, started);
    EXPECT_FALSE(started);
    EXPECT_FALSE(source.resume()) << "the failure lasts";
    EXPECT_FALSE(impl(source).worker.joinable());
    EXPECT_TRUE(source.resume());
    EXPECT_TRUE(impl(source).worker.joinable());
    source.stop();
}

TEST_F(StartTest, AFailureBeforeTheDeviceExistsIsRetriedByResume) {
    winsim::addFault({"D3D11CreateDevice", E_FAIL, 0, 1});
    DuplicationSource source(0);
    bool started = true;
    EXPECT_EQ(startCapturingErrors(source, started), "capture: D3D11 device creation failed\n");
    EXPECT_FALSE(started);
    winsim::addFault({"CreateDXGIFactory1", E_FAIL, 0, 1});
    EXPECT_EQ(startCapturingErrors(source, started), "") << "a factory that cannot be made finds no adapter to name";
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
    testing::internal::CaptureStderr();
    EXPECT_FALSE(source.resume()) << "the device exists, but nothing runs: start again, and fail again";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "capture: D3D11.4 (fences) unavailable\n");
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
    source.setPaused(true);  // no frame signals the new fence before it is looked at
    ASSERT_TRUE(source.resume());
    EXPECT_NE(impl(source).device.Get(), firstDevice.Get());
    EXPECT_NE(impl(source).fenceEvent.get(), firstEvent);
    EXPECT_EQ(impl(source).fence->GetCompletedValue(), 0u);
    source.setPaused(false);
    EXPECT_TRUE(eventually([&] { return source.latest(nullptr) >= 0; }));
    source.stop();
    EXPECT_GT(impl(source).fenceValue, 41u) << "signals go on counting from the old value";
    firstDevice.Reset();
}

}  // namespace
