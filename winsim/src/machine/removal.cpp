#include "machine/removal.h"

#include "winsim/gpu.h"

namespace winsim {

void removeDevices(Machine& machine, AdapterState& adapter, HRESULT reason, Clock::duration blackout, Clock::time_point now) {
    adapter.removedReason = reason;
    adapter.creatableAfter = (now + blackout).time_since_epoch().count();
    ++adapter.removals;
    for (auto& output : adapter.outputs) ++output->epoch;
    machine.notify();
}

HRESULT deviceCreatable(const AdapterState& adapter, Clock::time_point now) {
    return now.time_since_epoch().count() < adapter.creatableAfter.load() ? adapter.removedReason.load() : S_OK;
}

void removeDevices(int adapter, HRESULT reason, uint32_t blackoutMs) {
    auto machine = currentMachine();
    if (!machine || adapter < 0 || adapter >= static_cast<int>(machine->adapters().size())) return;
    auto lock = machine->lock();
    removeDevices(*machine, *machine->adapters()[static_cast<size_t>(adapter)], reason,
                  std::chrono::milliseconds(blackoutMs), Clock::now());
}

}  // namespace winsim
