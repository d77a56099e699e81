// A consumer on its own thread, following the publication protocol while the owner pauses,
// resumes, stops and restarts the source and the desktop changes mode under it.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "machine/desktop.h"
#include "support/d3d12_readback.h"
#include "support/running_source.h"
#include "winsim/monitors.h"

using velda::DuplicationSource;

namespace {

struct ConsumerLog {
    std::atomic<int> framesRead{0};
    int tornFrames = 0;
    int backwards = 0;
    int nullResources = 0;
    std::set<uint32_t> generations;
    std::atomic<uint32_t> latestGeneration{~0u};  // the newest generation the consumer has read a frame of
};

// What the owner tells its consumer: it may read frames, or it must hold off (the owner is about
// to stop the source, which releases every resource).
struct Handshake {
    std::atomic<bool> done{false};
    std::atomic<bool> hold{false};
    std::atomic<bool> holding{false};
};

// Reads every new frame the source publishes until told it is done: the frame's first and last
// rows must carry the same desktop version, and versions never go back within one generation. A
// read that outlasted two more publications proves nothing (the slot may be written again by
// then) and is not judged.
void consume(ID3D12Device* device, const DuplicationSource& source, Handshake& handshake, ConsumerLog& log) {
    const auto& record = velda::ImplAccess::of(source);
    uint32_t seenGeneration = ~0u;
    uint32_t lastVersion = 0;
    int32_t lastSlot = -2;
    while (!handshake.done) {
        handshake.holding = handshake.hold.load();
        if (handshake.holding) {
            lastSlot = -2;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        const uint64_t publishedBefore = record.framesProducedNow();
        uint32_t generation = 0;
        const int32_t slot = source.latest(&generation);
        if (generation != seenGeneration) {
            seenGeneration = generation;  // a new ring: fetch its geometry again
            log.generations.insert(generation);
            lastVersion = 0;
        }
        if (slot < 0 || slot == lastSlot) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        lastSlot = slot;
        ID3D12Resource* resource = source.texture(slot);
        if (!resource) {
            ++log.nullResources;  // the ring was replaced between latest and texture: fetch again
            continue;
        }
        const auto desc = resource->GetDesc();
        const auto frame = readRgba8(device, resource);
        const size_t rowBytes = static_cast<size_t>(desc.Width) * 4;
        if (desc.Width < 32 || frame.size() != rowBytes * desc.Height) continue;
        const uint32_t first = winsim::readStamp(frame.data());
        const uint32_t last = winsim::readStamp(frame.data() + rowBytes * (desc.Height - 1));
        log.latestGeneration = generation;
        if (record.framesProducedNow() >= publishedBefore + 2) continue;
        ++log.framesRead;
        if (first != last) ++log.tornFrames;
        if (first < lastVersion) ++log.backwards;
        lastVersion = first;
    }
}

class ConsumerTest : public SourceFixture {
protected:
    std::string machineName() const override { return "single"; }
};

TEST_F(ConsumerTest, ReadsOnlyWholeFramesThroughPausesStopsAndModeChanges) {
    winsim::setCursorMoving(false);
    winsim::setCursorVisible(false);  // the cursor would cover the version stamp
    winsim::setOutputUpdateRate(0, 10.0);
    DuplicationSource source(0);
    ASSERT_TRUE(source.start(d3d12.Get()));
    Handshake handshake;
    ConsumerLog log;
    std::thread consumer([&] { consume(d3d12.Get(), source, handshake, log); });
    // However the test ends, the consumer is told to finish and joined before anything goes.
    struct Finish {
        Handshake& handshake;
        std::thread& thread;
        ~Finish() {
            handshake.done = true;
            if (thread.joinable()) thread.join();
        }
    } finish{handshake, consumer};

    auto framesAfter = [&](int atLeast) { return eventually([&] { return impl(source).framesProducedNow() >= static_cast<uint64_t>(atLeast); }); };
    ASSERT_TRUE(framesAfter(5));
    source.setPaused(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    source.setPaused(false);
    ASSERT_TRUE(framesAfter(10));
    handshake.hold = true;  // stop releases every resource: the consumer lets go of them first
    ASSERT_TRUE(eventually([&] { return handshake.holding.load(); }));
    source.stop();
    ASSERT_TRUE(source.resume());
    handshake.hold = false;
    ASSERT_TRUE(framesAfter(15));
    winsim::setOutputMode(0, 1280, 720, DXGI_FORMAT_B8G8R8A8_UNORM);
    ASSERT_TRUE(eventually([&] { return log.latestGeneration == 3; }));
    // Both modes stay 8-bit: a conversion pass slow enough (a sanitizer build) to outlast the
    // fence's bounded wait would publish a slot its GPU work still writes, as designed.
    winsim::setOutputMode(0, 1600, 900, DXGI_FORMAT_B8G8R8A8_UNORM);
    ASSERT_TRUE(eventually([&] { return log.latestGeneration == 4; }));
    ASSERT_TRUE(framesAfter(30));
    // A read that outlasts two publications is not judged: at a slow rate even a slow build's
    // reads (a whole frame through Direct3D 12) are judged.
    winsim::setOutputUpdateRate(0, 2.0);
    ASSERT_TRUE(eventually([&] { return log.framesRead > 3; }));

    handshake.done = true;
    consumer.join();
    source.stop();

    EXPECT_GT(log.framesRead, 3);
    EXPECT_EQ(log.tornFrames, 0);
    EXPECT_EQ(log.backwards, 0);
    EXPECT_EQ(log.generations, (std::set<uint32_t>{1, 2, 3, 4})) << "every generation is seen";
}

}  // namespace
