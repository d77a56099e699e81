#include "machine/machine.h"

#include <cstdio>
#include <cstdlib>

#include "winsim/control.h"

namespace winsim {

RECT OutputConfig::desktopRect() const {
    const bool sideways = rotation == DXGI_MODE_ROTATION_ROTATE90 || rotation == DXGI_MODE_ROTATION_ROTATE270;
    const LONG w = static_cast<LONG>(sideways ? height : width);
    const LONG h = static_cast<LONG>(sideways ? width : height);
    return RECT{position.x, position.y, position.x + w, position.y + h};
}

OutputState::OutputState(OutputConfig config, int id)
    : config_(std::move(config)), id_(id), monitor_(reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(0x10000 + id))) {}

OutputConfig OutputState::config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

std::shared_ptr<OutputState> AdapterState::attachedOutput(unsigned index) const {
    for (const auto& output : outputs) {
        if (!output->config().attached) continue;
        if (index-- == 0) return output;
    }
    return nullptr;
}

Machine::Machine(const MachineConfig& config) : config_(config) {
    int outputId = 0;
    for (const auto& adapterConfig : config.adapters) {
        auto adapter = std::make_shared<AdapterState>();
        adapter->config = adapterConfig;
        adapter->index = static_cast<int>(adapters_.size());
        adapter->ledger = std::make_shared<gpu::Ledger>(adapterConfig.dedicatedBytes);
        for (const auto& outputConfig : adapterConfig.outputs)
            adapter->outputs.push_back(std::make_shared<OutputState>(outputConfig, outputId++));
        adapters_.push_back(std::move(adapter));
    }
}

std::shared_ptr<AdapterState> Machine::adapterByLuid(const LUID& luid) const {
    for (const auto& adapter : adapters_)
        if (adapter->config.luid == luid) return adapter;
    return nullptr;
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

std::shared_ptr<Machine> environmentMachine() {
    const char* name = std::getenv("WINSIM_SCENARIO");
    const std::string_view wanted = name && *name ? name : "default";
    MachineConfig config;
    if (scenario(wanted, config)) return std::make_shared<Machine>(config);
    std::fprintf(stderr, "winsim: unknown scenario \"%.*s\"; known:", static_cast<int>(wanted.size()), wanted.data());
    for (const auto& known : scenarioNames()) std::fprintf(stderr, " %s", known.c_str());
    std::fprintf(stderr, "\n");
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

void useMachine(const MachineConfig& config) {
    auto machine = std::make_shared<Machine>(config);
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

uint64_t vramUsage(int adapter) {
    auto machine = currentMachine();
    if (!machine || adapter < 0 || adapter >= static_cast<int>(machine->adapters().size())) return 0;
    return machine->adapters()[static_cast<size_t>(adapter)]->ledger->used();
}

}  // namespace winsim
