// The Windows.Graphics.Capture source: frames of every monitor from a consumer on any adapter,
// the same pixels as a duplication gives, the system's cursor, and the lifecycle a consumer
// drives; and which source makeSource picks on each machine.
#include <gtest/gtest.h>

#include <dxgi1_6.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "formats/dxgi_format.h"
#include "graphics_capture/capture_impl.h"
#include "readback.h"
#include "support/winsim_fixture.h"
#include "winsim/gpu.h"
#include "velda/monitors.h"

namespace {

using Microsoft::WRL::ComPtr;
using velda::CaptureMethod;
using velda::FrameInfo;
using velda::FrameSource;
using Clock = std::chrono::steady_clock;
constexpr uint32_t kWaitMs = 30000;
constexpr uint32_t kWidth = 256, kHeight = 144;

// A picture that tells up from down and left from right: red grows to the right, green downwards,
// up to `white`.
std::vector<uint8_t> gradient(DXGI_FORMAT format, float white = 1.0f) {
    const size_t bpp = winsim::gpu::bytesPerPixel(format);
    std::vector<uint8_t> pixels(size_t{kWidth} * kHeight * bpp);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const float r = white * x / (kWidth - 1), g = white * y / (kHeight - 1);
            winsim::gpu::encodePixel(format, {r, g, white / 4, 1}, &pixels[(size_t{y} * kWidth + x) * bpp]);
        }
    return pixels;
}

ComPtr<ID3D12Device> consumerOn(DXGI_GPU_PREFERENCE preference) {
    ComPtr<IDXGIFactory6> factory;
    ComPtr<IDXGIAdapter1> adapter;
    ComPtr<ID3D12Device> device;
    EXPECT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
    EXPECT_EQ(factory->EnumAdapterByGpuPreference(0, preference, IID_PPV_ARGS(adapter.GetAddressOf())), S_OK);
    EXPECT_EQ(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(device.GetAddressOf())), S_OK);
    return device;
}

// The newest frame after `after` as the consumer reads it.
velda::readback::Pixels frameAfter(const FrameSource& source, ID3D12Device* consumer, uint64_t after, FrameInfo* info = nullptr) {
    FrameInfo frame;
    velda::readback::Pixels pixels;
    if (!source.waitForFrame(after, kWaitMs, &frame)) {
        ADD_FAILURE() << "no frame after " << after;
        return pixels;
    }
    EXPECT_EQ(velda::readback::readMip(consumer, source.texture(frame.slot), 0, pixels), S_OK);
    if (info) *info = frame;
    return pixels;
}

int largestDifference(const velda::readback::Pixels& a, const velda::readback::Pixels& b) {
    if (a.width != b.width || a.height != b.height || a.bytes.size() != b.bytes.size()) return 256;
    int largest = 0;
    for (size_t i = 0; i < a.bytes.size(); ++i) largest = std::max(largest, std::abs(a.bytes[i] - b.bytes[i]));
    return largest;
}

bool eventually(const std::function<bool()>& condition) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A catalogue machine, small and still: only the test's pictures change its desktops.
class GraphicsCaptureTest : public WinsimTest {
protected:
    void adjustMachine(winsim::MachineConfig& machine) const override {
        for (auto& adapter : machine.adapters)
            for (auto& output : adapter.outputs) {
                output.width = kWidth;
                output.height = kHeight;
                output.updateHz = 0;
            }
        machine.movingCursor = false;
        machine.waitScale = 0.1;
        adjustFurther(machine);
    }
    virtual void adjustFurther(winsim::MachineConfig&) const {}
    void TearDown() override {
        consumer.Reset();
        WinsimTest::TearDown();
    }
    // The picture the duplication of a monitor gives, as the reference for the other source.
    velda::readback::Pixels duplicated(int32_t output) {
        velda::DuplicationSource duplication(output);
        EXPECT_TRUE(duplication.start(consumer.Get()));
        return frameAfter(duplication, consumer.Get(), 0);
    }

    ComPtr<ID3D12Device> consumer;
};

