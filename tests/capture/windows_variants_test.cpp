// The source on every Windows the documentation allows: factories whose output information is a
// snapshot, duplications whose description names the display's mode rather than the images',
// Direct3D 12 refusing a mipped shared texture, DuplicateOutput1 looking at the process's DPI
// awareness, access lost while a frame is held, and a re-created device whose start-up lines
// are printed once per streak.
#include <gtest/gtest.h>

#include <string>

#include "support/capture_rig.h"
#include "winsim/control.h"
#include "winsim/gpu.h"
#include "winsim/monitors.h"

namespace {

using rig::CaptureRig;
constexpr auto kDeadline = std::chrono::seconds(30);

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

uint32_t generationOf(const velda::FrameSource& source) {
    uint32_t generation = 0;
    source.latest(&generation);
    return generation;
}

// Starts the rig's source and waits for sound frames.
void startAndSee(CaptureRig& rig, int frames = 3) {
    ASSERT_TRUE(rig.source().start(rig.consumer()));
    std::string why;
    ASSERT_TRUE(rig.freshFrames(frames, kDeadline, why)) << why;
}

void pauseAndResume(CaptureRig& rig) {
    rig.source().setPaused(true);
    ASSERT_TRUE(rig.idle(kDeadline));
    rig.source().setPaused(false);
    std::string why;
    ASSERT_TRUE(rig.freshFrames(3, kDeadline, why)) << why;
}

TEST(FactorySnapshotTest, AReplugIsFoundThroughANewFactoryAndAPauseMakesNone) {
    CaptureRig rig;
    testing::internal::CaptureStderr();
    startAndSee(rig);
    const int factories = winsim::callCount("CreateDXGIFactory1");
    pauseAndResume(rig);
    EXPECT_EQ(winsim::callCount("CreateDXGIFactory1"), factories) << "a current factory is kept";

    for (int round = 0; round < 2; ++round) {
        winsim::setOutputAttached(0, false);
        ASSERT_TRUE(rig.idle(kDeadline)) << "round " << round;
        winsim::setOutputAttached(0, true);
        std::string why;
        ASSERT_TRUE(rig.freshFrames(3, kDeadline, why)) << "round " << round << ": " << why;
        EXPECT_TRUE(rig.record().factory->IsCurrent());
    }
    EXPECT_GT(winsim::callCount("CreateDXGIFactory1"), factories);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count(printed, "capture: output 0 gone — waiting for replug\n"), 2) << printed;
    rig.source().stop();
    EXPECT_EQ(rig.leftovers(), "");
}

TEST(FactorySnapshotTest, AnAdapterMissingFromTheNewFactoryIsWaitedForWithOneLinePerStreak) {
    CaptureRig rig;
    startAndSee(rig);
    testing::internal::CaptureStderr();
    winsim::setOutputAttached(0, false);
    ASSERT_TRUE(rig.idle(kDeadline));
    const int missing = winsim::addFault(winsim::Fault("IDXGIFactory4::EnumAdapterByLuid", DXGI_ERROR_NOT_FOUND, 0, 4));
    winsim::setOutputAttached(0, true);
    std::string why;
    ASSERT_TRUE(rig.freshFrames(3, kDeadline, why)) << why;
    EXPECT_EQ(winsim::faultHits(missing), 4);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count(printed, "capture: "), 1) << "one line for the whole streak:\n" << printed;
    rig.source().stop();
    EXPECT_EQ(rig.leftovers(), "");
}

winsim::MachineConfig quickMachineIn(DXGI_FORMAT format, winsim::Variants variants) {
    winsim::MachineConfig machine = rig::quickMachine();
    machine.adapters[0].outputs[0].format = format;
    machine.variants = variants;
    return machine;
}

struct Mismatch {
    const char* name;
    DXGI_FORMAT desktop;
    const char* lines;  // what the first image prints on standard output
};

class ScanoutModeTest : public testing::TestWithParam<Mismatch> {};

TEST_P(ScanoutModeTest, TheImagesDecideTheConversionWithoutARebuild) {
    winsim::Variants variants;
    variants.modeFormatScanout = true;
    CaptureRig rig(quickMachineIn(GetParam().desktop, variants));
    testing::internal::CaptureStdout();
    startAndSee(rig);
    EXPECT_EQ(rig.record().desktopFormat, GetParam().desktop);
    const uint32_t generation = generationOf(rig.source());
    EXPECT_EQ(generation, 1u) << "built at start; the images' format rebuilds nothing";
    pauseAndResume(rig);
    winsim::setOutputAttached(0, false);
    ASSERT_TRUE(rig.idle(kDeadline));
    winsim::setOutputAttached(0, true);
    std::string why;
    ASSERT_TRUE(rig.freshFrames(3, kDeadline, why)) << why;
    EXPECT_EQ(generationOf(rig.source()), generation) << "the images of this mode are known";
    rig.source().stop();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find(GetParam().lines), std::string::npos) << printed;
    EXPECT_EQ(count(printed, "mode change"), 0) << printed;
    EXPECT_EQ(count(printed, "capture: output 0 HDR") + count(printed, "passthrough"), 1) << printed;
    EXPECT_EQ(rig.leftovers(), "") << "nothing copied across formats";
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, ScanoutModeTest,
    testing::Values(Mismatch{"Fp16", DXGI_FORMAT_R16G16B16A16_FLOAT,
                             "capture: output 0 HDR (scRGB FP16) — tone-mapping to sRGB, SDR white 80 nits\n"},
                    Mismatch{"TenBit", DXGI_FORMAT_R10G10B10A2_UNORM,
                             "capture: output 0 desktop format 24 — passthrough convert (10-bit SDR assumed "
                             "gamma-encoded)\n"}),
    [](const testing::TestParamInfo<Mismatch>& info) { return std::string(info.param.name); });

