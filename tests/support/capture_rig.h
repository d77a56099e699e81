// A capture source on a small, quick winsim machine, for long runs of its lifecycle (the fault
// sweep, the soak): one 256x144 desktop at 120 updates a second, every sleep and time-out of the
// program ten times as short, the cursor parked where the frame checks do not look. It checks
// frames as a consumer sees them and what a run left behind.
#pragma once
#include <d3d12.h>
#include <wrl/client.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "impl.h"
#include "readback.h"
#include "winsim/machine.h"

namespace rig {

using Clock = std::chrono::steady_clock;

winsim::MachineConfig quickMachine();
// Whether the rig runs rotated: RIG_ROTATION_CORRECTED=1 in the environment turns the quick
// machine's monitor by 90 degrees and has every source turn its frames upright, so that a whole
// run (the sweep, the soak) goes through rotation correction.
bool rotationCorrected();
// Whether the rig's source is a GraphicsCaptureSource (RIG_GRAPHICS_CAPTURE=1): a whole run goes
// through Windows.Graphics.Capture instead of duplication.
bool graphicsCapture();

// What is wrong with a frame as a consumer reads it: "" for a whole frame (its first and last rows
// carry the same version) of the desktop's grey, not black.
std::string frameProblem(const velda::readback::Pixels& frame);

class CaptureRig {
public:
    // Runs on a fresh `machine` with a consumer device of its own, capturing output `output` for a
    // host whose manifest declares `awareness` (null: a DPI-unaware host); faults are cleared.
    explicit CaptureRig(const winsim::MachineConfig& machine = quickMachine(), int32_t output = 0,
                        DPI_AWARENESS_CONTEXT awareness = DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    ~CaptureRig();
    CaptureRig(const CaptureRig&) = delete;
    CaptureRig& operator=(const CaptureRig&) = delete;

    // The consumer's Direct3D 12 device; remade after a removal.
    ID3D12Device* consumer() const { return consumer_.Get(); }
    bool remakeConsumer();
    velda::FrameSource& source() { return *source_; }
    // The source as the duplication it is unless the rig captures through graphics capture.
    velda::DuplicationSource& duplication() { return dynamic_cast<velda::DuplicationSource&>(*source_); }
    velda::SourceCore& record() { return *record_; }
    // The source's resume.
    bool resume();
    void newSource();
    void dropSource();

    uint64_t framesPublished() { return source_ ? record().framesProducedNow() : 0; }
    // What is wrong with the newest published frame as the consumer reads it: "" for a whole frame
    // (its first and last rows carry the same version) of the desktop's grey, not black.
    std::string newestFrameProblem();
    // Waits until `count` more frames are published and the newest is sound, calling `meanwhile`
    // on every poll; false at `deadline` (`why` then says what was missing).
    bool freshFrames(int count, Clock::duration deadline, std::string& why,
                     const std::function<void()>& meanwhile = {});
    // Waits until the source captures nothing (paused, stopped, or the output gone).
    bool idle(Clock::duration deadline, const std::function<void()>& meanwhile = {});

    // What is left once the source is gone: "" when no object, handle, video or system memory
    // beyond the consumer device's own, and no debug-layer message, remains.
    std::string leftovers();

private:
    Microsoft::WRL::ComPtr<ID3D12Device> consumer_;
    std::unique_ptr<velda::FrameSource> source_;
    velda::SourceCore* record_ = nullptr;
    int32_t output_ = 0;
    int64_t objectsBefore_ = 0;
    int64_t handlesBefore_ = 0;
};

// Milliseconds since `start`, for reports.
inline double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace rig