// Every monitor of a machine from a consumer on its high-performance adapter: the source makeSource
// picks, and frames of the other source that are the desktop's pixels, upright.
struct MachineCase {
    const char* machine;
    bool reparented;
    CaptureMethod panel;  // makeSource's choice for output 0 (the SDR monitor); output 1 is duplicated
};

class EveryMonitorTest : public GraphicsCaptureTest, public testing::WithParamInterface<MachineCase> {
protected:
    std::string machineName() const override { return GetParam().machine; }
    void adjustFurther(winsim::MachineConfig& machine) const override { machine.variants.reparented = GetParam().reparented; }
};

TEST_P(EveryMonitorTest, FramesAreTheDesktopWhicheverAdapterDrivesIt) {
    testing::internal::CaptureStdout();
    consumer = consumerOn(DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE);
    winsim::setCursorVisible(false);  // the SDR frames are the picture itself
    const velda::readback::Pixels picture{kWidth, kHeight, gradient(DXGI_FORMAT_B8G8R8A8_UNORM)};
    winsim::presentImage(0, picture.bytes);
    winsim::presentImage(1, gradient(DXGI_FORMAT_R16G16B16A16_FLOAT, 3.0f));  // white at 240 nits
    const std::vector<velda::MonitorInfo> monitors = velda::monitors();
    ASSERT_EQ(monitors.size(), 2u);
    for (const velda::MonitorInfo& monitor : monitors) {
        const bool panel = monitor.desktop.left == 0;
        SCOPED_TRACE(panel ? "the SDR monitor" : "the HDR monitor");
        const auto chosen = velda::makeSource(monitor.handle, consumer.Get());
        ASSERT_TRUE(chosen);
        ASSERT_TRUE(chosen->start(consumer.Get()));
        EXPECT_EQ(chosen->state().method, panel ? GetParam().panel : CaptureMethod::DesktopDuplication);
        const velda::readback::Pixels reference = frameAfter(*chosen, consumer.Get(), 0);
        chosen->stop();
        if (panel) {
            EXPECT_LE(largestDifference(reference, picture), 1) << "the chosen source shows the picture";
        }

        velda::GraphicsCaptureSource captured(monitor.handle);
        ASSERT_TRUE(captured.start(consumer.Get()));
        EXPECT_EQ(captured.state().method, CaptureMethod::GraphicsCapture);
        const velda::readback::Pixels pixels = frameAfter(captured, consumer.Get(), 0);
        EXPECT_LE(largestDifference(pixels, panel ? picture : reference), 1)
            << "the picture itself, or the HDR desktop as the duplication tone-maps it";
        ASSERT_EQ(pixels.bytes.size(), size_t{kWidth} * kHeight * 4);
        const uint8_t* bottomRight = &pixels.bytes[pixels.bytes.size() - 4];
        EXPECT_GT(bottomRight[2], 200) << "red at the right";
        EXPECT_GT(bottomRight[1], 200) << "green at the bottom";
        EXPECT_LT(pixels.bytes[2], 8) << "no red at the top left";
        EXPECT_EQ(captured.mipLevels(), winsim::currentVariants().d3d12SingleMipSharing ? 1u : 9u);
    }
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("HDR (scRGB FP16) — tone-mapping to sRGB, SDR white 240 nits"), std::string::npos) << printed;
}

INSTANTIATE_TEST_SUITE_P(Machines, EveryMonitorTest,
                         testing::Values(MachineCase{"default", false, CaptureMethod::DesktopDuplication},
                                         MachineCase{"hybrid-laptop", false, CaptureMethod::GraphicsCapture},
                                         MachineCase{"hybrid-laptop", true, CaptureMethod::GraphicsCapture}),
                         [](const testing::TestParamInfo<MachineCase>& info) {
                             return std::string(info.param.machine[0] == 'd' ? "Default" : "HybridLaptop") +
                                    (info.param.reparented ? "Reparented" : "");
                         });

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The lifecycle a consumer drives on default's SDR monitor. Each step ends with frames again, in
// a new generation where the ring had to change; a pause gives the pool's memory back.
class CaptureLifecycleTest : public GraphicsCaptureTest {
protected:
    // Waits for a frame of generation `generation` published after `after`; its pixels.
    velda::readback::Pixels frameOf(uint32_t generation, uint64_t& after) {
        FrameInfo frame;
        velda::readback::Pixels pixels;
        EXPECT_TRUE(eventually([&] { return source->latestFrame(&frame) && frame.generation == generation && frame.sequence > after; }))
            << "generation " << generation << ", now " << frame.generation;
        pixels = frameAfter(*source, consumer.Get(), frame.sequence - 1, &frame);
        after = frame.sequence;
        return pixels;
    }
    bool vramBack() { return eventually([&] { return winsim::vramUsage(0) == running; }); }

