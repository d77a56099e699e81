// The running machine: adapters with their ledgers and outputs.
#pragma once
#include <memory>
#include <mutex>
#include <vector>

#include "gpu/ledger.h"
#include "winsim/machine.h"

namespace winsim {

class OutputState {
public:
    OutputState(OutputConfig config, int id);
    OutputConfig config() const;
    // Applies `change` to the configuration under the output's lock.
    template <class F>
    void update(F&& change) {
        std::lock_guard lock(mutex_);
        change(config_);
    }
    HMONITOR monitor() const { return monitor_; }
    int id() const { return id_; }

private:
    mutable std::mutex mutex_;
    OutputConfig config_;
    const int id_;
    const HMONITOR monitor_;
};

struct AdapterState {
    AdapterConfig config;
    int index = 0;
    std::shared_ptr<gpu::Ledger> ledger;
    std::vector<std::shared_ptr<OutputState>> outputs;  // every output it enumerates while attached

    // The attached output at enumeration index `index`, or null.
    std::shared_ptr<OutputState> attachedOutput(unsigned index) const;
};

class Machine {
public:
    explicit Machine(const MachineConfig& config);
    const MachineConfig& config() const { return config_; }
    const std::vector<std::shared_ptr<AdapterState>>& adapters() const { return adapters_; }
    std::shared_ptr<AdapterState> adapterByLuid(const LUID& luid) const;

private:
    MachineConfig config_;
    std::vector<std::shared_ptr<AdapterState>> adapters_;
};

// The machine platform calls run on: the one a test chose, else the one WINSIM_SCENARIO names.
// Null when WINSIM_SCENARIO names no known machine.
std::shared_ptr<Machine> currentMachine();

inline bool operator==(const LUID& a, const LUID& b) { return a.LowPart == b.LowPart && a.HighPart == b.HighPart; }

}  // namespace winsim
