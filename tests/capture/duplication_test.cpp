// Acquiring the duplication: what the first and later acquisitions rebuild, the lines they print
// (once per streak of failures, the rotation warning once per source), the fallback to the plain
// duplication call, and a failed rebuild that the next acquisition repairs.
#include <string>

#include "impl.h"
#include "support/source_fixture.h"
#include "winsim/monitors.h"

namespace {

constexpr const char* kUnsupportedSuffix =
    " (persistent UNSUPPORTED = output on another GPU? hybrid graphics is not supported in v1)";

struct Outcome {
    bool acquired;
    std::string out;  // standard output
    std::string err;  // standard error
};

class AcquisitionTest : public SourceTest {
protected:
    Outcome acquire(bool initial) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const bool acquired = impl().acquireDuplication(initial);
        std::string out = testing::internal::GetCapturedStdout();
        return Outcome{acquired, std::move(out), testing::internal::GetCapturedStderr()};
    }
    // Acquires and expects success without any line.
    void acquireQuietly(bool initial) {
        const Outcome outcome = acquire(initial);
        ASSERT_TRUE(outcome.acquired);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "");
    }
    // A new source for another output.
    void captureOutput(int32_t index) {
        source = std::make_unique<velda::DuplicationSource>(index);
        attachDevices();
    }
    // Output 0 turns FP16 at its size: a mode change with the HDR notice.
    void switchOutput0ToHdr() {
        winsim::setOutputMode(0, 1920, 1080, DXGI_FORMAT_R16G16B16A16_FLOAT);
        const Outcome outcome = acquire(false);
        ASSERT_TRUE(outcome.acquired);
        EXPECT_EQ(outcome.out,
                  "capture: output 0 mode change 1920x1080 fmt 87 -> 1920x1080 fmt 10 — ring rebuilt\n"
                  "capture: output 0 HDR (scRGB FP16) — tone-mapping to sRGB, SDR white 80 nits\n");
        EXPECT_EQ(outcome.err, "");
    }
    uint32_t generation() const {
        uint32_t value = 0;
        source->latest(&value);
        return value;
    }
    void publish(int32_t slot) {
        std::lock_guard lock(impl().stateMutex);
        impl().latestIndex = slot;
    }
    bool ringComplete() {
        std::lock_guard lock(impl().stateMutex);
        return impl().ringComplete;
    }
};

TEST_F(AcquisitionTest, TheFirstAcquisitionRebuildsWithoutAModeChangeLineAndSoDoesEveryInitialOne) {
    acquireQuietly(true);
    EXPECT_NE(impl().duplication, nullptr);
    EXPECT_EQ(impl().width, 1920u);
    EXPECT_EQ(impl().height, 1080u);
    EXPECT_EQ(impl().desktopFormat, DXGI_FORMAT_B8G8R8A8_UNORM);
    EXPECT_TRUE(ringComplete());
    EXPECT_EQ(impl().desktopRect.right, 1920);
    EXPECT_EQ(generation(), 1u);
    EXPECT_EQ(source->latest(nullptr), -1);

    publish(2);
    ID3D11Texture2D* before = impl().ringTextures[0].Get();
    acquireQuietly(true);  // the same mode: still rebuilt
    EXPECT_EQ(generation(), 2u);
    EXPECT_EQ(source->latest(nullptr), -1);
    EXPECT_NE(impl().ringTextures[0].Get(), before);
}

TEST_F(AcquisitionTest, AnUnchangedModeKeepsTheRingAndThePublication) {
    acquireQuietly(true);
    publish(1);
    ID3D11Texture2D* ring = impl().ringTextures[0].Get();
    acquireQuietly(false);
    EXPECT_EQ(generation(), 1u);
    EXPECT_EQ(source->latest(nullptr), 1);
    EXPECT_EQ(impl().ringTextures[0].Get(), ring);
    EXPECT_NE(impl().duplication.Get(), nullptr);
}

