// The fault sweep. A clean run of a source's lifecycle (start, frames, pause, a new cursor shape,
// stop and resume, an HDR mode change, an unplug) records every platform call the library makes
// and how often. Then, for each of those calls and each of its first positions, the lifecycle
// runs again with that call failing once, and again with it failing for good from there until it
// is lifted. Every run must end without a hang, leave nothing behind, and deliver whole desktop
// frames again: on its own after a passing failure, and after a lasting one once it is lifted, by
// itself or through stop and resume. A call the library starts making later is swept as it is.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/capture_rig.h"
#include "winsim/control.h"
#include "winsim/monitors.h"

namespace {

using rig::Clock;
using namespace std::chrono_literals;

constexpr int kPositions = 8;  // each call fails at each of its first eight calls
constexpr int kShards = 4;
constexpr auto kCallBound = 5s;      // no start, resume or stop takes longer
constexpr auto kRecovery = 20s;      // frames come back within this, whatever happened
constexpr auto kSelfRecovery = 2s;   // after a lift, before stop and resume are tried
constexpr auto kHeldFor = 150ms;     // a lasting fault keeps failing at least this long

enum class Kind { Once, ForGood };

struct FaultRun {
    std::string call;
    int position = 0;
    Kind kind = Kind::Once;
    std::string label() const {
        return call + " #" + std::to_string(position) + (kind == Kind::Once ? " once" : " for good");
    }
};

struct Totals {
    int runs = 0, hangs = 0, leaks = 0, nonRecoveries = 0;
    std::vector<std::string> problems;
    std::vector<std::string> restarted;  // lasting faults after whose lift the source came back through stop and resume
};

// One lifecycle on a fresh rig, with at most one fault; the problems it met.
class Lifecycle {
public:
    explicit Lifecycle(const FaultRun* run) : run_(run) {
        if (run_) faultId_ = winsim::addFault({run_->call, E_FAIL, run_->position, run_->kind == Kind::Once ? 1 : -1});
    }

    void go() {
        winsim::setCursorShape(winsim::standardCursor(winsim::CursorKind::Monochrome));
        if (!bringUp([&] { return rig_.source().start(rig_.consumer()); }, "start") || !frames(3, "first frames")) return;
        if (!pauseAndResume() || !frames(2, "after a new cursor shape", [] {
                winsim::setCursorShape(winsim::standardCursor(winsim::CursorKind::MaskedColor));
            }))
            return;
        bounded("stop", [&] { rig_.source().stop(); });
        if (!bringUp([&] { return rig_.resume(); }, "resume") || !frames(2, "after stop and resume")) return;
        winsim::setOutputMode(0, 256, 144, DXGI_FORMAT_R16G16B16A16_FLOAT);
        if (!frames(3, "after the HDR mode change")) return;
        winsim::setOutputAttached(0, false);
        if (!rig_.idle(kRecovery, [&] { holdOrLift(); })) problem(hangs_, "the unplugged output is still duplicated");
        winsim::setOutputAttached(0, true);
        frames(2, "after the output came back");
    }

    // Ends the source and checks what is left; then the problems, "" for none.
    void finish(Totals& totals) {
        lift();
        bounded("stop", [&] { rig_.source().stop(); });
        rig_.dropSource();
        if (const std::string left = rig_.leftovers(); !left.empty()) problem(leaks_, "left behind: " + left);
        ++totals.runs;
        totals.hangs += hangs_;
        totals.leaks += leaks_;
        totals.nonRecoveries += nonRecoveries_;
        if (restarted_) totals.restarted.push_back(run_->label());
        for (auto& p : problems_) totals.problems.push_back((run_ ? run_->label() : "clean run") + ": " + p);
    }

private:
    void problem(int& counter, const std::string& what) {
        ++counter;
        problems_.push_back(what);
    }

    void bounded(const char* what, const std::function<void()>& call) {
        const auto start = Clock::now();
        call();
        if (Clock::now() - start > kCallBound) problem(hangs_, std::string(what) + " took " + std::to_string(rig::msSince(start)) + " ms");
    }

    void lift() {
        if (faultId_ < 0 || lifted_) return;
        winsim::removeFault(faultId_);
        lifted_ = true;
        liftedAt_ = Clock::now();
    }

    // A lasting fault is lifted once it has failed a few calls, or for a while.
    void holdOrLift() {
        if (!run_ || run_->kind != Kind::ForGood || lifted_) return;
        const int hits = winsim::faultHits(faultId_);
        if (hits > 0 && firstHit_ == Clock::time_point{}) firstHit_ = Clock::now();
        if (hits >= 3 || (hits > 0 && Clock::now() - firstHit_ > kHeldFor)) lift();
    }

