// What a consumer learns of each frame and of the source (the frame record, the wait, the state)
// and what the controls do: the frame-rate cap, the cursor left out.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "support/capture_rig.h"
#include "support/running_source.h"
#include "winsim/control.h"
#include "winsim/monitors.h"

namespace {

using rig::CaptureRig;
using velda::FrameInfo;
constexpr auto kDeadline = std::chrono::seconds(30);
constexpr uint32_t kWaitMs = 30000;

int64_t qpcNow() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

TEST(FrameRecordTest, RecordsComeInOrderWithTheirTimesAndSequenceNumbers) {
    CaptureRig rig;
    velda::DuplicationSource& source = rig.duplication();
    FrameInfo frame;
    EXPECT_FALSE(source.latestFrame(&frame));
    EXPECT_EQ(frame.slot, -1);
    ASSERT_TRUE(source.start(rig.consumer()));
    ASSERT_TRUE(source.waitForFrame(0, kWaitMs, &frame));
    for (int i = 0; i < 10; ++i) {
        FrameInfo next;
        ASSERT_TRUE(source.waitForFrame(frame.sequence, kWaitMs, &next)) << i;
        EXPECT_GT(next.sequence, frame.sequence);
        EXPECT_GE(next.publishQpc, frame.publishQpc);
        EXPECT_LE(next.updateQpc, next.publishQpc);
        EXPECT_GT(next.updateQpc, 0);
        EXPECT_LE(next.publishQpc, qpcNow());
        EXPECT_GE(next.slot, 0);
        frame = next;
    }
    source.setPaused(true);
    ASSERT_TRUE(rig.idle(kDeadline));
    ASSERT_TRUE(source.latestFrame(&frame));
    const velda::SourceState state = source.state();
    EXPECT_FALSE(state.live);
    EXPECT_EQ(frame.sequence, state.framesProduced) << "the newest frame is the last one counted";
    uint32_t generation = 0;
    EXPECT_EQ(frame.slot, source.latest(&generation));
    EXPECT_EQ(frame.generation, generation);
    source.stop();
    EXPECT_EQ(rig.leftovers(), "");
}

TEST(FrameRecordTest, AFrameThatOnlyMovesThePointerSaysSoAndCarriesTheMoveTime) {
    CaptureRig rig;
    velda::DuplicationSource& source = rig.duplication();
    winsim::setOutputUpdateRate(0, 0);  // a still desktop: only the pointer changes
    ASSERT_TRUE(source.start(rig.consumer()));
    FrameInfo first;
    ASSERT_TRUE(source.waitForFrame(0, kWaitMs, &first));
    EXPECT_TRUE(first.desktopChanged) << "the first frame carries the whole desktop";
    const int64_t beforeMove = qpcNow();
    winsim::setCursorPosition(100, 60);
    FrameInfo moved;
    ASSERT_TRUE(source.waitForFrame(first.sequence, kWaitMs, &moved));
    EXPECT_FALSE(moved.desktopChanged);
    EXPECT_GE(moved.updateQpc, beforeMove);
    EXPECT_LE(moved.updateQpc, moved.publishQpc);
    source.stop();
}

// Waits on another thread for a frame after `sequence`; `woken` holds what the wait returned.
std::thread waitOn(const velda::FrameSource& source, uint64_t sequence, std::atomic<int>& woken) {
    return std::thread([&source, sequence, &woken] { woken = source.waitForFrame(sequence, 600000, nullptr) ? 1 : 0; });
}

TEST(FrameRecordTest, AWaitEndsAtAPublicationItsTimeOutOrStopAndLastsWhileNothingRuns) {
    CaptureRig rig;
    velda::DuplicationSource& source = rig.duplication();
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(source.waitForFrame(0, 50, nullptr)) << "never started: nothing published";
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(50)) << "a wait, not a spin";
    std::atomic<int> woken{-1};
    std::thread first = waitOn(source, 0, woken);
    ASSERT_TRUE(source.start(rig.consumer()));
    first.join();
    EXPECT_EQ(woken, 1) << "a wait begun before start ends with its first frame";
    FrameInfo frame;
    EXPECT_TRUE(source.waitForFrame(0, 0, &frame)) << "a frame published before the call counts";

    source.setPaused(true);
    ASSERT_TRUE(rig.idle(kDeadline));
    ASSERT_TRUE(source.latestFrame(&frame));
    EXPECT_FALSE(source.waitForFrame(frame.sequence, 50, nullptr)) << "nothing new while paused";
    woken = -1;
    std::thread paused = waitOn(source, frame.sequence, woken);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // most likely inside the wait by now
    source.stop();
    paused.join();
    EXPECT_EQ(woken, 0) << "stop ends the wait";

