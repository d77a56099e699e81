// The source object's lifecycle, accessors and publication reads, before any capture runs.
#include <d3d12.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <limits>
#include <memory>

#include "impl.h"
#include "support/winsim_fixture.h"

using Microsoft::WRL::ComPtr;
using velda::DuplicationSource;
using velda::ImplAccess;

namespace {

class SourceTest : public WinsimTest {
protected:
    void SetUp() override {
        WinsimTest::SetUp();
        ComPtr<IDXGIFactory4> factory;
        ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
        ComPtr<IDXGIAdapter1> adapter;
        ASSERT_EQ(factory->EnumAdapters1(0, adapter.GetAddressOf()), S_OK);
        ASSERT_EQ(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(device.GetAddressOf())), S_OK);
    }
    void TearDown() override {
        device.Reset();
        WinsimTest::TearDown();
    }

    void expectIdle(const DuplicationSource& source, uint32_t generation) {
        uint32_t seen = 12345;
        EXPECT_EQ(source.latest(&seen), -1);
        EXPECT_EQ(seen, generation);
        EXPECT_EQ(source.width(), 0u);
        EXPECT_EQ(source.height(), 0u);
        for (int slot = 0; slot < 3; ++slot) EXPECT_EQ(source.texture(slot), nullptr);
    }

    ComPtr<ID3D12Device> device;
};

TEST_F(SourceTest, FreshSourceHasTheInitialRecord) {
    DuplicationSource source(1);
    expectIdle(source, 0);
    EXPECT_EQ(source.mipLevels(), 1u);
    EXPECT_EQ(source.ringSize(), 3);

    const auto& impl = ImplAccess::of(source);
    EXPECT_EQ(impl.outputIndex, 1);
    EXPECT_EQ(impl.d3d12Device, nullptr);
    EXPECT_EQ(impl.desktopFormat, DXGI_FORMAT_B8G8R8A8_UNORM);
    EXPECT_FLOAT_EQ(impl.sdrWhiteScale, 2.5f);
    EXPECT_EQ(impl.cursorSetting, -1);
    EXPECT_TRUE(impl.drawCursor);
    EXPECT_FALSE(impl.worker.joinable());
    EXPECT_FALSE(impl.paused);
    EXPECT_FALSE(impl.stopRequested);
    EXPECT_EQ(impl.minFrameIntervalMs, 0.0);
}

TEST_F(SourceTest, TextureOutsideTheRingIsNull) {
    DuplicationSource source(0);
    for (int32_t slot : {-1, 3, 4, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()})
        EXPECT_EQ(source.texture(slot), nullptr) << slot;
}

TEST_F(SourceTest, LatestWithNullPointerOnlyReturnsTheIndex) {
    DuplicationSource source(0);
    {
        auto& impl = ImplAccess::of(source);
        std::lock_guard lock(impl.stateMutex);
        impl.latestIndex = 2;
        impl.generation = 7;
    }
    EXPECT_EQ(source.latest(nullptr), 2);
    uint32_t generation = 0;
    EXPECT_EQ(source.latest(&generation), 2);
    EXPECT_EQ(generation, 7u);
}

TEST_F(SourceTest, ResumeOfANeverStartedSourceStartsNothing) {
    DuplicationSource source(0);
    EXPECT_FALSE(source.resume());
    EXPECT_EQ(ImplAccess::of(source).d3d12Device, nullptr);
    EXPECT_FALSE(ImplAccess::of(source).worker.joinable());
}

TEST_F(SourceTest, ResumeRetriesOnTheStoredDeviceUnlessTheDeviceExists) {
    DuplicationSource source(0);
    source.start(device.Get());
    auto& impl = ImplAccess::of(source);
    EXPECT_EQ(impl.d3d12Device, device.Get());
    source.stop();
    EXPECT_EQ(impl.d3d12Device, device.Get()) << "stop keeps the device for resume";
}

TEST_F(SourceTest, StopIsRepeatableAndKeepsWhatItMustKeep) {
    DuplicationSource source(0);
    auto& impl = ImplAccess::of(source);
    impl.fenceValue = 41;
    impl.rotationWarned = true;
    impl.pointerShapeBuffer.assign(64, 0xAB);
    {
        std::lock_guard lock(impl.stateMutex);
        impl.latestIndex = 1;
        impl.generation = 3;
        impl.live = true;
    }
    impl.width = 640;
    impl.height = 480;
    impl.cursorTexWidth = 32;
    impl.fenceEvent.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));

    source.stop();
    expectIdle(source, 3);
    EXPECT_EQ(impl.cursorTexWidth, 0u);
    EXPECT_EQ(impl.fenceEvent, nullptr) << "the event handle is closed";
    EXPECT_FALSE(impl.live);
    EXPECT_TRUE(impl.stopRequested);
    EXPECT_EQ(impl.fenceValue, 41u);
    EXPECT_TRUE(impl.rotationWarned);
    EXPECT_EQ(impl.pointerShapeBuffer.size(), 64u);

    source.stop();
    expectIdle(source, 3);
}

TEST_F(SourceTest, PauseFlagSurvivesStop) {
    DuplicationSource source(0);
    source.setPaused(true);
    source.stop();
    EXPECT_TRUE(ImplAccess::of(source).paused);
    source.setPaused(false);
    EXPECT_FALSE(ImplAccess::of(source).paused);
}

TEST_F(SourceTest, DestroyingThroughTheInterfaceJoinsTheCaptureThread) {
    std::atomic<bool> ran{false};
    std::unique_ptr<velda::FrameSource> source = std::make_unique<DuplicationSource>(0);
    auto& impl = ImplAccess::of(static_cast<DuplicationSource&>(*source));
    // A stand-in capture thread that runs until stop asks it to end.
    impl.worker = std::thread([&impl, &ran] {
        while (!impl.stopRequested) std::this_thread::yield();
        ran = true;
    });
    source.reset();
    EXPECT_TRUE(ran) << "the thread was joined before the record was freed";
}

}  // namespace
