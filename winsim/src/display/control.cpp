// The control API for the SDR white levels of the monitors behind the outputs.
#include "machine/machine.h"
#include "winsim/monitors.h"

namespace winsim {

void setSdrWhiteNits(int output, float nits, int target) {
    auto machine = currentMachine();
    auto state = currentOutput(output);
    if (!machine || !state) return;
    auto lock = machine->lock();
    OutputConfig next = state->current;
    if (target == 0) {
        next.sdrWhiteNits = nits;
    } else if (target > 0 && target <= static_cast<int>(next.cloneSdrWhiteNits.size())) {
        next.cloneSdrWhiteNits[static_cast<size_t>(target - 1)] = nits;
    } else {
        return;
    }
    state->reconfigure(next);
}

void setSdrWhiteLevel(int output, UINT32 thousandths, int target) {
    setSdrWhiteNits(output, static_cast<float>(thousandths * 0.08), target);
}

HMONITOR outputMonitor(int output) {
    auto state = currentOutput(output);
    return state ? state->monitor() : nullptr;
}

}  // namespace winsim