    // start or resume: a refusal is how a failure is reported, and the caller tries again once the
    // fault has passed (or is lifted).
    bool bringUp(const std::function<bool()>& call, const char* what) {
        const auto until = Clock::now() + kRecovery;
        for (;;) {
            bool up = false;
            bounded(what, [&] { up = call(); });
            if (up) return true;
            holdOrLift();
            if (Clock::now() > until) {
                problem(nonRecoveries_, std::string(what) + " is refused after the fault has passed");
                return false;
            }
            if (run_ && run_->kind == Kind::ForGood && winsim::faultHits(faultId_) > 0) lift();
        }
    }

    // Waits for `count` new sound frames. After a lift the source gets kSelfRecovery to come back
    // by itself, then one stop and resume.
    bool frames(int count, const char* step, const std::function<void()>& before = {}) {
        if (before) before();
        const auto until = Clock::now() + kRecovery;
        bool restarted = false;
        uint64_t target = rig_.framesPublished() + static_cast<uint64_t>(count);
        for (;;) {
            holdOrLift();
            std::string why = "no new frame";
            if (rig_.framesPublished() >= target && (why = rig_.newestFrameProblem()).empty()) return true;
            if (lifted_ && !restarted && Clock::now() - liftedAt_ > kSelfRecovery) {
                restarted = restarted_ = true;
                bounded("stop", [&] { rig_.source().stop(); });
                if (!bringUp([&] { return rig_.resume(); }, "resume")) return false;
                target = rig_.framesPublished() + static_cast<uint64_t>(count);
            }
            if (Clock::now() > until) {
                problem(nonRecoveries_, std::string(step) + ": " + why);
                return false;
            }
            std::this_thread::sleep_for(2ms);
        }
    }

    bool pauseAndResume() {
        bounded("setPaused", [&] { rig_.source().setPaused(true); });
        if (!rig_.idle(kRecovery, [&] { holdOrLift(); })) problem(hangs_, "the paused source still duplicates");
        bounded("setPaused", [&] { rig_.source().setPaused(false); });
        return frames(2, "after pause and resume");
    }

    rig::CaptureRig rig_;  // made before the fault, so the rig's own set-up never meets it
    const FaultRun* run_;
    int faultId_ = -1;
    bool lifted_ = false;
    Clock::time_point liftedAt_{}, firstHit_{};
    int hangs_ = 0, leaks_ = 0, nonRecoveries_ = 0;
    bool restarted_ = false;
    std::vector<std::string> problems_;
};

std::map<std::string, int> cleanRunCalls(Totals& totals) {
    Lifecycle clean(nullptr);
    clean.go();
    const auto counts = winsim::callCounts();
    clean.finish(totals);
    return counts;
}

std::vector<FaultRun> runsOf(const std::map<std::string, int>& calls, int shard) {
    std::vector<FaultRun> runs;
    for (const auto& [call, count] : calls)
        for (int position = 0; position < std::min(count, kPositions); ++position)
            for (Kind kind : {Kind::Once, Kind::ForGood})
                if ((std::hash<std::string>{}(call) + static_cast<size_t>(position) * 2 + (kind == Kind::Once ? 0 : 1)) %
                        kShards ==
                    static_cast<size_t>(shard))
                    runs.push_back({call, position, kind});
    return runs;
}

class FaultSweep : public ::testing::TestWithParam<int> {};

TEST_P(FaultSweep, EveryCallFailingOnceAndForGoodAtEachOfItsFirstPositions) {
    testing::internal::CaptureStdout();  // the source's banners and mode lines, hundreds of them
    testing::internal::CaptureStderr();
    Totals clean;
    const auto calls = cleanRunCalls(clean);
    Totals totals;
    const auto runs = runsOf(calls, GetParam());
    const auto start = Clock::now();
    for (const FaultRun& run : runs) {
        Lifecycle lifecycle(&run);
        lifecycle.go();
        lifecycle.finish(totals);
    }
    testing::internal::GetCapturedStdout();
    const std::string errors = testing::internal::GetCapturedStderr();
    for (const auto& p : clean.problems) ADD_FAILURE() << p;
    ASSERT_TRUE(clean.problems.empty()) << errors;
    EXPECT_GE(calls.size(), 20u) << "the clean run makes the library's calls";
    std::printf("fault sweep, shard %d of %d: %zu calls, %d runs in %.0f ms: %d crashes, %d hangs, %d leaks, "
                "%d non-recoveries; %d lasting faults recovered through stop and resume\n",
                GetParam() + 1, kShards, calls.size(), totals.runs, rig::msSince(start), 0, totals.hangs, totals.leaks,
                totals.nonRecoveries, static_cast<int>(totals.restarted.size()));
    for (const auto& label : totals.restarted) std::printf("  back through stop and resume: %s\n", label.c_str());
    if (GetParam() == 0)
        for (const auto& [call, count] : calls) std::printf("  %s: %d calls in the clean run\n", call.c_str(), count);
    for (const auto& p : totals.problems) ADD_FAILURE() << p;
}

INSTANTIATE_TEST_SUITE_P(Shards, FaultSweep, ::testing::Range(0, kShards));

}  // namespace