    woken = -1;
    std::thread stopped = waitOn(source, frame.sequence, woken);
    source.setPaused(false);
    ASSERT_TRUE(source.resume());
    stopped.join();
    EXPECT_EQ(woken, 1) << "a wait on a stopped source sees the frames of its resume";
    source.stop();
    EXPECT_EQ(rig.leftovers(), "");
}

TEST(FrameRecordTest, DestroyingASourceLetsItsWaitersLeaveFirst) {
    CaptureRig rig;
    ASSERT_TRUE(rig.source().start(rig.consumer()));
    std::atomic<int> woken[3] = {-1, -1, -1};
    std::vector<std::thread> waiters;
    for (auto& each : woken) waiters.push_back(waitOn(rig.source(), UINT64_MAX, each));
    const auto inside = [&] {
        std::lock_guard lock(rig.record().stateMutex);
        return rig.record().waiters == 3;
    };
    for (const auto until = std::chrono::steady_clock::now() + kDeadline; !inside();
         std::this_thread::sleep_for(std::chrono::milliseconds(1)))
        ASSERT_LT(std::chrono::steady_clock::now(), until) << "the waiters never began to wait";
    rig.dropSource();  // frees the source under AddressSanitizer's eyes
    for (auto& waiter : waiters) waiter.join();
    for (auto& each : woken) EXPECT_EQ(each, 0);
    EXPECT_EQ(rig.leftovers(), "");
}

// A machine that keeps real time (the cap sleeps as the program asks), with a busy desktop.
class FrameCapTest : public SourceFixture {
protected:
    std::string machineName() const override { return "single"; }
    void adjustMachine(winsim::MachineConfig& machine) const override {
        machine.adapters[0].outputs[0].width = 320;
        machine.adapters[0].outputs[0].height = 180;
        machine.adapters[0].outputs[0].updateHz = 200;
    }
};

TEST_F(FrameCapTest, NoTwoPublicationsAreCloserThanTheCapLessItsTruncation) {
    velda::DuplicationSource source(0);
    source.setMinFrameIntervalMs(20);
    ASSERT_TRUE(source.start(d3d12.Get()));
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    const int64_t leastGap = frequency.QuadPart * 19 / 1000;  // the sleep drops a fraction of a millisecond
    FrameInfo frame;
    ASSERT_TRUE(source.waitForFrame(0, kWaitMs, &frame));
    int judged = 0;
    for (int i = 0; i < 12; ++i) {
        FrameInfo next;
        ASSERT_TRUE(source.waitForFrame(frame.sequence, kWaitMs, &next));
        if (next.sequence == frame.sequence + 1) {  // consecutive publications
            EXPECT_GE(next.publishQpc - frame.publishQpc, leastGap) << "publication " << next.sequence;
            ++judged;
        }
        frame = next;
    }
    EXPECT_GT(judged, 0);
    source.setMinFrameIntervalMs(std::nan(""));  // off again, from the next frame
    ASSERT_TRUE(source.waitForFrame(frame.sequence, kWaitMs, &frame));
    source.stop();
}

// The pixel of the newest frame at (x, y), as the consumer reads it (BGRA).
uint32_t pixelAt(CaptureRig& rig, uint32_t x, uint32_t y) {
    velda::readback::Pixels frame;
    velda::DuplicationSource& source = rig.duplication();
    EXPECT_EQ(velda::readback::readMip(rig.consumer(), source.texture(source.latest(nullptr)), 0, frame), S_OK);
    if (x >= frame.width || y >= frame.height) return 0;
    uint32_t value = 0;
    std::memcpy(&value, &frame.bytes[(size_t{y} * frame.width + x) * 4], 4);
    return value;
}

TEST(CursorControlTest, WithTheCursorOffTheDesktopShowsUnderIt) {
    CaptureRig rig;  // the cursor's hot spot stands at (200, 40)
    velda::DuplicationSource& source = rig.duplication();
    winsim::setOutputUpdateRate(0, 0);  // one still picture, so that pixels can be compared
    ASSERT_TRUE(source.start(rig.consumer()));
    FrameInfo frame;
    ASSERT_TRUE(source.waitForFrame(0, kWaitMs, &frame));
    source.setPaused(true);
    ASSERT_TRUE(rig.idle(kDeadline));
    const uint32_t desktop = pixelAt(rig, 100, 72);
    EXPECT_NE(pixelAt(rig, 201, 45), desktop) << "inside the arrow: drawn over the desktop";

    source.setCursorDrawn(false);
    source.setPaused(false);
    winsim::setCursorPosition(200, 41);  // a pointer update: one more frame
    ASSERT_TRUE(source.waitForFrame(frame.sequence, kWaitMs, &frame));
    source.setPaused(true);
    ASSERT_TRUE(rig.idle(kDeadline));
    EXPECT_EQ(pixelAt(rig, 201, 46), desktop) << "no cursor drawn";
    source.stop();
    EXPECT_EQ(rig.leftovers(), "");
}

}  // namespace