    std::unique_ptr<velda::GraphicsCaptureSource> source;
    uint64_t running = 0;
};

TEST_F(CaptureLifecycleTest, EveryStepEndsInFramesAgain) {
    consumer = consumerOn(DXGI_GPU_PREFERENCE_UNSPECIFIED);
    source = std::make_unique<velda::GraphicsCaptureSource>(winsim::outputMonitor(0));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ASSERT_TRUE(source->start(consumer.Get()));
    uint64_t seen = 0;
    frameOf(1, seen);
    FrameInfo first;
    ASSERT_TRUE(source->latestFrame(&first));
    EXPECT_TRUE(first.desktopChanged);
    EXPECT_GT(first.updateQpc, 0);
    EXPECT_LE(first.updateQpc, first.publishQpc) << "the frame's time, in QPC ticks";

    winsim::setOutputMode(0, 200, 120, DXGI_FORMAT_B8G8R8A8_UNORM);
    EXPECT_EQ(frameOf(2, seen).width, 200u) << "a mode change rebuilds the ring";
    winsim::setOutputMode(0, kWidth, kHeight, DXGI_FORMAT_B8G8R8A8_UNORM);
    EXPECT_EQ(frameOf(3, seen).width, kWidth);

    running = winsim::vramUsage(0);
    const uint64_t pool = 2ull * kWidth * kHeight * 4;
    source->setPaused(true);
    EXPECT_TRUE(eventually([&] { return !source->state().live && winsim::vramUsage(0) <= running - pool; }))
        << "a paused source holds no pool";
    source->setPaused(false);
    frameOf(3, seen);
    EXPECT_TRUE(vramBack()) << "the same ring, a pool of the same size";

    winsim::setOutputAttached(0, false);
    EXPECT_TRUE(eventually([&] { return !source->state().live; }));
    winsim::setOutputAttached(0, true);
    frameOf(4, seen);

    source->stop();
    EXPECT_EQ(source->latest(nullptr), -1);
    EXPECT_EQ(winsim::vramUsage(0), winsim::d3d12DeviceBaselineBytes());
    ASSERT_TRUE(source->resume());
    frameOf(5, seen);

    ASSERT_TRUE(winsim::removeDevice(velda::ImplAccess::of(*source).device.Get()));
    frameOf(6, seen);
    EXPECT_TRUE(source->resume()) << "nothing to do while it runs";
    EXPECT_EQ(source->state().reacquireCount, 3u) << "after the pause, the replug and the new device";
    source.reset();

    const std::string lines = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(count(lines, "size change 256x144 -> 200x120 — ring rebuilt"), 1u) << lines;
    EXPECT_EQ(count(lines, "gone — waiting for replug"), 1u) << lines;
    EXPECT_EQ(count(lines, "device removed (0x887a0006) — recreating"), 1u) << lines;
    EXPECT_EQ(count(lines, "(graphics capture)"), 2u) << "a banner at each start: " << lines;
}

// Started from a thread in a single-threaded apartment: the capture runs, and the thread stays
// in its apartment.
TEST_F(GraphicsCaptureTest, TheCallersApartmentIsLeftAsItWas) {
    consumer = consumerOn(DXGI_GPU_PREFERENCE_UNSPECIFIED);
    std::thread caller([&] {
        ASSERT_EQ(RoInitialize(RO_INIT_SINGLETHREADED), S_OK);
        velda::GraphicsCaptureSource source(winsim::outputMonitor(0));
        testing::internal::CaptureStdout();
        EXPECT_TRUE(source.start(consumer.Get()));
        frameAfter(source, consumer.Get(), 0);
        source.stop();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(RoInitialize(RO_INIT_MULTITHREADED), RPC_E_CHANGED_MODE) << "still single-threaded";
        RoUninitialize();
    });
    caller.join();
}

