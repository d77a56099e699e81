#include "dxgi/snapshot.h"

namespace winsim::dxgi {

std::shared_ptr<const DisplaySnapshot> takeSnapshot(Machine& machine) {
    auto snapshot = std::make_shared<DisplaySnapshot>();
    auto lock = machine.lock();
    machine.advance(Clock::now());
    snapshot->displayChanges = machine.displayChanges.load();
    for (const auto& adapter : machine.adapters()) {
        auto& entry = snapshot->adapters.emplace_back();
        entry.state = adapter.get();
        for (const auto& output : adapter->outputs)
            if (output->current.attached)
                entry.outputs.push_back({output, output->current, output->describedRect(), output->plugIns});
    }
    return snapshot;
}

const std::vector<OutputSnapshot>& DisplaySnapshot::outputsOf(const AdapterState& adapter) const {
    static const std::vector<OutputSnapshot> kNone;
    for (const auto& entry : adapters)
        if (entry.state == &adapter) return entry.outputs;
    return kNone;
}

}  // namespace winsim::dxgi