TEST(SingleMipSharingTest, AMippedRingThatDirect3D12RefusesFallsBackToOneMip) {
    winsim::Variants variants;
    variants.d3d12SingleMipSharing = true;
    CaptureRig rig(quickMachineIn(DXGI_FORMAT_B8G8R8A8_UNORM, variants));
    testing::internal::CaptureStderr();
    startAndSee(rig);
    rig.source().stop();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "capture: mipped shared texture refused — falling back to no mips (expect shimmer)\n");
    EXPECT_EQ(rig.record().mipLevels, 1u);
    EXPECT_EQ(rig.leftovers(), "");
}

TEST(ProcessDpiTest, AnUnawareHostCapturesTheHdrOutputThroughThePlainDuplication) {
    winsim::MachineConfig machine;
    ASSERT_TRUE(winsim::scenario("default", machine));
    machine.variants.dpiProcess = true;
    machine.movingCursor = false;
    machine.waitScale = 0.1;
    CaptureRig rig(machine, 1, nullptr);
    testing::internal::CaptureStdout();
    startAndSee(rig, 2);
    rig.source().stop();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(velda::ImplAccess::of(rig.duplication()).duplicated.formatAware);
    if (!winsim::currentVariants().formatFlicker) {  // else some of its images are FP16, and converted
        EXPECT_EQ(rig.record().desktopFormat, DXGI_FORMAT_B8G8R8A8_UNORM);
        EXPECT_FALSE(rig.record().needsConvert);
        EXPECT_EQ(printed.find("HDR"), std::string::npos) << printed;
    }
    // The refused format-aware calls are the debug layer's to report; nothing else is.
    for (const auto& message : winsim::debugMessages())
        EXPECT_NE(message.find("DuplicateOutput1_PerMonitorDpiRequired"), std::string::npos) << message;
    EXPECT_GT(winsim::debugMessageCount(), 0);
    winsim::resetDebugLayer();
    EXPECT_EQ(rig.leftovers(), "");
}

TEST(AccessLostTest, AccessLostWhenTheFrameIsReleasedIsReacquired) {
    CaptureRig rig;
    startAndSee(rig);
    const uint64_t reacquired = rig.record().reacquireCountNow();
    const int lost = winsim::addFault(winsim::Fault("IDXGIOutputDuplication::ReleaseFrame", DXGI_ERROR_ACCESS_LOST, 0, 1));
    std::string why;
    ASSERT_TRUE(rig.freshFrames(4, kDeadline, why)) << why;
    EXPECT_EQ(winsim::faultHits(lost), 1);
    EXPECT_EQ(rig.record().reacquireCountNow(), reacquired + 1);
    rig.source().stop();
    EXPECT_EQ(rig.leftovers(), "");
}

struct RetryLine {
    const char* name;
    const char* call;
    const char* line;
};

class RecreationTest : public testing::TestWithParam<RetryLine> {};

TEST_P(RecreationTest, ARemovedDeviceThatCannotBeMadeAgainAtOnceSaysSoOnce) {
    CaptureRig rig;
    startAndSee(rig);
    testing::internal::CaptureStderr();
    const int fault = winsim::addFault(winsim::Fault(GetParam().call, E_FAIL, 0, 5));
    ASSERT_TRUE(winsim::removeDevice(rig.record().device.Get(), DXGI_ERROR_DEVICE_HUNG));
    std::string why;
    const bool recovered = rig.freshFrames(3, kDeadline, why);
    const std::string printed = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(recovered) << why;
    EXPECT_EQ(winsim::faultHits(fault), 5);
    EXPECT_EQ(count(printed, GetParam().line), 1) << printed;
    EXPECT_EQ(count(printed, "capture: output 0 device removed (0x887a0006) — recreating\n"), 1) << printed;
    rig.source().stop();
    EXPECT_EQ(rig.leftovers(), "");
}

INSTANTIATE_TEST_SUITE_P(
    StartUpLines, RecreationTest,
    testing::Values(RetryLine{"Adapter", "IDXGIFactory4::EnumAdapterByLuid", "capture: render adapter not found by LUID\n"},
                    RetryLine{"Output", "IDXGIAdapter::EnumOutputs", "not found on the render adapter"},
                    RetryLine{"Device", "D3D11CreateDevice", "capture: D3D11 device creation failed\n"},
                    RetryLine{"Shader", "D3DCompile", "capture shader vsmain: "}),
    [](const testing::TestParamInfo<RetryLine>& info) { return std::string(info.param.name); });

}  // namespace