// A monitor that leaves HDR while it is captured: a new ring of the new format, white still white.
TEST_F(GraphicsCaptureTest, AMonitorThatLeavesHdrKeepsItsWhite) {
    consumer = consumerOn(DXGI_GPU_PREFERENCE_UNSPECIFIED);
    winsim::presentImage(1, gradient(DXGI_FORMAT_R16G16B16A16_FLOAT, 3.0f));  // white at 240 nits
    velda::GraphicsCaptureSource source(winsim::outputMonitor(1));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(source.start(consumer.Get()));
    FrameInfo frame;
    const auto red = [](const velda::readback::Pixels& pixels) { return pixels.bytes.empty() ? 0 : pixels.bytes[pixels.bytes.size() - 2]; };
    EXPECT_GT(red(frameAfter(source, consumer.Get(), 0, &frame)), 250);
    winsim::setOutputMode(1, kWidth, kHeight, DXGI_FORMAT_B8G8R8A8_UNORM);
    winsim::presentImage(1, gradient(DXGI_FORMAT_B8G8R8A8_UNORM));
    EXPECT_TRUE(eventually([&] { return frameAfter(source, consumer.Get(), frame.sequence, &frame).width && frame.generation == 2; }));
    EXPECT_GT(red(frameAfter(source, consumer.Get(), frame.sequence - 1, &frame)), 250) << "not divided by the HDR white";
    source.stop();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("left HDR — ring rebuilt"), std::string::npos) << printed;
}

// The cursor is the system's to draw: the control turns it on and off from Windows 10 2004, and
// before that build it is always drawn.
class CursorTest : public GraphicsCaptureTest, public testing::WithParamInterface<const char*> {
protected:
    std::string machineName() const override { return GetParam(); }
};

TEST_P(CursorTest, TheSystemDrawsItWhereAsked) {
    consumer = consumerOn(DXGI_GPU_PREFERENCE_UNSPECIFIED);
    std::vector<uint8_t> grey(size_t{kWidth} * kHeight * 4, 96);
    winsim::presentImage(0, grey);
    winsim::setCursorPosition(100, 60);
    velda::GraphicsCaptureSource source(winsim::outputMonitor(0));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(source.start(consumer.Get()));
    const auto cursorShown = [](const velda::readback::Pixels& frame) {
        for (size_t i = 0; i < frame.bytes.size(); i += 4)
            if (frame.bytes[i + 1] != 96) return true;
        return false;
    };
    FrameInfo frame;
    EXPECT_TRUE(cursorShown(frameAfter(source, consumer.Get(), 0, &frame)));
    source.setCursorDrawn(false);
    const bool always = std::string(GetParam()) == "windows-10-1903";
    if (!always) {
        EXPECT_TRUE(eventually([&] {
            return !cursorShown(frameAfter(source, consumer.Get(), frame.sequence, &frame));
        })) << "the cursor left out";
    } else {
        winsim::presentImage(0, grey);  // another frame: still with the cursor
        EXPECT_TRUE(cursorShown(frameAfter(source, consumer.Get(), frame.sequence, &frame)));
    }
    source.stop();
    testing::internal::GetCapturedStdout();
}

