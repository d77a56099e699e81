#include "machine/machine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "machine/dpi.h"
#include "machine/hybrid.h"
#include "machine/field.h"
#include "winsim/control.h"

namespace winsim {

RECT OutputConfig::desktopRect() const {
    const bool sideways = rotation == DXGI_MODE_ROTATION_ROTATE90 || rotation == DXGI_MODE_ROTATION_ROTATE270;
    const LONG w = static_cast<LONG>(sideways ? height : width);
    const LONG h = static_cast<LONG>(sideways ? width : height);
    return RECT{position.x, position.y, position.x + w, position.y + h};
}

OutputState::OutputState(Machine& machine, OutputConfig config, int id)
    : current(std::move(config)),
      desktop(current.updateHz, Clock::now()),
      machine_(machine),
      id_(id),
      monitor_(reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(0x10000 + id))) {}

OutputConfig OutputState::config() const {
    auto lock = machine_.lock();
    return current;
}

void OutputState::reconfigure(const OutputConfig& next) {
    const bool modeChanged =
        next.width != current.width || next.height != current.height || next.format != current.format;
    if (modeChanged || next.rotation != current.rotation || next.attached != current.attached) {
        ++epoch;
        ++machine_.displayChanges;
    }
    if (next.attached && !current.attached) ++plugIns;
    if (modeChanged) desktop.dropPresented();
    current = next;
    machine_.notify();
}

float OutputState::whiteLevel() const { return current.inHdr() ? current.sdrWhiteNits / 80.0f : 1.0f; }

// Users of capture tools report outputs that, just after their monitor woke, describe a desktop
// rectangle of no size; sleep-denies models it for the moments it settles.
RECT OutputState::describedRect() const { return field.waking ? RECT{0, 0, 0, 0} : current.desktopRect(); }

namespace {
// A rate the cursor machinery keeps to: up to `most` per second, none for 0, less or NaN.
double saneRate(double perSecond, double most) { return perSecond > 0 ? std::min(perSecond, most) : 0.0; }
}  // namespace

Machine::Machine(const MachineConfig& given) : config_(reparented(given)), created_(Clock::now()) {
    const MachineConfig& config = config_;
    // A 1000 Hz mouse is the fastest there is; a pointer moved faster would only spin the waits.
    config_.cursorHz = saneRate(config.cursorHz, 1000.0);
    config_.cursorShapeSeconds = config.cursorShapeSeconds > 0 ? config.cursorShapeSeconds : 0.0;
    for (const auto& adapterConfig : config.adapters) {
        auto adapter = std::make_shared<AdapterState>();
        adapter->config = adapterConfig;
        adapter->variants = config.variants;
        adapter->index = static_cast<int>(adapters_.size());
        adapter->ledger = std::make_shared<gpu::Ledger>(adapterConfig.dedicatedBytes);
        adapter->nonLocalLedger = std::make_shared<gpu::Ledger>(adapterConfig.sharedSystemBytes);
        for (const auto& outputConfig : adapterConfig.outputs) {
            auto output = std::make_shared<OutputState>(*this, outputConfig, static_cast<int>(outputs_.size()));
            adapter->outputs.push_back(output);
            outputs_.push_back(std::move(output));
        }
        adapters_.push_back(std::move(adapter));
    }
    cursor.moving = config.movingCursor;
    otherDuplicatingProcesses = config.otherDuplicatingProcesses;
    cursor.shape = standardCursor(CursorKind::Color);
    cursor.handle = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x20000));
    applyManifestDpiAwareness(*this);
}

std::shared_ptr<AdapterState> Machine::adapterByLuid(const LUID& luid) const {
    for (const auto& adapter : adapters_)
        if (adapter->config.luid == luid) return adapter;
    return nullptr;
}

void Machine::waitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point until) {
    changed_.wait_until(lock, until);
}

void Machine::noteDuplication(Clock::time_point now) {
    if (timelineStarted_) return;
    timelineStarted_ = true;
    timelineStart_ = now;
}