TEST_F(AcquisitionTest, AFormatChangeAloneIsAModeChangeWithTheHdrNotice) {
    acquireQuietly(true);
    publish(0);
    switchOutput0ToHdr();
    EXPECT_EQ(impl().desktopFormat, DXGI_FORMAT_R16G16B16A16_FLOAT);
    EXPECT_TRUE(impl().isHdr);
    EXPECT_EQ(generation(), 2u);
    EXPECT_EQ(source->latest(nullptr), -1);
}

TEST_F(AcquisitionTest, AResizeOfAnSdrDesktopPrintsTheLineAndNoNotice) {
    winsim::setOutputMode(1, 1920, 1080, DXGI_FORMAT_B8G8R8A8_UNORM);
    captureOutput(1);
    acquireQuietly(true);
    winsim::setOutputMode(1, 2560, 1440, DXGI_FORMAT_B8G8R8A8_UNORM);
    const Outcome outcome = acquire(false);
    ASSERT_TRUE(outcome.acquired);
    EXPECT_EQ(outcome.out, "capture: output 1 mode change 1920x1080 fmt 87 -> 2560x1440 fmt 87 — ring rebuilt\n");
    EXPECT_EQ(impl().width, 2560u);
    EXPECT_EQ(impl().desktopRect.left, 1920);
    EXPECT_EQ(impl().desktopRect.right, 1920 + 2560);
}

TEST_F(AcquisitionTest, TheHdrNoticeCarriesTheMonitorsWhiteLevel) {
    captureOutput(1);  // FP16 at 240 nits
    Outcome outcome = acquire(true);
    ASSERT_TRUE(outcome.acquired);
    EXPECT_EQ(outcome.out, "capture: output 1 HDR (scRGB FP16) — tone-mapping to sRGB, SDR white 240 nits\n");
    EXPECT_EQ(impl().sdrWhiteScale, 3.0f);

    winsim::setSdrWhiteNits(1, 200.0f);
    outcome = acquire(true);
    ASSERT_TRUE(outcome.acquired);
    EXPECT_EQ(outcome.out, "capture: output 1 HDR (scRGB FP16) — tone-mapping to sRGB, SDR white 200 nits\n");
    EXPECT_EQ(impl().sdrWhiteScale, 2.5f);
}

TEST_F(AcquisitionTest, ATenBitDesktopGetsThePassthroughNotice) {
    impl().sdrWhiteScale = 1.5f;
    winsim::setOutputMode(0, 1920, 1080, DXGI_FORMAT_R10G10B10A2_UNORM);
    const Outcome outcome = acquire(true);
    ASSERT_TRUE(outcome.acquired);
    EXPECT_EQ(outcome.out,
              "capture: output 0 desktop format 24 — passthrough convert (10-bit SDR assumed gamma-encoded)\n");
    EXPECT_EQ(impl().sdrWhiteScale, 1.5f) << "only an HDR desktop learns its white level";
}

class SingleAcquisitionTest : public AcquisitionTest {
protected:
    std::string machineName() const override { return "single"; }  // unplugged, output 0 has no successor
};

TEST_F(SingleAcquisitionTest, AnUnpluggedMonitorIsReportedOncePerStreak) {
    acquireQuietly(true);
    winsim::setOutputAttached(0, false);
    for (int call = 0; call < 10; ++call) {
        const Outcome outcome = acquire(false);
        EXPECT_FALSE(outcome.acquired);
        EXPECT_EQ(outcome.err, call == 0 ? "capture: output 0 gone — waiting for replug\n" : "") << call;
        EXPECT_EQ(impl().duplication, nullptr);
    }
    EXPECT_NE(impl().output, nullptr) << "a failed enumeration leaves the last output";
    winsim::setOutputAttached(0, true);
    acquireQuietly(false);  // same mode: the ring stays
    EXPECT_EQ(generation(), 1u);
    winsim::setOutputAttached(0, false);
    EXPECT_EQ(acquire(false).err, "capture: output 0 gone — waiting for replug\n");

    // A streak that goes on with refusals shows only its first line.
    winsim::setOutputAttached(0, true);
    winsim::setSecureDesktop(true);
    EXPECT_EQ(acquire(false).err, "");
    winsim::setSecureDesktop(false);
    acquireQuietly(false);
}

