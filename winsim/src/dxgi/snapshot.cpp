#include "dxgi/snapshot.h"

namespace winsim::dxgi {

std::shared_ptr<const DisplaySnapshot> takeSnapshot(Machine& machine) {
    auto snapshot = std::make_shared<DisplaySnapshot>();
    auto lock = machine.lock();
    machine.advance(Clock::now());
    snapshot->displayChanges = machine.displayChanges.load();
    for (const auto& adapter : machine.adapters()) {
        auto& outputs = snapshot->outputs.emplace_back();
        for (const auto& output : adapter->outputs)
            if (output->current.attached) outputs.push_back({output, output->current, output->plugIns});
    }
    return snapshot;
}

}  // namespace winsim::dxgi
