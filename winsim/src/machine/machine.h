// The running machine: adapters with their ledgers and outputs, and the state that changes while
// it runs (modes, attachment, desktops, the cursor, the secure desktop). All of that changing
// state is guarded by the machine's one lock, and every change is signalled on `changed`.
#pragma once
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "gpu/ledger.h"
#include "machine/desktop.h"
#include "winsim/machine.h"
#include "winsim/monitors.h"

namespace winsim {

class Machine;

// What happens to an output besides its configuration (machine/field.h changes it): its monitor's
// sleep, protected content on its desktop and a fullscreen game that takes it over.
struct OutputField {
    bool asleep = false;
    bool waking = false;             // sleep-denies: woke lately and settles at `settlesAt`
    Clock::time_point settlesAt{};
    RECT protectedArea{};            // relative to the desktop's top-left corner; empty: none
    UINT gameTookWidth = 0, gameTookHeight = 0;  // the mode a fullscreen game took over; 0: no game
    bool invalidCallOwed = false;    // the next new duplication's first AcquireNextFrame fails
};

class OutputState {
public:
    OutputState(Machine& machine, OutputConfig config, int id);

    // A snapshot of the configuration (takes the machine's lock).
    OutputConfig config() const;
    HMONITOR monitor() const { return monitor_; }
    int id() const { return id_; }

    // Guarded by the machine's lock:
    OutputConfig current;
    uint64_t epoch = 0;  // bumped whenever the output's duplications lose access
    uint64_t plugIns = 0;  // times its monitor was plugged back in after being unplugged
    Desktop desktop;
    int duplications = 0;  // live duplications of this output
    OutputField field;

    // Applies a change of mode, rotation or attachment (lock held): duplications lose access, and
    // it counts as a display change for the machine.
    void reconfigure(const OutputConfig& next);
    // The level of white in the desktop format: the SDR white level for an HDR display, else 1.
    float whiteLevel() const;
    // DXGI_OUTPUT_DESC::DesktopCoordinates as a factory made now sees them (lock held).
    RECT describedRect() const;

private:
    Machine& machine_;
    const int id_;
    const HMONITOR monitor_;
};

struct AdapterState {
    AdapterConfig config;
    Variants variants;  // the machine's, for the objects that know only their adapter
    int index = 0;
    std::shared_ptr<gpu::Ledger> ledger;          // local video memory
    std::shared_ptr<gpu::Ledger> nonLocalLedger;  // system memory the adapter reaches (upload, read-back)
    std::vector<std::shared_ptr<OutputState>> outputs;  // every output it enumerates while attached
    // Device removal (machine/removal.h): how often the adapter's devices were removed, the last
    // reason, and until when (steady clock ticks) no new device can be made.
    std::atomic<uint64_t> removals{0};
    std::atomic<HRESULT> removedReason{S_OK};
    std::atomic<int64_t> creatableAfter{0};
};

struct CursorState {
    POINT position{400, 300};
    bool visible = true;
    CursorShape shape;
    HCURSOR handle = nullptr;
    uint64_t moves = 0;   // position changes so far
    uint64_t shapes = 0;  // shape changes so far
    bool moving = false;
};

class Machine {
public:
    explicit Machine(const MachineConfig& config);
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    const MachineConfig& config() const { return config_; }
    const std::vector<std::shared_ptr<AdapterState>>& adapters() const { return adapters_; }
    std::shared_ptr<AdapterState> adapterByLuid(const LUID& luid) const;
    // Every output, by id.
    const std::vector<std::shared_ptr<OutputState>>& outputs() const { return outputs_; }

    std::unique_lock<std::mutex> lock() const { return std::unique_lock(mutex_); }
    // Wakes everything waiting for a change (call after changing state under the lock).
    void notify() { changed_.notify_all(); }
    // Waits (lock held) until a change is signalled or `until` passes.
    void waitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point until);

    // Applies the scenario's timelines and the wandering cursor for `now` (lock held).
    void advance(Clock::time_point now);
    // The same, taking the lock: platform calls that observe the machine call it first.
    void tick() {
        auto held = lock();
        advance(Clock::now());
    }
    // When advance next has something to do after `now` (lock held).
    Clock::time_point nextEvent(Clock::time_point now) const;
    // Starts the timelines at the first duplication (lock held).
    void noteDuplication(Clock::time_point now);

    // Guarded by the lock:
    CursorState cursor;
    bool secureDesktop = false;
    int activeDuplications = 0;  // this process's
    int otherDuplicatingProcesses = 0;  // other processes that hold a duplication now
    // Display changes so far: an output plugged or unplugged, a change of mode, format or
    // rotation. Changed under the lock; read without it.
    std::atomic<uint64_t> displayChanges{0};
    // Set by ID3D12Debug::EnableDebugLayer: Direct3D 12 devices created from then on validate
    // resource states. A process cannot turn it off again; a new machine starts without it.
    std::atomic<bool> d3d12DebugLayer{false};
    // The process's DPI awareness (machine/dpi.h): a context value, and whether it was set.
    std::atomic<intptr_t> processDpiContext{-1};
    std::atomic<bool> processDpiSet{false};
    // Tells machines apart, also one made where an earlier one was freed.
    const uint64_t serial = nextSerial();

private:
    static uint64_t nextSerial() {
        static std::atomic<uint64_t> counter{0};
        return ++counter;
    }
    void advanceTimeline(double seconds, Clock::time_point now);
    void applyTimelineStep(int step, Clock::time_point now);
    void advanceCursor(Clock::time_point now);

    MachineConfig config_;
    std::vector<std::shared_ptr<AdapterState>> adapters_;
    std::vector<std::shared_ptr<OutputState>> outputs_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Clock::time_point created_;
    bool timelineStarted_ = false;
    Clock::time_point timelineStart_;
    int timelineStep_ = -1;
};

// The machine platform calls run on: the one a test chose, else the one WINSIM_SCENARIO names.
// Null when WINSIM_SCENARIO names no known machine.
std::shared_ptr<Machine> currentMachine();
// How long a wait of `milliseconds` (not INFINITE) that a program asks for lasts on the current
// machine (MachineConfig::waitScale).
std::chrono::nanoseconds programWait(DWORD milliseconds);
// The current machine's output with id `output`, or null.
std::shared_ptr<OutputState> currentOutput(int output);

inline bool operator==(const LUID& a, const LUID& b) { return a.LowPart == b.LowPart && a.HighPart == b.HighPart; }

}  // namespace winsim
