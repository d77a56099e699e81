// The capture thread's pure decisions: the frame-rate cap and where the cursor goes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/running_source.h"
#include "winsim/monitors.h"

namespace {

TEST(FrameCap, SleepsTheRemainderInWholeMilliseconds) {
    EXPECT_EQ(velda::frameCapSleepMs(16.7, 5200000), 11);
    EXPECT_EQ(velda::frameCapSleepMs(16.7, 16300000), 0);
    EXPECT_EQ(velda::frameCapSleepMs(16.7, 20000000), -1);
    EXPECT_EQ(velda::frameCapSleepMs(16.7, 16700000), -1) << "no sleep once the interval has passed";
    EXPECT_EQ(velda::frameCapSleepMs(0.0, 0), -1);
    EXPECT_EQ(velda::frameCapSleepMs(-5.0, 0), -1);
    EXPECT_EQ(velda::frameCapSleepMs(std::numeric_limits<double>::quiet_NaN(), 0), -1);
    EXPECT_EQ(velda::frameCapSleepMs(500.0, 1000000000), -1) << "the first frame is never delayed";
}

class CursorPlacementTest : public WinsimTest {
protected:
    void SetUp() override {
        WinsimTest::SetUp();
        winsim::setCursorMoving(false);
    }
    // Places the cursor for output 1 of the default machine (1920,0)-(4480,1440), hot spot (3,4).
    bool place(LONG x, LONG y) {
        winsim::setCursorPosition(x, y);
        return velda::placeCursor(RECT{1920, 0, 4480, 1440}, 3, 4, visible, cx, cy);
    }
    bool visible = false;
    int32_t cx = -1, cy = -1;
};

TEST_F(CursorPlacementTest, EdgesOfTheOutput) {
    EXPECT_TRUE(place(1920, 0));
    EXPECT_TRUE(visible);
    EXPECT_EQ(cx, -3);
    EXPECT_EQ(cy, -4);
    place(4479, 1439);
    EXPECT_TRUE(visible);
    place(4480, 100);
    EXPECT_FALSE(visible) << "the right edge is outside";
    place(2000, 1440);
    EXPECT_FALSE(visible) << "the bottom edge is outside";
}

TEST_F(CursorPlacementTest, OnAnotherMonitorThePlaceStillMoves) {
    place(100, 50);
    EXPECT_FALSE(visible);
    EXPECT_EQ(cx, 100 - 3 - 1920);
    EXPECT_EQ(cy, 46);
}

TEST_F(CursorPlacementTest, HiddenOrUnreadableCursorKeepsThePlace) {
    place(2000, 10);
    winsim::setCursorVisible(false);
    EXPECT_FALSE(velda::placeCursor(RECT{1920, 0, 4480, 1440}, 3, 4, visible, cx, cy));
    EXPECT_FALSE(visible);
    EXPECT_EQ(cx, 77);
    winsim::setCursorVisible(true);
    winsim::addFault({"GetCursorInfo", E_FAIL});
    visible = true;
    EXPECT_FALSE(velda::placeCursor(RECT{1920, 0, 4480, 1440}, 3, 4, visible, cx, cy));
    EXPECT_FALSE(visible);
    EXPECT_EQ(cy, 6);
}

}  // namespace

namespace {

using velda::DuplicationSource;

// A running source on a one-output machine whose desktop changes only when the test presents
// an image, with the cursor still and hidden.
class CaptureLoopTest : public SourceFixture {
protected:
    std::string machineName() const override { return "single"; }
    void SetUp() override {
        SourceFixture::SetUp();
        winsim::setCursorMoving(false);
        winsim::setCursorVisible(false);
        winsim::setOutputUpdateRate(0, 0.0);
        source = std::make_unique<DuplicationSource>(0);
        testing::internal::CaptureStdout();  // start's banner
    }
    void TearDown() override {
        source.reset();
        testing::internal::GetCapturedStdout();
        SourceFixture::TearDown();
    }
    void start() { ASSERT_TRUE(source->start(d3d12.Get())); }
    uint64_t frames() { return impl(*source).framesProducedNow(); }
    // Presents a new desktop image and waits for the frame after `before` to be published.
    int32_t presentAndWait(uint64_t before) {
        winsim::presentImage(0, std::vector<uint8_t>(1920 * 1080 * 4, static_cast<uint8_t>(before)));
        EXPECT_TRUE(eventually([&] { return frames() > before; }));
        return source->latest(nullptr);
    }