void Machine::advance(Clock::time_point now) {
    if (timelineStarted_) advanceTimeline(std::chrono::duration<double>(now - timelineStart_).count(), now);
    for (auto& output : outputs_) settle(*output, now);
    if (cursor.moving) advanceCursor(now);
}

namespace {
struct Current {
    std::mutex mutex;
    bool chosen = false;
    std::shared_ptr<Machine> machine;
};
Current& current() {
    static Current* instance = new Current;
    return *instance;
}

void listKnown(const char* what, std::string_view wanted, const std::vector<std::string>& known) {
    std::fprintf(stderr, "winsim: unknown %s \"%.*s\"; known:", what, static_cast<int>(wanted.size()), wanted.data());
    for (const auto& name : known) std::fprintf(stderr, " %s", name.c_str());
    std::fprintf(stderr, "\n");
}

// A machine for `config` with the variants WINSIM_VARIANTS names added; null (and the known
// names on standard error) when it names one that is no variant.
std::shared_ptr<Machine> machineWithEnvironmentVariants(MachineConfig config) {
    const char* list = config.environmentVariants ? std::getenv("WINSIM_VARIANTS") : nullptr;
    std::string bad;
    if (list && !parseVariants(list, config.variants, &bad)) {
        std::vector<std::string> known = variantNames();
        known.emplace_back("all");
        listKnown("variant", bad, known);
        return nullptr;
    }
    return std::make_shared<Machine>(config);
}

std::shared_ptr<Machine> environmentMachine() {
    const char* name = std::getenv("WINSIM_SCENARIO");
    const std::string_view wanted = name && *name ? name : "default";
    MachineConfig config;
    if (scenario(wanted, config)) return machineWithEnvironmentVariants(config);
    listKnown("scenario", wanted, scenarioNames());
    return nullptr;
}
}  // namespace

std::shared_ptr<Machine> currentMachine() {
    std::lock_guard lock(current().mutex);
    if (!current().chosen) {
        current().machine = environmentMachine();
        current().chosen = true;
    }
    return current().machine;
}

Variants currentVariants() {
    auto machine = currentMachine();
    return machine ? machine->config().variants : Variants{};
}

std::chrono::nanoseconds programWait(DWORD milliseconds) {
    auto machine = currentMachine();
    const double scale = machine && machine->config().waitScale > 0 ? machine->config().waitScale : 1.0;
    return std::chrono::nanoseconds(static_cast<int64_t>(milliseconds * 1e6 * scale));
}

std::shared_ptr<OutputState> currentOutput(int output) {
    auto machine = currentMachine();
    if (!machine || output < 0 || output >= static_cast<int>(machine->outputs().size())) return nullptr;
    return machine->outputs()[static_cast<size_t>(output)];
}

void useMachine(const MachineConfig& config) {
    auto machine = machineWithEnvironmentVariants(config);
    std::lock_guard lock(current().mutex);
    current().machine = std::move(machine);
    current().chosen = true;
}

bool useScenario(std::string_view name) {
    MachineConfig config;
    if (!scenario(name, config)) return false;
    useMachine(config);
    return true;
}

void useEnvironmentMachine() {
    auto machine = environmentMachine();
    std::lock_guard lock(current().mutex);
    current().machine = std::move(machine);
    current().chosen = true;
}

namespace {
std::shared_ptr<AdapterState> adapterAt(int adapter) {
    auto machine = currentMachine();
    if (!machine || adapter < 0 || adapter >= static_cast<int>(machine->adapters().size())) return nullptr;
    return machine->adapters()[static_cast<size_t>(adapter)];
}
}  // namespace

uint64_t vramUsage(int adapter) {
    auto state = adapterAt(adapter);
    return state ? state->ledger->used() : 0;
}

uint64_t nonLocalMemoryUsage(int adapter) {
    auto state = adapterAt(adapter);
    return state ? state->nonLocalLedger->used() : 0;
}

}  // namespace winsim
