// Hybrid machines (an integrated GPU driving the built-in panel, a discrete one driving external
// monitors) as a process sees them when Windows runs it on the discrete GPU.
#pragma once
#include "winsim/machine.h"

namespace winsim {

// `config` as the reparented variant shows it: unchanged unless the variant is on and the machine
// has an integrated and a discrete adapter.
MachineConfig reparented(MachineConfig config);

}  // namespace winsim