class HybridAcquisitionTest : public AcquisitionTest {
protected:
    std::string machineName() const override { return "hybrid"; }
};

TEST_F(HybridAcquisitionTest, AnOutputOnAnotherGpuIsRefusedWithTheUnsupportedHint) {
    for (int call = 0; call < 3; ++call) {
        const Outcome outcome = acquire(call == 0);
        EXPECT_FALSE(outcome.acquired);
        EXPECT_EQ(outcome.err, call == 0 ? std::string("capture: DuplicateOutput failed (0x887a0004) — retrying") +
                                               kUnsupportedSuffix + "\n"
                                         : "");
        EXPECT_EQ(outcome.out, "");
    }
    EXPECT_NE(impl().output, nullptr) << "a refusal keeps the enumerated output";
    EXPECT_EQ(impl().duplication, nullptr);
    EXPECT_EQ(impl().width, 0u);
}

TEST_F(AcquisitionTest, OtherRefusalsPrintTheirCodeInLowerCaseHexWithoutTheHint) {
    winsim::setSecureDesktop(true);
    Outcome outcome = acquire(true);
    EXPECT_FALSE(outcome.acquired);
    EXPECT_EQ(outcome.err, "capture: DuplicateOutput failed (0x80070005) — retrying\n");
    winsim::setSecureDesktop(false);

    acquireQuietly(true);  // clears the streak
    winsim::addFault({"IDXGIOutput5::DuplicateOutput1", DXGI_ERROR_UNSUPPORTED});
    winsim::addFault({"IDXGIOutput1::DuplicateOutput", E_UNEXPECTED});
    outcome = acquire(false);
    EXPECT_FALSE(outcome.acquired);
    EXPECT_EQ(outcome.err, "capture: DuplicateOutput failed (0x8000ffff) — retrying\n") << "the last call's code";
}

TEST_F(AcquisitionTest, AFailingDuplicateOutput1FallsBackToThePlainCall) {
    captureOutput(1);  // an HDR desktop, which the plain call delivers as 8-bit BGRA
    winsim::addFault({"IDXGIOutput5::DuplicateOutput1", E_FAIL});
    acquireQuietly(true);
    EXPECT_EQ(impl().desktopFormat, DXGI_FORMAT_B8G8R8A8_UNORM);
    EXPECT_FALSE(impl().needsConvert);
    EXPECT_EQ(winsim::callCount("IDXGIOutput1::DuplicateOutput"), 1);
}

class NoOutput5AcquisitionTest : public AcquisitionTest {
protected:
    void adjustMachine(winsim::MachineConfig& config) const override { config.adapters[0].exposesOutput5 = false; }
};

TEST_F(NoOutput5AcquisitionTest, WithoutIdxgiOutput5ThePlainCallServes) {
    captureOutput(1);
    acquireQuietly(true);
    EXPECT_EQ(impl().desktopFormat, DXGI_FORMAT_B8G8R8A8_UNORM);
    EXPECT_EQ(winsim::callCount("IDXGIOutput5::DuplicateOutput1"), 0);
    EXPECT_EQ(winsim::callCount("IDXGIOutput1::DuplicateOutput"), 1);
}

TEST_F(AcquisitionTest, ARotatedOutputIsWarnedAboutOncePerSource) {
    winsim::setOutputRotation(0, DXGI_MODE_ROTATION_ROTATE90);
    Outcome outcome = acquire(true);
    ASSERT_TRUE(outcome.acquired);
    EXPECT_EQ(outcome.err, "capture: rotated output (2) unsupported in v1 — image will be unrotated\n");
    acquireQuietly(false);
    source->stop();
    attachDevices();
    acquireQuietly(true);  // a restart of the same source
    EXPECT_TRUE(impl().rotationWarned);

    for (DXGI_MODE_ROTATION rotation : {DXGI_MODE_ROTATION_UNSPECIFIED, DXGI_MODE_ROTATION_IDENTITY}) {
        winsim::setOutputRotation(0, rotation);
        captureOutput(0);
        acquireQuietly(true);
        acquireQuietly(false);
    }
}

