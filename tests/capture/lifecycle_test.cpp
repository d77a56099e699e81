// What sources hold across the harness's lifecycle operations: nothing grows from cycle to cycle,
// and once every source is gone only the harness's own objects and baseline remain.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/running_source.h"
#include "winsim/control.h"

using velda::DuplicationSource;

namespace {

struct Footprint {
    int64_t objects;
    int64_t handles;
    uint64_t vram;
    bool operator==(const Footprint&) const = default;
};

Footprint now() { return {winsim::liveObjectCount(), winsim::openHandleCount(), winsim::vramUsage(0)}; }

void PrintTo(const Footprint& f, std::ostream* os) {
    *os << f.objects << " objects, " << f.handles << " handles, " << f.vram << " bytes";
}

class LifecycleTest : public SourceFixture {
protected:
    using Sources = std::vector<std::unique_ptr<DuplicationSource>>;

    // The default machine's two outputs, SDR and HDR, at a small size so that every frame is
    // cheap, also under the sanitizers.
    void adjustMachine(winsim::MachineConfig& machine) const override {
        for (auto& output : machine.adapters[0].outputs) {
            output.width = 640;
            output.height = 360;
        }
        machine.adapters[0].outputs[1].position = POINT{640, 0};
    }

    void startAll(Sources& sources) {
        for (int i = 0; i < 2; ++i) sources.push_back(std::make_unique<DuplicationSource>(i));
        for (auto& s : sources) ASSERT_TRUE(s->start(d3d12.Get()));
        for (auto& s : sources) ASSERT_TRUE(eventually([&] { return s->latest(nullptr) >= 0; }));
    }
    // Waits until the footprint stops changing (queued GPU work has run, threads have settled).
    static Footprint settled() {
        Footprint last = now();
        for (int i = 0; i < 200; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const Footprint next = now();
            if (next == last) return next;
            last = next;
        }
        return last;
    }
};

TEST_F(LifecycleTest, NothingGrowsAndEverythingReturns) {
    const Footprint harness = now();
    EXPECT_EQ(harness.vram, winsim::d3d12DeviceBaselineBytes());

    Sources sources;
    startAll(sources);
    const Footprint running = settled();

    for (int cycle = 0; cycle < 3; ++cycle) {  // Test A: pause and resume
        for (auto& s : sources) s->setPaused(true);
        for (auto& s : sources) ASSERT_TRUE(eventually([&] { return !impl(*s).liveNow(); }));
        for (auto& s : sources) s->setPaused(false);
        for (auto& s : sources) ASSERT_TRUE(eventually([&] { return impl(*s).liveNow(); }));
    }
    EXPECT_EQ(settled().vram, running.vram);

    for (int round = 0; round < 2; ++round) {  // Test B: destroy and recreate
        sources.clear();
        EXPECT_EQ(settled(), harness) << winsim::leakReport();
        startAll(sources);
    }
    EXPECT_EQ(settled().vram, running.vram);

    for (int round = 0; round < 2; ++round) {  // Test C: stop and resume
        for (auto& s : sources) s->stop();
        EXPECT_EQ(settled(), harness) << winsim::leakReport();
        for (auto& s : sources) ASSERT_TRUE(s->resume());
        for (auto& s : sources) ASSERT_TRUE(eventually([&] { return s->latest(nullptr) >= 0; }));
    }
    for (auto& s : sources) EXPECT_TRUE(s->resume());  // Test D: resume of a running source
    EXPECT_EQ(settled().vram, running.vram);

    sources.clear();
    EXPECT_EQ(settled(), harness) << winsim::leakReport();
}

// A consumer that keeps a ring slot and the conversion intermediate past `stop` (an extra
// reference the source never gave back) is named in the leak report by what the source made.
TEST_F(LifecycleTest, ALeakReportNamesWhatTheSourceLeftBehind) {
    Sources sources;
    startAll(sources);
    auto& hdr = impl(*sources[1]);  // FP16: the ring has an intermediate
    Microsoft::WRL::ComPtr<ID3D11Texture2D> slot = hdr.ringTextures[1];
    Microsoft::WRL::ComPtr<ID3D11Texture2D> intermediate = hdr.intermediates.at(0).texture;
    ASSERT_TRUE(slot && intermediate);
    sources.clear();
    const std::string report = winsim::leakReport();
    EXPECT_NE(report.find("'velda ring slot 1'"), std::string::npos) << report;
    EXPECT_NE(report.find("'velda convert intermediate (fmt 10)'"), std::string::npos) << report;
    EXPECT_NE(report.find("'velda device'"), std::string::npos) << "a texture holds its device: " << report;
    EXPECT_EQ(report.find("'velda ring slot 0'"), std::string::npos) << report;
    slot.Reset();
    intermediate.Reset();
    EXPECT_EQ(settled().objects, 1) << "only the harness's device is left: " << winsim::leakReport();
}

}  // namespace
