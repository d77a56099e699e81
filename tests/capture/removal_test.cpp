// Lost devices and DPI awareness as a source meets them in the field: a removed private device is
// replaced and capture goes on in a new generation; a removed consumer device stops publication
// with one line; an unaware host process still gets format-aware duplication and a cursor where
// it is on a scaled monitor.
#include <gtest/gtest.h>

#include <string>

#include "support/running_source.h"
#include "winsim/gpu.h"
#include "winsim/monitors.h"

using velda::DuplicationSource;

namespace {

int count(const std::string& text, const std::string& line) {
    int n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
}

class RemovalTest : public SourceFixture {
protected:
    std::string machineName() const override { return "single"; }
    void adjustMachine(winsim::MachineConfig& machine) const override {
        machine.adapters[0].outputs[0].width = 640;
        machine.adapters[0].outputs[0].height = 360;
    }
    uint64_t frames(DuplicationSource& source) { return impl(source).framesProducedNow(); }
};

TEST_F(RemovalTest, ARemovedPrivateDeviceIsReplacedAndCaptureGoesOnInANewGeneration) {
    DuplicationSource source(0);
    ASSERT_TRUE(source.start(d3d12.Get()));
    ASSERT_TRUE(eventually([&] { return frames(source) >= 3; }));
    uint32_t before = 0;
    source.latest(&before);
    ID3D11Device* removed = impl(source).device.Get();

    testing::internal::CaptureStderr();
    ASSERT_TRUE(winsim::removeDevice(removed, DXGI_ERROR_DEVICE_HUNG));
    uint32_t generation = before;
    ASSERT_TRUE(eventually([&] { return source.latest(&generation) >= 0 && generation > before; }));
    const uint64_t afterRecovery = frames(source);
    ASSERT_TRUE(eventually([&] { return frames(source) >= afterRecovery + 3; })) << "frames flow again";
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count(printed, "capture: output 0 device removed (0x887a0006) — recreating\n"), 1) << printed;
    EXPECT_EQ(printed.find("DuplicateOutput failed"), std::string::npos) << printed;
    ASSERT_NE(source.texture(source.latest(nullptr)), nullptr);
    source.stop();
}

TEST_F(RemovalTest, ARemovedConsumerDeviceEndsPublicationWithOneLineUntilStopped) {
    DuplicationSource source(0);
    ASSERT_TRUE(source.start(d3d12.Get()));
    ASSERT_TRUE(eventually([&] { return frames(source) >= 3; }));

    testing::internal::CaptureStderr();
    winsim::removeDevices(0, DXGI_ERROR_DEVICE_REMOVED, 200);
    ASSERT_TRUE(eventually([&] { return source.latest(nullptr) < 0; }));
    const uint64_t published = frames(source);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // past the blackout: still nothing
    EXPECT_EQ(frames(source), published);
    EXPECT_EQ(source.texture(0), nullptr);
    source.stop();
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count(printed, "capture: output 0 consumer device removed — stop and start the source on a new device\n"), 1)
        << printed;
    EXPECT_EQ(printed.find("recreating"), std::string::npos) << printed;
    d3d12.Reset();  // everything the removed devices held goes with them
    EXPECT_EQ(winsim::liveObjectCount(), 0) << winsim::leakReport();
    EXPECT_EQ(winsim::vramUsage(0), 0u);
}

class UnawareHostTest : public SourceFixture {
protected:
    std::string machineName() const override { return "dpi-scaled"; }  // DISPLAY2 at 150 %
    DPI_AWARENESS_CONTEXT manifestDpiAwareness() const override { return nullptr; }
};

TEST_F(UnawareHostTest, TheHdrOutputIsDuplicatedInFp16AndTheCursorLandsWhereItIs) {
    winsim::setCursorMoving(false);
    winsim::setCursorPosition(1920 + 1500, 900);  // past what an unaware thread's logical view reaches
    ASSERT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), DPI_AWARENESS_CONTEXT_UNAWARE));
    CURSORINFO info{sizeof(CURSORINFO), 0, nullptr, {}};
    ASSERT_TRUE(GetCursorInfo(&info));
    EXPECT_EQ(info.ptScreenPos.x, 1920 + 1000) << "virtualised for this unaware thread";

    DuplicationSource source(1);
    ASSERT_TRUE(source.start(d3d12.Get()));
    ASSERT_TRUE(eventually([&] { return impl(source).framesProducedNow() >= 2; }));
    EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), DPI_AWARENESS_CONTEXT_UNAWARE))
        << "start gives the caller its own awareness back";
    const uint64_t seen = impl(source).framesProducedNow();
    winsim::setCursorPosition(1920 + 1500, 901);  // a pointer update: one more frame places the cursor
    ASSERT_TRUE(eventually([&] { return impl(source).framesProducedNow() >= seen + 2; }));
    source.stop();  // the capture thread has ended: its placement can be read
    EXPECT_TRUE(impl(source).cursorVisible);
    EXPECT_EQ(impl(source).cursorX + impl(source).hotspotX, 1500) << "physical pixels on the capture thread";
    if (!winsim::currentVariants().dpiProcess) {
        EXPECT_EQ(impl(source).desktopFormat, DXGI_FORMAT_R16G16B16A16_FLOAT);
        EXPECT_EQ(winsim::debugMessageCount(), 0);
        return;
    }
    // Where DuplicateOutput1 asks the process, an unaware host gets the plain duplication.
    EXPECT_FALSE(impl(source).duplicated.formatAware);
    EXPECT_GT(winsim::debugMessageCount(), 0);
    winsim::resetDebugLayer();
}

}  // namespace