    std::unique_ptr<DuplicationSource> source;
};

TEST_F(CaptureLoopTest, SlotsCycleFromZeroAtEachThreadStartAndTimeOutsMoveNothing) {
    start();
    ASSERT_TRUE(eventually([&] { return frames() == 1; })) << "the first frame comes at once";
    EXPECT_EQ(source->latest(nullptr), 0);
    // A stretch of time-outs publishes nothing and keeps the slot where it was.
    const int timeoutsBefore = winsim::callCount("IDXGIOutputDuplication::AcquireNextFrame");
    ASSERT_TRUE(eventually([&] { return winsim::callCount("IDXGIOutputDuplication::AcquireNextFrame") >= timeoutsBefore + 3; }));
    EXPECT_EQ(frames(), 1u);
    EXPECT_EQ(presentAndWait(1), 1);
    EXPECT_EQ(presentAndWait(2), 2);
    EXPECT_EQ(presentAndWait(3), 0);
    source->stop();
    ASSERT_TRUE(source->resume());
    ASSERT_TRUE(eventually([&] { return source->latest(nullptr) >= 0; }));
    EXPECT_EQ(source->latest(nullptr), 0) << "a new thread starts at slot 0 again";
}

TEST_F(CaptureLoopTest, APointerOnlyUpdateIsANewFrame) {
    winsim::setCursorPosition(100, 100);
    winsim::setCursorVisible(true);
    start();
    ASSERT_TRUE(eventually([&] { return frames() == 1; }));
    const uint64_t version = winsim::desktopVersion(0);
    winsim::setCursorPosition(300, 200);
    ASSERT_TRUE(eventually([&] { return frames() == 2; }));
    EXPECT_EQ(winsim::desktopVersion(0), version) << "the desktop itself did not change";
}

TEST_F(CaptureLoopTest, AStalledFenceStillPublishesAfterItsBoundedWait) {
    start();
    ASSERT_TRUE(eventually([&] { return frames() == 1; }));
    winsim::setQueueStalled(true);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(presentAndWait(1), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1000));
    winsim::setQueueStalled(false);
}

TEST_F(CaptureLoopTest, PausingDropsTheDuplicationOnceAndResumingTakesItBack) {
    start();
    ASSERT_TRUE(eventually([&] { return impl(*source).liveNow(); }));
    const uint64_t acquisitions = impl(*source).reacquireCountNow();
    source->setPaused(true);
    ASSERT_TRUE(eventually([&] { return !impl(*source).liveNow(); }));
    EXPECT_EQ(source->latest(nullptr), 0) << "the last frame stays the newest";
    source->setPaused(false);
    ASSERT_TRUE(eventually([&] { return impl(*source).reacquireCountNow() == acquisitions + 1; }));
    ASSERT_TRUE(eventually([&] { return impl(*source).liveNow(); }));
}

TEST_F(CaptureLoopTest, ALoopToldToStopReturnsAtOnceAndAPausedOneWithoutDuplicationTakesNoLock) {
    ASSERT_TRUE(startWithoutThread(*source));  // leaves stopRequested set
    auto& r = impl(*source);
    IDXGIOutputDuplication* held = r.duplication.Get();
    r.run();
    EXPECT_EQ(r.duplication.Get(), held) << "nothing touched";

    r.duplication.Reset();
    r.stopRequested = false;
    source->setPaused(true);
    {
        std::lock_guard lock(r.stateMutex);
        r.live = true;
        // With the lock held here, a paused loop that took it would never get past its first turn.
        std::thread loop([&r] { r.run(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        r.stopRequested = true;
        loop.join();
        EXPECT_TRUE(r.live);
    }
}

}  // namespace