TEST_F(AcquisitionTest, ARotationChangeAloneRebuildsNothing) {
    acquireQuietly(true);
    publish(2);
    winsim::setOutputRotation(0, DXGI_MODE_ROTATION_ROTATE180);
    EXPECT_EQ(impl().duplication->AcquireNextFrame(0, nullptr, nullptr), E_INVALIDARG);
    const Outcome outcome = acquire(false);
    ASSERT_TRUE(outcome.acquired);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "capture: rotated output (3) unsupported in v1 — image will be unrotated\n");
    EXPECT_EQ(generation(), 1u);
    EXPECT_EQ(source->latest(nullptr), 2);
}

TEST_F(AcquisitionTest, AFailedRebuildHoldsNoDuplicationAndTheNextAcquisitionRebuilds) {
    acquireQuietly(true);
    winsim::addFault({"IDXGIAdapter::EnumOutputs", DXGI_ERROR_NOT_FOUND, 0, 1});
    EXPECT_FALSE(acquire(false).acquired);  // a gone streak, which the next successful duplication ends
    winsim::setOutputMode(0, 2560, 1440, DXGI_FORMAT_B8G8R8A8_UNORM);
    winsim::addFault({"ID3D11Device::CreateTexture2D", E_OUTOFMEMORY, 0, 2});  // mipped, then flat
    Outcome outcome = acquire(false);
    EXPECT_FALSE(outcome.acquired);
    EXPECT_EQ(outcome.out, "capture: output 0 mode change 1920x1080 fmt 87 -> 2560x1440 fmt 87 — ring rebuilt\n");
    EXPECT_EQ(outcome.err,
              "capture: mipped shared texture refused — falling back to no mips (expect shimmer)\n"
              "capture: shared texture creation failed\n");
    EXPECT_EQ(impl().duplication, nullptr) << "no capture over an incomplete ring";
    EXPECT_FALSE(ringComplete());
    EXPECT_FALSE(impl().failureReported) << "the duplication call itself succeeded";
    EXPECT_EQ(impl().width, 2560u);
    EXPECT_EQ(generation(), 1u);

    acquireQuietly(false);  // the same mode, but no complete ring: rebuilt without a line
    EXPECT_TRUE(ringComplete());
    EXPECT_NE(impl().duplication, nullptr);
    EXPECT_EQ(generation(), 2u);
    EXPECT_NE(source->texture(0), nullptr);
}

TEST_F(AcquisitionTest, AFailedRebuildInTheFirstAcquisitionIsRepairedByTheNext) {
    winsim::addFault({"ID3D12Device::OpenSharedHandle", E_OUTOFMEMORY, 0, 1});
    Outcome outcome = acquire(true);
    EXPECT_FALSE(outcome.acquired);
    EXPECT_EQ(outcome.err, "capture: D3D12 OpenSharedHandle failed (0x8007000e)\n");
    EXPECT_EQ(impl().duplication, nullptr);
    acquireQuietly(false);
    EXPECT_TRUE(ringComplete());
    EXPECT_EQ(generation(), 1u);
}

TEST_F(AcquisitionTest, ARingBuiltFromTheDesktopCoordinatesIsKeptForAnSdrDesktop) {
    // What `start` leaves when its own acquisition failed: a ring for the monitor's size, format 87.
    impl().width = 1920;
    impl().height = 1080;
    ASSERT_TRUE(impl().rebuildRing());
    acquireQuietly(false);
    EXPECT_EQ(generation(), 0u);

    source->stop();
    attachDevices();
    impl().width = 1920;
    impl().height = 1080;
    ASSERT_TRUE(impl().rebuildRing());
    switchOutput0ToHdr();
    EXPECT_EQ(generation(), 1u);
}

TEST_F(AcquisitionTest, AFailedOutputDescriptionKeepsTheLastDesktopRectangle) {
    impl().desktopRect = RECT{1, 2, 3, 4};
    winsim::addFault({"IDXGIOutput::GetDesc", E_FAIL, 0, 1});
    acquireQuietly(true);
    EXPECT_EQ(impl().desktopRect.left, 1);
    EXPECT_EQ(impl().desktopRect.bottom, 4);
}

}  // namespace