INSTANTIATE_TEST_SUITE_P(Builds, CursorTest, testing::Values("default", "windows-10-2004", "windows-10-1903"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

// A system without Windows.Graphics.Capture: start says so once and fails; makeSource duplicates.
class UnsupportedTest : public GraphicsCaptureTest {
protected:
    void adjustFurther(winsim::MachineConfig& machine) const override { machine.graphicsCapture = false; }
};

TEST_F(UnsupportedTest, StartSaysSoOnceAndFails) {
    consumer = consumerOn(DXGI_GPU_PREFERENCE_UNSPECIFIED);
    velda::GraphicsCaptureSource source(winsim::outputMonitor(0));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(source.start(consumer.Get()));
    EXPECT_FALSE(source.resume());
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count(printed, "capture: Windows.Graphics.Capture is not supported on this system\n"), 2u) << printed;
    EXPECT_EQ(velda::makeSource(winsim::outputMonitor(0), consumer.Get())->state().method, CaptureMethod::DesktopDuplication);
    EXPECT_EQ(velda::makeSource(winsim::outputMonitor(0), nullptr), nullptr);
}

// The harness's four lifecycles with a source for each monitor of the hybrid laptop, from the
// discrete adapter: after each one the video memory there is what the running sources first held,
// and with every source stopped or gone it is the consumer device's own.
class HybridMemoryTest : public GraphicsCaptureTest {
protected:
    std::string machineName() const override { return "hybrid-laptop"; }
    void startAll() {
        for (const velda::MonitorInfo& monitor : velda::monitors())
            sources.push_back(std::make_unique<velda::GraphicsCaptureSource>(monitor.handle));
        for (auto& source : sources) ASSERT_TRUE(source->start(consumer.Get()));
        seen.assign(sources.size(), 0);
        framesOfAll();
    }
    // Waits for a frame of every source newer than the last one seen.
    void framesOfAll() {
        for (size_t i = 0; i < sources.size(); ++i) {
            FrameInfo frame;
            SCOPED_TRACE("source " + std::to_string(i) + " after " + std::to_string(seen[i]));
            frameAfter(*sources[i], consumer.Get(), seen[i], &frame);
            seen[i] = frame.sequence;
        }
    }
    // The video memory of the consumer's adapter (the discrete one, listed first when reparented).
    uint64_t memory() const {
        ComPtr<IDXGIFactory1> factory;
        ComPtr<IDXGIAdapter1> adapter;
        EXPECT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
        const LUID wanted = consumer->GetAdapterLuid();
        for (UINT i = 0; SUCCEEDED(factory->EnumAdapters1(i, adapter.ReleaseAndGetAddressOf())); ++i) {
            DXGI_ADAPTER_DESC1 desc{};
            adapter->GetDesc1(&desc);
            if (desc.AdapterLuid.LowPart == wanted.LowPart && desc.AdapterLuid.HighPart == wanted.HighPart)
                return winsim::vramUsage(static_cast<int>(i));
        }
        ADD_FAILURE() << "the consumer's adapter is not listed";
        return 0;
    }
    std::vector<std::unique_ptr<velda::GraphicsCaptureSource>> sources;
    std::vector<uint64_t> seen;
};

TEST_F(HybridMemoryTest, FlatOverPauseRecreateStopAndResume) {
    consumer = consumerOn(DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE);
    const uint64_t own = memory();
    testing::internal::CaptureStdout();
    startAll();
    const uint64_t allocated = memory();
    EXPECT_GT(allocated, own);
    for (int cycle = 0; cycle < 3; ++cycle) {
        for (auto& source : sources) source->setPaused(true);
        EXPECT_TRUE(eventually([&] {
            return std::none_of(sources.begin(), sources.end(), [](auto& source) { return source->state().live; });
        })) << "pause " << cycle;
        EXPECT_LT(memory(), allocated) << "pause " << cycle;
        for (auto& source : sources) source->setPaused(false);
        framesOfAll();
        EXPECT_EQ(memory(), allocated) << "pause " << cycle;
    }
    for (int cycle = 0; cycle < 2; ++cycle) {
        sources.clear();
        EXPECT_EQ(memory(), own) << "destroy " << cycle;
        startAll();
        EXPECT_EQ(memory(), allocated) << "recreate " << cycle;
    }
    for (int cycle = 0; cycle < 2; ++cycle) {
        for (auto& source : sources) source->stop();
        EXPECT_EQ(memory(), own) << "stop " << cycle;
        for (auto& source : sources) ASSERT_TRUE(source->resume());
        framesOfAll();
        EXPECT_EQ(memory(), allocated) << "resume " << cycle;
    }
    for (auto& source : sources) EXPECT_TRUE(source->resume());
    EXPECT_EQ(memory(), allocated) << "resume of a running source";
    sources.clear();
    testing::internal::GetCapturedStdout();
}

}  // namespace
